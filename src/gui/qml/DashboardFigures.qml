// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Window
import Byteward

// What a dashboard shows once its screen holds figures: every text comes from the screen; this
// only lays it out.
Flickable {
    id: figures
    // The page whose screen these figures show.
    required property DashboardPage page
    contentHeight: content.implicitHeight + 24
    clip: true
    ScrollBar.vertical: ScrollBar {}

    GridLayout {
        id: content
        x: 12
        y: 12
        width: parent.width - 24
        columns: figures.page.sideBySide ? 2 : 1
        columnSpacing: 16
        rowSpacing: 12

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 1
            spacing: 10 * figures.page.scale

            RowLayout {
                Layout.fillWidth: true
                Text {
                    objectName: "lblTitle"
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                    text: figures.page.label("lblTitle")
                    color: App.colors.foreground
                    font.pixelSize: 22 * figures.page.scale
                    font.bold: true
                }
                Text {
                    objectName: "lblLastUpdateDate"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: App.i18n("Updated %1").arg(text)
                    text: figures.page.label("lblLastUpdateDate")
                    color: App.colors.subheader
                    font.pixelSize: 11 * figures.page.scale
                    horizontalAlignment: Text.AlignRight
                    Layout.fillWidth: true
                    elide: Text.ElideLeft
                }
            }

            // What the figures cannot say themselves: nothing is counted, or another SIM.
            Repeater {
                model: figures.page.screenValues.notices || []
                Rectangle {
                    id: notice
                    required property string modelData
                    required property int index
                    objectName: "notice" + index
                    Layout.fillWidth: true
                    implicitHeight: noticeText.implicitHeight + 16
                    radius: 6
                    color: App.colors.cellBackground
                    border.color: App.colors.subheader
                    Accessible.role: Accessible.StaticText
                    Accessible.name: notice.modelData
                    Text {
                        id: noticeText
                        x: 8
                        y: 8
                        width: parent.width - 16
                        Accessible.ignored: true
                        text: notice.modelData
                        color: App.colors.cellForeground
                        font.pixelSize: 12 * figures.page.scale
                        wrapMode: Text.Wrap
                    }
                }
            }

            UsageBar {
                objectName: "usageBar"
                Accessible.role: Accessible.ProgressBar
                Accessible.name: App.i18n("Usage bar: %1").arg(usageText)
                Layout.fillWidth: true
                Layout.preferredHeight: 44
                dataType: figures.page.cellular ? 1 : 2
                currentUsagePercent: figures.page.bar ? figures.page.bar.currentUsagePercent : 0
                idealUsagePercent: figures.page.bar ? figures.page.bar.idealUsagePercent : 0
                usageText: figures.page.bar ? figures.page.bar.usageText : ""
            }

            RowLayout {
                Layout.fillWidth: true
                spacing: 10
                Text {
                    objectName: "lblMonthlyUsage" + figures.page.suffix
                    Accessible.role: Accessible.StaticText
                    Accessible.name: App.i18n("Used this period: %1").arg(text)
                    text: figures.page.typed("lblMonthlyUsage")
                    color: App.colors.foreground
                    font.pixelSize: 34 * figures.page.scale
                    font.bold: true
                }
                Text {
                    objectName: "lblAvailable" + figures.page.suffix
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    text: figures.page.typed("lblAvailable")
                    color: App.colors.subheader
                    font.pixelSize: 13 * figures.page.scale
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                }
                Rectangle {
                    color: figures.page.progressColor
                    radius: 4
                    implicitWidth: status.implicitWidth + 16
                    implicitHeight: status.implicitHeight + 10
                    Text {
                        id: status
                        objectName: "lblIdealActualDiff" + figures.page.suffix
                        Accessible.role: Accessible.StaticText
                        Accessible.name: App.i18n("Status: %1").arg(text)
                        anchors.centerIn: parent
                        text: figures.page.typed("lblIdealActualDiff")
                        color: App.colors.background
                        font.pixelSize: 14 * figures.page.scale
                        font.bold: true
                    }
                }
            }

            GridLayout {
                Layout.fillWidth: true
                columns: 2
                columnSpacing: 8
                rowSpacing: 8
                visible: figures.page.shown("lblDays" + figures.page.suffix)
                FigureTile { objectName: "lblDays" + figures.page.suffix; caption: App.i18n("DAYS LEFT"); value: figures.page.typed("lblDays"); scale: figures.page.scale }
                FigureTile { objectName: "lblRemainingUsage" + figures.page.suffix; caption: App.i18n("REMAINING"); value: figures.page.typed("lblRemainingUsage"); scale: figures.page.scale }
                FigureTile { objectName: "lblDailySuggested" + figures.page.suffix; caption: App.i18n("SUGGESTED PER DAY"); value: figures.page.typed("lblDailySuggested"); scale: figures.page.scale }
                FigureTile { objectName: "lblProjected" + figures.page.suffix; caption: App.i18n("PROJECTED"); value: figures.page.typed("lblProjected"); scale: figures.page.scale }
            }
            Text {
                visible: !figures.page.shown("lblDays" + figures.page.suffix)
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                text: App.i18n("No billing cycle set. Choose one in Settings.")
                color: App.colors.subheader
                font.pixelSize: 14 * figures.page.scale
                Layout.fillWidth: true
                wrapMode: Text.WordWrap
            }
            Text {
                objectName: "lblPlaceUsed"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                readonly property string place: figures.page.label("lblPlaceUsed")
                text: App.i18n("Last place: %1").arg(place)
                color: App.colors.subheader
                font.pixelSize: 12 * figures.page.scale
                Layout.fillWidth: true
                elide: Text.ElideRight
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 1
            spacing: 12

            DashboardTable {
                Layout.fillWidth: true
                rows: figures.page.screen ? figures.page.screen.rows : null
                valueColor: figures.page.progressColor
                scale: figures.page.scale
            }

            // Opens which applications used the data: a row of its own, not one of the figures.
            Rectangle {
                id: appsRow
                objectName: "appsRow"
                readonly property string title: figures.page.screenValues.appsRowTitle || ""
                Layout.fillWidth: true
                implicitHeight: (figures.page.scale > 1 ? 80 : 50) * Math.max(1, Screen.pixelDensity * 25.4 / 160)
                color: App.colors.cellBackground
                border.color: activeFocus ? App.colors.tint : "transparent"
                border.width: 2
                activeFocusOnTab: true
                Accessible.role: Accessible.Button
                Accessible.name: title
                Accessible.onPressAction: figures.page.screen.perform("showApps")
                Keys.onReturnPressed: figures.page.screen.perform("showApps")
                Keys.onEnterPressed: figures.page.screen.perform("showApps")
                Keys.onSpacePressed: figures.page.screen.perform("showApps")
                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: figures.page.screen.perform("showApps")
                }
                Text {
                    anchors.left: parent.left
                    anchors.leftMargin: 10
                    anchors.verticalCenter: parent.verticalCenter
                    Accessible.ignored: true
                    text: appsRow.title
                    color: App.colors.cellForeground
                    font.pixelSize: (figures.page.scale > 1 ? 22 : 16)
                }
                Text {
                    anchors.right: parent.right
                    anchors.rightMargin: 10
                    anchors.verticalCenter: parent.verticalCenter
                    Accessible.ignored: true
                    text: "\u203A"
                    color: figures.page.progressColor
                    font.pixelSize: (figures.page.scale > 1 ? 30 : 22)
                }
            }
        }
    }
}
