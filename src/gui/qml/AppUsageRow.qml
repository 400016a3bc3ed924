// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick
import QtQuick.Layouts
import Byteward

// One row of the Apps screens: a name, an amount and a bar of the row's share of the largest.
// Names come from cgroups and desktop entries, which anyone can write: always plain text.
Rectangle {
    id: row
    required property var cell
    property var theme: ({})
    property color barColor: App.colors.tint
    // Lists of applications show each one's icon; lists of days do not.
    property bool showsIcon: true
    readonly property bool opens: (cell.accessory || "") === "disclosureIndicator"
    readonly property color foreground: theme.tableCellForegroundColor || App.colors.cellForeground
    readonly property color detailColor: theme.tableCellDetailForegroundColor || App.colors.cellDetail

    signal selected()

    implicitHeight: Math.max(cell.height || 48, 48)
    color: theme.tableCellBackgroundColor || App.colors.cellBackground
    border.color: activeFocus ? (theme.appTintColor || App.colors.tint) : "transparent"
    border.width: 2
    activeFocusOnTab: true
    Accessible.role: opens ? Accessible.Button : Accessible.ListItem
    Accessible.name: (cell.title || "") + (cell.detail ? ": " + cell.detail : "")
    Accessible.focusable: true
    Accessible.onPressAction: if (row.opens) row.selected()
    Keys.onReturnPressed: if (row.opens) row.selected()
    Keys.onEnterPressed: if (row.opens) row.selected()
    Keys.onSpacePressed: if (row.opens) row.selected()

    MouseArea {
        anchors.fill: parent
        enabled: row.opens
        cursorShape: row.opens ? Qt.PointingHandCursor : Qt.ArrowCursor
        onClicked: { row.forceActiveFocus(); row.selected() }
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 15
        anchors.rightMargin: 10
        spacing: 10

        // The application's icon; the place stays where there is none, so names line up.
        Image {
            objectName: "appIcon"
            visible: row.showsIcon
            source: row.cell.image ? "image://appicon/" + encodeURIComponent(row.cell.image) : ""
            sourceSize.width: 32
            sourceSize.height: 32
            Layout.preferredWidth: 32
            Layout.preferredHeight: 32
            fillMode: Image.PreserveAspectFit
            asynchronous: true
            Accessible.ignored: true
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 5
            RowLayout {
                Layout.fillWidth: true
                spacing: 8
                Text {
                    textFormat: Text.PlainText
                    text: row.cell.title || ""
                    color: row.foreground
                    font.pixelSize: 15
                    font.italic: row.cell.kind === "notAttributed"
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                    Accessible.ignored: true
                }
                Text {
                    textFormat: Text.PlainText
                    text: row.cell.detail || ""
                    color: row.detailColor
                    font.pixelSize: 15
                    horizontalAlignment: Text.AlignRight
                    Accessible.ignored: true
                }
            }
            // The bar: the share of the largest row, in the type's progress colour.
            Rectangle {
                objectName: "appBar"
                Layout.fillWidth: true
                implicitHeight: 6
                radius: 3
                color: App.colors.barBackground
                Accessible.ignored: true
                Rectangle {
                    objectName: "appBarFill"
                    width: parent.width * Math.max(0, Math.min(1, row.cell.fraction || 0))
                    height: parent.height
                    radius: 3
                    color: row.barColor
                    opacity: row.cell.kind === "notAttributed" ? 0.4 : 1
                }
            }
        }

        Text {
            text: "\u203A"
            opacity: row.opens ? 1 : 0
            color: row.detailColor
            font.pixelSize: 22
            Accessible.ignored: true
        }
    }
}
