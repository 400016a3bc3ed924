// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The text entry, shown modally: a caption, one field with the keyboard focus, Cancel and Done.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: page.label("label").length > 0 ? page.label("label") : App.i18n("Text entry")
    readonly property var values: screen ? screen.values : ({})
    readonly property var theme: values.theme || ({})

    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    function act(action: string, argument: var) {
        if (page.screen) page.screen.perform(action, argument)
    }

    background: Rectangle { color: page.theme.appBackgroundColor || App.colors.background }
    Component.onCompleted: {
        field.text = page.values.text || ""
        field.forceActiveFocus()
    }

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
                onClicked: page.act("done", { text: field.text })
            }
        }
    }

    ColumnLayout {
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.top: parent.top
        anchors.margins: 16
        spacing: 8
        Label {
            text: page.label("label")
            visible: text.length > 0
            color: page.theme.appSubheaderColor || App.colors.subheader
        }
        TextField {
            id: field
            objectName: "textField"
            Accessible.name: page.label("label").length > 0 ? page.label("label") : (page.values.placeholderText || App.i18n("Text"))
            Layout.minimumHeight: 48
            placeholderText: page.values.placeholderText || ""
            inputMethodHints: page.values.keyboard === "decimal" ? Qt.ImhFormattedNumbersOnly
                            : page.values.keyboard === "number" ? Qt.ImhDigitsOnly : Qt.ImhNone
            Layout.fillWidth: true
            onTextEdited: page.act("setText", { text: text })
            onAccepted: page.act("done", { text: text })
        }
    }
}
