// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// A dashboard of one data type. Every text comes from the screen; this only lays it out.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: page.label("lblTitle")
    property bool cellular: true
    // "phone", "tall", "tablet", "landscape" or "landscapeTablet"
    property string layoutKind: "phone"

    readonly property string suffix: cellular ? "" : "Wifi"
    readonly property bool sideBySide: layoutKind !== "phone" && layoutKind !== "tall"
    readonly property real scale: layoutKind === "tablet" || layoutKind === "landscapeTablet" ? 1.35 : 1
    readonly property var screenValues: screen ? screen.values : ({})
    readonly property var bar: screen ? screen.values[cellular ? "visualView" : "visualViewWifi"] : undefined
    readonly property color progressColor: screen ? (cellular ? App.colors.cellular : App.colors.wifi) : "white"

    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    function shown(name: string): bool {
        return page.screen ? !page.screen.label(name).hidden : false
    }
    function typed(name: string): string { return page.label(name + page.suffix) }

    background: Rectangle { color: App.colors.background }

    Flickable {
        anchors.fill: parent
        contentHeight: content.implicitHeight + 24
        clip: true
        ScrollBar.vertical: ScrollBar {}

        GridLayout {
            id: content
            x: 12
            y: 12
            width: parent.width - 24
            columns: page.sideBySide ? 2 : 1
            columnSpacing: 16
            rowSpacing: 12

            ColumnLayout {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                Layout.preferredWidth: 1
                spacing: 10 * page.scale

                RowLayout {
                    Layout.fillWidth: true
                    Text {
                        objectName: "lblTitle"
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                        text: page.label("lblTitle")
                        color: App.colors.foreground
                        font.pixelSize: 22 * page.scale
                        font.bold: true
                    }
                    Text {
                        objectName: "lblLastUpdateDate"
                        Accessible.role: Accessible.StaticText
                        Accessible.name: App.i18n("Updated %1").arg(text)
                        text: page.label("lblLastUpdateDate")
                        color: App.colors.subheader
                        font.pixelSize: 11 * page.scale
                        horizontalAlignment: Text.AlignRight
                        Layout.fillWidth: true
                        elide: Text.ElideLeft
                    }
                }

                // What the figures cannot say themselves: nothing is counted, or another SIM.
                Repeater {
                    model: page.screenValues.notices || []
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
                            font.pixelSize: 12 * page.scale
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
                    dataType: page.cellular ? 1 : 2
                    currentUsagePercent: page.bar ? page.bar.currentUsagePercent : 0
                    idealUsagePercent: page.bar ? page.bar.idealUsagePercent : 0
                    usageText: page.bar ? page.bar.usageText : ""
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 10
                    Text {
                        objectName: "lblMonthlyUsage" + page.suffix
                        Accessible.role: Accessible.StaticText
                        Accessible.name: App.i18n("Used this period: %1").arg(text)
                        text: page.typed("lblMonthlyUsage")
                        color: App.colors.foreground
                        font.pixelSize: 34 * page.scale
                        font.bold: true
                    }
                    Text {
                        objectName: "lblAvailable" + page.suffix
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                        text: page.typed("lblAvailable")
                        color: App.colors.subheader
                        font.pixelSize: 13 * page.scale
                        Layout.fillWidth: true
                        wrapMode: Text.WordWrap
                    }
                    Rectangle {
                        color: page.progressColor
                        radius: 4
                        implicitWidth: status.implicitWidth + 16
                        implicitHeight: status.implicitHeight + 10
                        Text {
                            id: status
                            objectName: "lblIdealActualDiff" + page.suffix
                            Accessible.role: Accessible.StaticText
                            Accessible.name: App.i18n("Status: %1").arg(text)
                            anchors.centerIn: parent
                            text: page.typed("lblIdealActualDiff")
                            color: App.colors.background
                            font.pixelSize: 14 * page.scale
                            font.bold: true
                        }
                    }
                }

                GridLayout {
                    Layout.fillWidth: true
                    columns: 2
                    columnSpacing: 8
                    rowSpacing: 8
                    visible: page.shown("lblDays" + page.suffix)
                    FigureTile { objectName: "lblDays" + page.suffix; caption: App.i18n("DAYS LEFT"); value: page.typed("lblDays"); scale: page.scale }
                    FigureTile { objectName: "lblRemainingUsage" + page.suffix; caption: App.i18n("REMAINING"); value: page.typed("lblRemainingUsage"); scale: page.scale }
                    FigureTile { objectName: "lblDailySuggested" + page.suffix; caption: App.i18n("SUGGESTED PER DAY"); value: page.typed("lblDailySuggested"); scale: page.scale }
                    FigureTile { objectName: "lblProjected" + page.suffix; caption: App.i18n("PROJECTED"); value: page.typed("lblProjected"); scale: page.scale }
                }
                Text {
                    visible: !page.shown("lblDays" + page.suffix)
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    text: App.i18n("No billing cycle set. Choose one in Settings.")
                    color: App.colors.subheader
                    font.pixelSize: 14 * page.scale
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                }
                Text {
                    objectName: "lblPlaceUsed"
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    readonly property string place: page.label("lblPlaceUsed")
                    text: App.i18n("Last place: %1").arg(place)
                    color: App.colors.subheader
                    font.pixelSize: 12 * page.scale
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                }
            }

            DashboardTable {
                Layout.fillWidth: true
                Layout.alignment: Qt.AlignTop
                Layout.preferredWidth: 1
                rows: page.screen ? page.screen.rows : null
                valueColor: page.progressColor
                scale: page.scale
            }
        }
    }
}
