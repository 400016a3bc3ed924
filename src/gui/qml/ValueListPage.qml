// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The values of one multiple-choice setting; the chosen one is checked.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: page.row ? page.row.title : App.i18n("Choices")
    property var row
    background: Rectangle { color: App.colors.background }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12
        spacing: 1
        RowLayout {
            Layout.fillWidth: true
            Button {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                objectName: "valueBackButton"
                text: "‹ Settings"
                flat: true
                Layout.minimumHeight: 48
                Accessible.name: App.i18n("Back to Settings")
                onClicked: page.StackView.view.pop()
            }
            Text {
                text: page.row ? page.row.title : ""
                color: App.colors.foreground
                font.pixelSize: 20
                font.bold: true
                Layout.fillWidth: true
                elide: Text.ElideRight
            }
        }
        ListView {
            id: list
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 1
            model: page.row ? page.row.choices : []
            property int chosen: page.row ? page.row.index : -1
            delegate: Rectangle {
                id: choice
                required property string modelData
                required property int index
                objectName: "choice" + index
                width: list.width
                height: 48
                color: App.colors.settingsCell
                Accessible.role: Accessible.RadioButton
                Accessible.name: modelData
                Accessible.checkable: true
                Accessible.checked: list.chosen === index
                Accessible.onPressAction: choose()
                function choose() {
                    page.screen.perform("setChoice", { key: page.row.key, index: index })
                    list.chosen = index
                }
                Text {
                    anchors.left: parent.left
                    anchors.leftMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: choice.modelData
                    color: App.colors.cellDetail
                    font.pixelSize: 15
                }
                Text {
                    anchors.right: parent.right
                    anchors.rightMargin: 12
                    anchors.verticalCenter: parent.verticalCenter
                    text: "✓"
                    visible: list.chosen === choice.index
                    color: App.windowTint
                    font.pixelSize: 18
                }
                MouseArea {
                    anchors.fill: parent
                    onClicked: choice.choose()
                }
            }
        }
    }
}
