// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The counter editor, shown modally: sections with their headers, every control reporting to
// the screen, Cancel and Save in the bar.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: page.label("lblTitle")
    readonly property var values: screen ? screen.values : ({})
    readonly property var theme: values.theme || ({})

    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    function act(action: string, argument: var) {
        if (page.screen) page.screen.perform(action, argument)
    }

    background: Rectangle { color: page.theme.appBackgroundColor || App.colors.background }

    header: ToolBar {
        background: Rectangle { color: page.theme.appNavBarColor || App.colors.navBar }
        RowLayout {
            anchors.fill: parent
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                Accessible.name: text
                implicitHeight: 48
                implicitWidth: Math.max(48, implicitContentWidth + 16)
                objectName: "cancelButton"
                text: page.label("btnCancel")
                onClicked: page.act("cancelAndDismissView")
            }
            Label {
                text: page.label("lblTitle")
                color: page.theme.navBarTitleColor || App.colors.foreground
                font.pixelSize: page.theme.navBarTitleFontSize || 20
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                Accessible.name: text
                implicitHeight: 48
                implicitWidth: Math.max(48, implicitContentWidth + 16)
                objectName: "saveButton"
                text: page.label("btnSave")
                onClicked: page.act("saveAndDismissView")
            }
        }
    }

    Flickable {
        anchors.fill: parent
        contentHeight: column.implicitHeight + 24
        clip: true
        ScrollBar.vertical: ScrollBar {}

        ColumnLayout {
            id: column
            y: 12
            width: parent.width
            spacing: 12
            Repeater {
                model: page.screen ? page.screen.sections : null
                ColumnLayout {
                    id: section
                    required property string title
                    required property RowModel rows
                    required property int index
                    Layout.fillWidth: true
                    spacing: 1
                    // No header view for a section without header text.
                    Rectangle {
                        visible: section.title.length > 0
                        color: page.theme.appBackgroundColor || App.colors.background
                        implicitHeight: 20
                        Layout.fillWidth: true
                        Text {
                            x: 15
                            width: 320
                            height: 20
                            text: section.title
                            color: page.theme.appSubheaderColor || App.colors.subheader
                            font.pixelSize: 14
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                    Repeater {
                        model: section.rows
                        TableCellRow {
                            id: editRow
                            required cell
                            required property string reuseIdentifier
                            required property int index
                            theme: page.theme
                            Layout.fillWidth: true
                            onSelected: page.act("didSelectRow", { section: section.index, row: editRow.index })
                            onSegmentChosen: (chosen) => page.act(
                                editRow.reuseIdentifier === "CellWithDataType"
                                    ? "dataTypeSegValueChanged" : "directionTypeSegValueChanged",
                                { index: chosen })
                            onSwitched: (on) => page.act("alertSwitchValueChanged", { on: on })
                            onButtonPressed: page.act("resetCounter")
                        }
                    }
                }
            }
        }
    }
}
