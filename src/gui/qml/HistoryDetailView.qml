// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// One billing period: its dates, its totals and its days, as the screen lays them out in three
// titled sections. Rows do nothing when touched; the action menu exports or charts the days.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: App.i18n("Billing period")
    readonly property var values: screen ? screen.values : ({})
    readonly property var theme: values.theme || ({})
    readonly property var headerFrame: values.headerFrame || ({ x: 15, y: -5, width: 320, height: 20 })

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
                objectName: "historyBackButton"
                text: "‹ " + App.i18n("History")
                onClicked: page.StackView.view.pop()
            }
            Item { Layout.fillWidth: true }
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                Accessible.name: text
                implicitHeight: 48
                implicitWidth: Math.max(48, implicitContentWidth + 16)
                objectName: "historyDetailActionButton"
                text: App.i18n("Share") + "…"
                onClicked: page.screen.perform("showActionSheet")
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
            width: parent.width
            spacing: 1

            Repeater {
                model: page.screen ? page.screen.sections : null
                ColumnLayout {
                    id: section
                    required property string title
                    required property RowModel rows
                    Layout.fillWidth: true
                    spacing: 1
                    // The header: one label placed by the screen's frame.
                    Item {
                        Layout.fillWidth: true
                        implicitHeight: 30
                        Text {
                            x: page.headerFrame.x
                            y: 8 + page.headerFrame.y
                            width: Math.min(page.headerFrame.width, parent.width - x)
                            height: page.headerFrame.height
                            verticalAlignment: Text.AlignVCenter
                            text: section.title
                            color: page.theme.appSubheaderColor || App.colors.subheader
                            font.pixelSize: page.values.headerFontSize || 14
                            elide: Text.ElideRight
                        }
                    }
                    Repeater {
                        model: section.rows
                        Rectangle {
                            id: cell
                            required property string title
                            required property string detail
                            required property real rowHeight
                            Layout.fillWidth: true
                            implicitHeight: rowHeight || 44
                            color: page.theme.tableCellBackgroundColor || App.colors.cellBackground
                            Accessible.role: Accessible.ListItem
                            Accessible.name: cell.title + (cell.detail ? ": " + cell.detail : "")
                            Text {
                                anchors.left: parent.left
                                anchors.leftMargin: 15
                                anchors.verticalCenter: parent.verticalCenter
                                width: parent.width * 0.55
                                // Application names come from cgroups and desktop entries.
                                textFormat: Text.PlainText
                                text: cell.title
                                color: page.theme.tableCellForegroundColor || App.colors.cellForeground
                                font.pixelSize: 15
                                elide: Text.ElideRight
                            }
                            Text {
                                anchors.right: parent.right
                                anchors.rightMargin: 15
                                anchors.verticalCenter: parent.verticalCenter
                                width: parent.width * 0.4
                                horizontalAlignment: Text.AlignRight
                                textFormat: Text.PlainText
                                text: cell.detail
                                color: page.theme.tableCellDetailForegroundColor || App.colors.cellDetail
                                font.pixelSize: 15
                                elide: Text.ElideLeft
                            }
                        }
                    }
                }
            }
        }
    }
}
