// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import Byteward

// A picker wheel that a person turns with a finger, the arrow keys or a screen reader's
// increase and decrease actions. It tells once it has come to rest on a row other than the one
// the screen holds.
Tumbler {
    id: wheel
    // The row the screen holds.
    property int storedIndex: 0
    // What the wheel chooses ("Day of the month"), for a screen reader.
    property string name
    // For rows that are objects, the field to show.
    property string textRole
    property color textColor: App.colors.foreground
    property int textSize: 20
    readonly property string currentText: count > 0 ? textAt(currentIndex) : ""
    signal chosen(int index)

    function textAt(index) {
        const row = model ? model[index] : undefined
        if (row === undefined) return ""
        return textRole.length > 0 ? String(row[textRole]) : String(row)
    }
    function step(by) {
        if (count === 0) return
        currentIndex = wrap ? (currentIndex + by + count) % count
                            : Math.max(0, Math.min(count - 1, currentIndex + by))
    }
    function report() {
        if (!moving && count > 0 && currentIndex !== storedIndex) chosen(currentIndex)
    }

    currentIndex: storedIndex
    visibleItemCount: 5
    focusPolicy: Qt.StrongFocus
    onMovingChanged: report()
    onCurrentIndexChanged: report()
    Keys.onUpPressed: step(-1)
    Keys.onDownPressed: step(1)

    Accessible.role: Accessible.SpinBox
    Accessible.name: name + ": " + currentText
    Accessible.focusable: true
    Accessible.onIncreaseAction: step(1)
    Accessible.onDecreaseAction: step(-1)

    // The row in focus is marked, so a keyboard user sees where the keys act.
    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: wheel.activeFocus ? App.windowTint : "transparent"
        border.width: 2
        radius: 4
    }

    delegate: Text {
        required property var modelData
        required property int index
        text: wheel.textRole.length > 0 ? modelData[wheel.textRole] : modelData
        color: wheel.textColor
        opacity: 1.0 - Math.abs(Tumbler.displacement) / (wheel.visibleItemCount / 2)
        font.pixelSize: wheel.textSize
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        // The wheel's own view takes the press; a tap on a row still gives the wheel the keys.
        TapHandler { onTapped: wheel.forceActiveFocus(Qt.MouseFocusReason) }
    }
}
