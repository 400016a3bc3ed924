// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import Byteward

// Shows the presenter's current alert and sends the pressed button back. An alert's buttons sit
// in a row; an action sheet's stand one above the other, the destructive one first and in red,
// Cancel last and apart.
Dialog {
    id: dialog
    objectName: "alertDialog"
    property QmlPresenter presenter
    readonly property var alert: presenter ? presenter.current : ({})
    readonly property bool hasAlert: alert !== undefined && alert.title !== undefined
    readonly property bool sheet: hasAlert && alert.actionSheet === true
    readonly property var buttons: hasAlert ? alert.buttons : []
    // The action sheet's buttons other than Cancel, the destructive one first.
    readonly property var sheetOrder: {
        const order = []
        if (!sheet) return order
        if (alert.destructive >= 0) order.push(alert.destructive)
        for (let i = 0; i < buttons.length; ++i)
            if (i !== alert.destructive && !(i === 0 && alert.hasCancel)) order.push(i)
        return order
    }

    // An alert in the middle; an action sheet rises from the bottom, near the thumb.
    parent: Overlay.overlay
    x: parent ? (parent.width - width) / 2 : 0
    y: parent ? (sheet ? parent.height - height - 12 : (parent.height - height) / 2) : 0
    width: Math.min(parent ? parent.width - 32 : 360, 420)
    modal: true
    // Takes the keyboard, so its text field does.
    focus: true
    closePolicy: Popup.NoAutoClose
    visible: hasAlert
    title: hasAlert ? alert.title : ""
    // What the text field holds. A new alert in the same dialog starts from its own text.
    property string typed
    onAlertChanged: if (alert && alert.text !== undefined) typed = alert.text

    function press(index: int) {
        presenter.answer(index, typed)
    }

    // Positioners, not layouts: a layout may still hold a button its Repeater has just let go
    // when the next alert replaces the buttons.
    contentItem: Column {
        spacing: 12
        Accessible.role: Accessible.AlertMessage
        Accessible.name: dialog.title.length > 0 ? dialog.title : App.i18n("Choose an action")
        Accessible.description: dialog.hasAlert ? dialog.alert.message : ""
        Label {
            width: parent.width
            text: dialog.hasAlert ? dialog.alert.message : ""
            wrapMode: Text.WordWrap
            visible: text.length > 0
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        TextField {
            objectName: "alertField"
            text: dialog.typed
            onTextChanged: dialog.typed = text
            width: parent.width
            height: Math.max(48, implicitHeight)
            visible: dialog.hasAlert && dialog.alert.textInput === true
            // The keyboard comes up in the field as the alert opens.
            focus: visible
            inputMethodHints: dialog.hasAlert && dialog.alert.keyboard === "number" ? Qt.ImhDigitsOnly
                                                                                   : Qt.ImhFormattedNumbersOnly
            Accessible.name: dialog.title
            // Enter confirms, as the last button does.
            onAccepted: dialog.press(dialog.buttons.length - 1)
        }
        // The action sheet's choices.
        Repeater {
            model: dialog.sheetOrder
            Button {
                required property int modelData
                readonly property bool destructive: modelData === dialog.alert.destructive
                objectName: "alertButton" + modelData
                text: dialog.buttons[modelData] || ""
                width: parent.width
                height: Math.max(48, implicitHeight)
                palette.buttonText: destructive ? "#ff453a" : App.colors.foreground
                font.bold: destructive
                Accessible.name: destructive ? App.i18n("%1 (destroys data)").arg(text) : text
                Accessible.onPressAction: dialog.press(modelData)
                onClicked: dialog.press(modelData)
            }
        }
    }

    footer: Item {
        implicitHeight: buttonRow.implicitHeight + 16
        Row {
            id: buttonRow
            anchors.right: parent.right
            anchors.left: dialog.sheet ? parent.left : undefined
            anchors.top: parent.top
            anchors.margins: 12
            anchors.topMargin: 0
            spacing: 8
            Repeater {
                // A row of buttons; an action sheet keeps only Cancel here.
                model: dialog.sheet ? (dialog.alert.hasCancel === true ? [0] : []) : dialog.buttons.map((_, i) => i)
                Button {
                    required property int modelData
                    objectName: "alertButton" + modelData
                    text: dialog.buttons[modelData] || ""
                    flat: modelData === 0 && dialog.alert.hasCancel === true
                    width: dialog.sheet ? buttonRow.width : Math.max(64, implicitWidth)
                    height: Math.max(48, implicitHeight)
                    Accessible.name: text
                    Accessible.onPressAction: dialog.press(modelData)
                    onClicked: dialog.press(modelData)
                }
            }
        }
    }
}
