// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Byteward

// The details table: fourteen titled rows, values in the type's progress colour.
ColumnLayout {
    id: table
    property RowModel rows
    property color valueColor
    property real scale: 1
    // Device-independent points to pixels: 1 on an ordinary screen, more on a phone's dense one
    // where Qt does not scale itself.
    readonly property real density: Math.max(1, Screen.pixelDensity * 25.4 / 160)
    spacing: 1
    Accessible.role: Accessible.List
    Accessible.name: App.i18n("Details")

    Repeater {
        model: table.rows
        Rectangle {
            id: row
            required property string title
            required property string value
            required property int index
            objectName: "detailRow" + index
            Layout.fillWidth: true
            // The details table's rows: 50 points, 80 on a tablet, at the screen's density.
            implicitHeight: (table.scale > 1 ? 80 : 50) * table.density
            color: App.colors.cellBackground
            Accessible.role: Accessible.ListItem
            Accessible.name: title + ": " + (value.length > 0 ? value : App.i18n("none"))
            Text {
                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width * 0.45
                Accessible.ignored: true
                text: row.title
                color: App.colors.cellForeground
                font.pixelSize: (table.scale > 1 ? 22 : 16) * table.density
                elide: Text.ElideRight
            }
            Text {
                anchors.right: parent.right
                anchors.rightMargin: 10
                anchors.verticalCenter: parent.verticalCenter
                width: parent.width * 0.53
                horizontalAlignment: Text.AlignRight
                Accessible.ignored: true
                text: row.value
                color: table.valueColor
                font.pixelSize: (table.scale > 1 ? 22 : 16) * table.density
                elide: Text.ElideLeft
            }
        }
    }
}
