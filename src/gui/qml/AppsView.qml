// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// Which applications used the dashboard's type, with a bar each; an application's row opens its
// days. The screen decides every text and which rows open anything.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: page.label("lblTitle")
    readonly property var values: screen ? screen.values : ({})
    readonly property var theme: values.theme || ({})
    readonly property color barColor: values.progressColor || App.colors.tint
    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    function shown(name: string): bool {
        return page.screen ? !page.screen.label(name).hidden : false
    }

    background: Rectangle { color: page.theme.appBackgroundColor || App.colors.background }
    StackView.onActivating: if (screen) screen.perform("viewWillAppear")

    header: ToolBar {
        background: Rectangle { color: page.theme.appNavBarColor || App.colors.navBar }
        RowLayout {
            anchors.fill: parent
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                Accessible.name: App.i18n("Back to %1").arg(page.label("lblBack"))
                implicitHeight: 48
                implicitWidth: Math.max(48, implicitContentWidth + 16)
                objectName: "appsBackButton"
                text: "‹ " + page.label("lblBack")
                onClicked: page.StackView.view.pop()
            }
            Label {
                text: page.label("lblTitle")
                textFormat: Text.PlainText
                Accessible.role: Accessible.Heading
                Accessible.name: text
                color: page.theme.navBarTitleColor || App.colors.foreground
                font.pixelSize: 20
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            // Balances the back button, so the title stays in the middle.
            Item { implicitWidth: 48 }
        }
    }

    Flickable {
        id: flick
        anchors.fill: parent
        contentHeight: column.implicitHeight + 24
        clip: true
        ScrollBar.vertical: ScrollBar {}
        // The row the keyboard reached comes into view.
        function reveal(item: Item) {
            const top = item.mapToItem(column, 0, 0).y
            if (top < contentY) contentY = top
            else if (top + item.height > contentY + height) contentY = top + item.height - height
        }

        ColumnLayout {
            id: column
            width: parent.width
            spacing: 1

            // Today or the period in progress.
            RowLayout {
                objectName: "appsSpans"
                Layout.fillWidth: true
                Layout.margins: 12
                spacing: 0
                Accessible.role: Accessible.Grouping
                Accessible.name: App.i18n("Span")
                Repeater {
                    model: page.values.spans || []
                    Button {
                        id: span
                        required property string modelData
                        required property int index
                        // The bus's press acts as a click does.
                        Accessible.onPressAction: clicked()
                        Accessible.name: modelData
                        objectName: "appsSpan" + index
                        text: modelData
                        checkable: true
                        checked: (index === 0) === (page.values.today === true)
                        highlighted: checked
                        Layout.fillWidth: true
                        Layout.minimumHeight: 48
                        onClicked: page.screen.perform("setSpan", { today: span.index === 0 })
                    }
                }
            }

            // Why there are no new figures: the counter does not run.
            Rectangle {
                objectName: "appsNote"
                visible: page.shown("lblNote")
                Layout.fillWidth: true
                Layout.leftMargin: 12
                Layout.rightMargin: 12
                Layout.bottomMargin: 8
                implicitHeight: noteText.implicitHeight + 16
                radius: 6
                color: page.theme.tableCellBackgroundColor || App.colors.cellBackground
                border.color: App.colors.subheader
                Accessible.role: Accessible.StaticText
                Accessible.name: noteText.text
                activeFocusOnTab: visible
                Text {
                    id: noteText
                    x: 8
                    y: 8
                    width: parent.width - 16
                    textFormat: Text.PlainText
                    text: page.label("lblNote")
                    color: page.theme.tableCellForegroundColor || App.colors.cellForeground
                    font.pixelSize: 13
                    wrapMode: Text.Wrap
                    Accessible.ignored: true
                }
            }

            Text {
                objectName: "appsEmpty"
                visible: page.shown("lblEmpty")
                Layout.fillWidth: true
                Layout.margins: 12
                textFormat: Text.PlainText
                text: page.label("lblEmpty")
                color: page.theme.appSubheaderColor || App.colors.subheader
                font.pixelSize: 14
                wrapMode: Text.Wrap
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }

            Repeater {
                model: page.screen ? page.screen.rows : null
                AppUsageRow {
                    id: appRow
                    required property int index
                    objectName: "appRow" + index
                    Layout.fillWidth: true
                    theme: page.theme
                    barColor: page.barColor
                    onActiveFocusChanged: if (activeFocus) flick.reveal(appRow)
                    onSelected: page.screen.perform("select", { row: appRow.index })
                }
            }
        }
    }
}
