// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick
import QtQuick.Layouts
import Byteward

// One figure of the dashboard with its caption.
Rectangle {
    id: tile
    property string caption
    property string value
    property real scale: 1
    color: App.colors.block
    radius: 4
    implicitHeight: column.implicitHeight + 16 * scale
    Layout.fillWidth: true
    // Read as one figure: "Days left: 12".
    Accessible.role: Accessible.StaticText
    Accessible.name: caption + ": " + value

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 8 * tile.scale
        spacing: 2
        Text {
            Accessible.ignored: true
            text: tile.caption
            color: App.colors.subheader
            font.pixelSize: 11 * tile.scale
            Layout.fillWidth: true
            elide: Text.ElideRight
        }
        Text {
            Accessible.ignored: true
            text: tile.value
            color: App.colors.foreground
            font.pixelSize: 18 * tile.scale
            font.bold: true
            Layout.fillWidth: true
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 9
        }
    }
}
