// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// One plan setup screen: a checked list, wheels of digits or days, or a list of dates. Every
// choice goes straight to the screen, which stores it.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: page.label("lblTitle")
    readonly property var values: screen ? screen.values : ({})
    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    background: Rectangle { color: App.colors.background }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            Button {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                objectName: "planBackButton"
                text: "‹ " + App.i18n("Settings")
                flat: true
                Layout.minimumHeight: 48
                Accessible.name: App.i18n("Back to Settings")
                onClicked: page.StackView.view.pop()
            }
            Text {
                text: page.label("lblTitle")
                color: App.colors.foreground
                font.pixelSize: 20
                font.bold: true
                Layout.fillWidth: true
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
        }

        Repeater {
            model: page.values.rows || []
            Rectangle {
                id: planRow
                required property string modelData
                required property int index
                objectName: "planRow" + index
                Layout.fillWidth: true
                implicitHeight: 48
                Accessible.role: Accessible.RadioButton
                Accessible.name: modelData
                Accessible.checkable: true
                Accessible.checked: page.values.checked === index
                Accessible.onPressAction: page.screen.perform("select", { row: index })
                color: App.colors.settingsCell
                Text {
                    anchors.left: parent.left
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: planRow.modelData
                    color: App.colors.cellForeground
                    font.pixelSize: 15
                }
                Text {
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: "✓"
                    visible: page.values.checked === planRow.index
                    color: App.windowTint
                    font.pixelSize: 18
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: page.screen.perform("select", { row: planRow.index })
                }
            }
        }

        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            spacing: 4
            visible: (page.values.wheels || []).length > 0
            Repeater {
                // By count: the wheels stay (and keep the keyboard) while their values change.
                model: (page.values.wheels || []).length
                Wheel {
                    required property int index
                    readonly property var modelData: page.values.wheels[index] || ({ rows: [], selected: 0, width: 40 })
                    objectName: "planWheel" + index
                    model: modelData.rows
                    name: App.i18n("%1, wheel %2").arg(page.label("lblTitle")).arg(index + 1)
                    implicitWidth: Math.max(48, modelData.width * 1.3)
                    implicitHeight: 200
                    storedIndex: Math.max(0, modelData.selected)
                    onChosen: (row) => page.screen.perform("select", { row: row, component: index })
                }
            }
        }

        Wheel {
            id: days
            objectName: "planDays"
            Layout.alignment: Qt.AlignHCenter
            visible: (page.values.days || []).length > 0
            model: page.values.days || []
            textRole: "title"
            name: page.label("lblTitle")
            implicitWidth: 220
            implicitHeight: 200
            wrap: false
            // The day shown: the last one not after the stored date.
            storedIndex: {
                const list = page.values.days || []
                let shown = 0
                for (let i = 0; i < list.length; ++i)
                    if (list[i].seconds <= page.values.date) shown = i
                return shown
            }
            onChosen: (row) => page.screen.perform("setDate", { seconds: page.values.days[row].seconds })
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: 44
            color: "transparent"
            border.color: App.colors.subheader
            border.width: 1
            visible: page.label("selectedDate").length > 0
            Accessible.role: Accessible.StaticText
            Accessible.name: page.label("selectedDate")
            Text {
                anchors.centerIn: parent
                text: page.label("selectedDate")
                color: App.colors.foreground
                font.pixelSize: 16
            }
        }
        Item { Layout.fillHeight: true }
    }
}
