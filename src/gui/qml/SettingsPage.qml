// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The settings tab: every section and row comes from the settings schema through the screen.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: App.i18n("Settings")
    background: Rectangle { color: App.colors.background }
    header: ToolBar {
        implicitHeight: 48
        background: Rectangle { color: App.colors.navBar }
        Label {
            anchors.centerIn: parent
            text: App.i18n("Settings")
            color: App.colors.foreground
            font.pixelSize: 20
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
    }
    // Values changed on a pushed screen show when the list is back in front.
    StackView.onActivated: if (screen) screen.refresh()

    Component { id: planPage; PlanSetupPage {} }
    Connections {
        target: App
        function onPlanScreenRequested(name) {
            page.StackView.view.push(planPage, { screen: App.planScreen(name) }, StackView.Immediate)
        }
        function onPlanScreenDismissed() { page.StackView.view.pop(null, StackView.Immediate) }
    }
    Component { id: valuePage; ValueListPage {} }

    Flickable {
        anchors.fill: parent
        contentHeight: column.implicitHeight + 24
        clip: true
        ScrollBar.vertical: ScrollBar {}

        ColumnLayout {
            id: column
            x: 12
            y: 12
            width: parent.width - 24
            spacing: 1

            Repeater {
                model: page.screen ? page.screen.sections : null
                ColumnLayout {
                    id: section
                    required property string title
                    required property RowModel rows
                    Layout.fillWidth: true
                    spacing: 1
                    // The section header as the settings kit lays it out: a 20 px label at 15, 5.
                    Rectangle {
                        Layout.fillWidth: true
                        implicitHeight: 34
                        color: App.colors.background
                        visible: section.title.length > 0
                        Accessible.role: Accessible.Heading
                        Accessible.name: section.title
                        Text {
                            x: 15
                            y: 9
                            width: Math.min(320, parent.width - 15)
                            height: 20
                            text: section.title
                            color: App.colors.subheader
                            font.pixelSize: 14
                            verticalAlignment: Text.AlignVCenter
                            elide: Text.ElideRight
                        }
                    }
                    Repeater {
                        model: section.rows
                        Rectangle {
                            id: row
                            required property string key
                            required property string title
                            required property string kind
                            required property string value
                            required property bool on
                            // The whole row, for the page of its choices.
                            required property var cell
                            readonly property bool tappable: kind === "button" || kind === "screen" || kind === "choice"
                            // Resetting throws a period's count away: shown in the warning colour.
                            readonly property bool destructive: kind === "button" && key.indexOf("Reset") === 0
                            objectName: "setting_" + key
                            Layout.fillWidth: true
                            implicitHeight: 48
                            color: App.colors.settingsCell
                            Accessible.role: tappable ? Accessible.Button : Accessible.ListItem
                            Accessible.name: kind === "choice" ? title + ": " + value : title
                            Accessible.onPressAction: if (tappable) row.open()
                            function open() {
                                if (row.kind === "button")
                                    page.screen.perform("tap", { key: row.key })
                                else if (row.kind === "screen")
                                    page.StackView.view.push(planPage, { screen: App.planScreen(row.key) })
                                else
                                    page.StackView.view.push(valuePage, { screen: page.screen, row: row.cell })
                            }
                            MouseArea {
                                anchors.fill: parent
                                enabled: row.tappable
                                onClicked: row.open()
                            }

                            RowLayout {
                                anchors.fill: parent
                                anchors.leftMargin: 12
                                anchors.rightMargin: 8
                                Text {
                                    text: row.title
                                    color: row.destructive ? "#ff453a"
                                           : row.kind === "button" || row.kind === "screen"
                                           ? App.windowTint : App.colors.cellForeground
                                    font.pixelSize: 14
                                    Layout.fillWidth: true
                                    elide: Text.ElideRight
                                }
                                Switch {
                                    // The bus's press and toggle act as a tap does.
                                    Accessible.onPressAction: { toggle(); toggled() }
                                    Accessible.onToggleAction: { toggle(); toggled() }
                                    objectName: "switch_" + row.key
                                    visible: row.kind === "switch"
                                    checked: row.on
                                    palette.highlight: App.colors.tint
                                    Accessible.name: row.title
                                    onToggled: page.screen.perform("setSwitch", { key: row.key, on: checked })
                                }
                                Text {
                                    visible: row.kind === "choice"
                                    text: row.value + "  ›"
                                    color: App.colors.cellDetail
                                    font.pixelSize: 14
                                    horizontalAlignment: Text.AlignRight
                                    Layout.maximumWidth: page.width * 0.45
                                    elide: Text.ElideRight
                                }
                                Text {
                                    visible: row.kind === "screen"
                                    text: "›"
                                    color: App.colors.cellDetail
                                    font.pixelSize: 18
                                }
                                TextField {
                                    objectName: "list_" + row.key
                                    visible: row.kind === "list"
                                    text: row.value
                                    placeholderText: App.i18n("built-in")
                                    Accessible.name: row.title
                                    Layout.preferredWidth: Math.min(180, page.width * 0.4)
                                    onEditingFinished: page.screen.perform("setList", { key: row.key, text: text })
                                }
                                TextField {
                                    objectName: "number_" + row.key
                                    visible: row.kind === "number"
                                    text: row.value
                                    Accessible.name: row.title
                                    inputMethodHints: Qt.ImhFormattedNumbersOnly
                                    horizontalAlignment: TextInput.AlignRight
                                    Layout.preferredWidth: 110
                                    // Refused: the stored value shows again, and still follows the screen.
                                    onEditingFinished: {
                                        if (!page.screen.perform("setNumber", { key: row.key, text: text }))
                                            text = Qt.binding(() => row.value)
                                    }
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}
