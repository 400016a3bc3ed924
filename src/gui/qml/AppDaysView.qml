// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// One application's traffic on each day of the period, newest first, with a bar each.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: page.label("lblTitle")
    readonly property var values: screen ? screen.values : ({})
    readonly property var theme: values.theme || ({})
    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
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
                objectName: "appDaysBackButton"
                text: "‹ " + page.label("lblBack")
                onClicked: page.StackView.view.pop()
            }
            Label {
                objectName: "appDaysTitle"
                // The application's name: from a desktop entry or a cgroup, never markup.
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
            Item { implicitWidth: 48 }
        }
    }

    Flickable {
        id: flick
        anchors.fill: parent
        contentHeight: column.implicitHeight + 24
        clip: true
        ScrollBar.vertical: ScrollBar {}
        function reveal(item: Item) {
            const top = item.mapToItem(column, 0, 0).y
            if (top < contentY) contentY = top
            else if (top + item.height > contentY + height) contentY = top + item.height - height
        }

        ColumnLayout {
            id: column
            width: parent.width
            spacing: 1

            Text {
                visible: page.screen ? !page.screen.label("lblEmpty").hidden : false
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
                    id: dayRow
                    required property int index
                    objectName: "appDayRow" + index
                    showsIcon: false
                    Layout.fillWidth: true
                    theme: page.theme
                    barColor: page.values.progressColor || App.colors.tint
                    onActiveFocusChanged: if (activeFocus) flick.reveal(dayRow)
                }
            }
        }
    }
}
