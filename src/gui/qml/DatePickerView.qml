// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The date picker, shown modally: the chosen date (or "No End Date") above a wheel whose
// columns, order and texts follow the user's locale, as the screen lays them out.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: App.i18n("End Date")
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
                onClicked: page.act("cancel")
            }
            Item { Layout.fillWidth: true }
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                Accessible.name: text
                implicitHeight: 48
                implicitWidth: Math.max(48, implicitContentWidth + 16)
                objectName: "doneButton"
                text: page.label("btnDone")
                onClicked: page.act("done")
            }
        }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 16

        TextField {
            objectName: "txtDate"
            Accessible.name: App.i18n("End date")
            readOnly: true
            text: page.label("txtDate")
            color: page.theme.appForegroundColor || App.colors.foreground
            horizontalAlignment: TextInput.AlignHCenter
            background: Rectangle { color: page.theme.appBackgroundColor || App.colors.background }
            Layout.fillWidth: true
        }
        Button {
            // The bus's press acts as a click does.
            Accessible.onPressAction: clicked()
            Accessible.name: text
            objectName: "btnNoEndDate"
            text: page.label("btnNoEndDate")
            Layout.alignment: Qt.AlignHCenter
            Layout.minimumHeight: 48
            onClicked: page.act("noEndDateSelected")
        }
        Rectangle {
            color: page.theme.appForegroundColor || App.colors.foreground
            radius: 6
            implicitHeight: 200
            Layout.fillWidth: true
            RowLayout {
                anchors.fill: parent
                anchors.margins: 8
                spacing: 0
                Repeater {
                    model: page.values.wheel || []
                    Wheel {
                        required property var modelData
                        objectName: "dateWheel_" + modelData.field
                        model: modelData.items
                        storedIndex: modelData.index
                        name: App.i18n("End date") + " " + modelData.field
                        wrap: modelData.field !== "year" && modelData.field !== "ampm"
                        textColor: page.theme.appBackgroundColor || App.colors.background
                        textSize: 18
                        Layout.fillWidth: true
                        Layout.fillHeight: true
                        onChosen: (row) => page.act("setSelectedDate", { field: modelData.field, index: row })
                    }
                }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
