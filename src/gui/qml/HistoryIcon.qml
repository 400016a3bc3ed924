// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick

// The small data-type icon of a history row: rising bars for cellular, arcs for Wi-Fi.
Item {
    id: icon
    property string image: "mobile_small.png"
    property color color: "white"
    readonly property bool wifi: image === "wifi_small.png"
    implicitWidth: 28
    implicitHeight: 28

    Row {
        visible: !icon.wifi
        anchors.centerIn: parent
        spacing: 2
        Repeater {
            model: 4
            Rectangle {
                required property int index
                width: 4
                height: 6 + index * 5
                // A delegate has no parent yet while it is being made.
                anchors.bottom: parent ? parent.bottom : undefined
                radius: 1
                color: icon.color
            }
        }
    }
    Canvas {
        id: arcs
        visible: icon.wifi
        anchors.fill: parent
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            ctx.strokeStyle = icon.color
            ctx.fillStyle = icon.color
            ctx.lineWidth = 2.5
            const cx = width / 2, cy = height * 0.8
            for (let r = 6; r <= 18; r += 6) {
                ctx.beginPath()
                ctx.arc(cx, cy, r, -Math.PI * 0.75, -Math.PI * 0.25)
                ctx.stroke()
            }
            ctx.beginPath()
            ctx.arc(cx, cy, 2, 0, Math.PI * 2)
            ctx.fill()
        }
    }
    onColorChanged: arcs.requestPaint()
}
