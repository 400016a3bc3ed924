// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// One counter's details, read only, with a button that opens the editor.
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
                objectName: "backButton"
                text: "\u2039 " + page.label("btnBack")
                onClicked: page.act("dismissView")
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
                objectName: "editButton"
                text: page.label("btnEdit")
                onClicked: page.act("showEditView")
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
            spacing: 20
            Repeater {
                model: page.screen ? page.screen.sections : null
                ColumnLayout {
                    id: section
                    required property RowModel rows
                    required property int index
                    Layout.fillWidth: true
                    spacing: 1
                    Repeater {
                        model: section.rows
                        TableCellRow {
                            id: detailRow
                            required cell
                            required property int index
                            theme: page.theme
                            Layout.fillWidth: true
                            onSelected: page.act("didSelectRow", { section: section.index, row: detailRow.index })
                        }
                    }
                }
            }
        }
    }
}
