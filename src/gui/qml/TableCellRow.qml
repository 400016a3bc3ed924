// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// One table row as a screen describes it (title, detail, style, accessory, control) in the
// screen's theme. It only reports what the user did; the screen decides what that means.
Rectangle {
    id: row
    property var cell: ({})
    property var theme: ({})
    property bool editing: false
    readonly property string accessory: editing ? (cell.editingAccessory || "") : (cell.accessory || "")
    readonly property bool stacked: cell.style === "subtitle"

    signal selected()
    signal segmentChosen(int index)
    signal switched(bool on)
    signal buttonPressed()

    implicitHeight: Math.max(cell.height || 44, 48)
    color: theme.tableCellBackgroundColor || App.colors.cellBackground
    readonly property bool opens: accessory === "disclosureIndicator" || cell.selectable === true
    Accessible.role: cell.control === "segments" || cell.control === "button" ? Accessible.Grouping
                     : opens ? Accessible.Button : Accessible.ListItem
    Accessible.name: (cell.title || cell.buttonTitle || "") + (cell.detail ? ": " + cell.detail : "")
    Accessible.onPressAction: row.selected()

    MouseArea {
        anchors.fill: parent
        onClicked: row.selected()
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 15
        anchors.rightMargin: 10
        spacing: 8

        GridLayout {
            visible: row.cell.control !== "segments" && row.cell.control !== "button"
            columns: row.stacked ? 1 : 2
            rowSpacing: 2
            Layout.fillWidth: true
            Text {
                text: row.cell.title || ""
                color: row.theme.tableCellForegroundColor || App.colors.cellForeground
                font.pixelSize: row.stacked ? 17 : 15
                wrapMode: Text.Wrap
                maximumLineCount: row.cell.titleLines || 1
                elide: Text.ElideRight
                // Fills the row, so what follows (a switch, an arrow) sits at its end.
                Layout.fillWidth: true
            }
            Text {
                visible: text.length > 0
                text: row.cell.detail || ""
                color: row.theme.tableCellDetailForegroundColor || App.colors.cellDetail
                font.pixelSize: row.stacked ? 12 : 15
                wrapMode: Text.Wrap
                maximumLineCount: row.cell.detailLines || 1
                elide: Text.ElideRight
                horizontalAlignment: row.stacked ? Text.AlignLeft : Text.AlignRight
                Layout.fillWidth: true
            }
        }

        // A segmented control: one button per item, the selected one highlighted.
        RowLayout {
            visible: row.cell.control === "segments"
            spacing: 0
            Layout.fillWidth: true
            Repeater {
                model: row.cell.control === "segments" ? row.cell.items : []
                Button {
                    // The bus's press acts as a click does.
                    Accessible.onPressAction: clicked()
                    required property string modelData
                    required property int index
                    objectName: "segment" + index
                    text: modelData
                    checkable: true
                    checked: index === row.cell.selectedIndex
                    Layout.minimumHeight: 48
                    Accessible.name: modelData
                    highlighted: index === row.cell.selectedIndex
                    Layout.fillWidth: true
                    onClicked: row.segmentChosen(index)
                }
            }
        }

        Button {
            objectName: "cellButton"
            visible: row.cell.control === "button"
            text: row.cell.buttonTitle || ""
            Layout.fillWidth: true
            Layout.minimumHeight: 48
            // It throws the counter's amounts away (once saved): the warning colour.
            palette.buttonText: "#ff453a"
            font.bold: true
            Accessible.name: text
            Accessible.onPressAction: row.buttonPressed()
            onPressed: row.buttonPressed()
        }

        Switch {
            // The bus's press and toggle act as a tap does.
            Accessible.onPressAction: { toggle(); toggled() }
            Accessible.onToggleAction: { toggle(); toggled() }
            objectName: "cellSwitch"
            visible: row.accessory === "switch"
            checked: row.cell.on === true
            Accessible.name: row.cell.title || App.i18n("On")
            palette.highlight: row.theme.appTintColor || App.colors.tint
            onToggled: row.switched(checked)
        }

        Text {
            visible: row.accessory === "disclosureIndicator"
            text: "\u203A"
            color: row.theme.tableCellDetailForegroundColor || App.colors.cellDetail
            font.pixelSize: 22
        }
    }
}
