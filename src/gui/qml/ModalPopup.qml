// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick
import QtQuick.Controls
import Byteward

// Presented screens, over everything: the counter editor opens its pickers on top.
Popup {
    readonly property alias stack: modalStack
    parent: Overlay.overlay
    x: 0
    y: 0
    width: parent ? parent.width : 0
    height: parent ? parent.height : 0
    modal: true
    padding: 0
    closePolicy: Popup.NoAutoClose
    background: Rectangle { color: App.colors.background }
    StackView {
        id: modalStack
        objectName: "modalStack"
        anchors.fill: parent
    }
}
