// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The custom counters tab: one row per counter with its pause switch; edit mode adds delete and
// move buttons to every row.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: App.i18n("Custom Counters")
    readonly property var values: screen ? screen.values : ({})
    readonly property var theme: values.theme || ({})
    readonly property bool editing: values.editing === true

    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    function act(action, argument) {
        if (screen) screen.perform(action, argument)
    }

    background: Rectangle { color: page.theme.appBackgroundColor || App.colors.background }
    Component.onCompleted: {
        act("viewDidLoad")
        act("viewWillAppear")
    }
    // Shown again: another tab was in front, or a pushed screen was closed.
    onVisibleChanged: if (visible) act("viewWillAppear")

    header: ToolBar {
        background: Rectangle { color: page.theme.appNavBarColor || App.colors.navBar }
        RowLayout {
            anchors.fill: parent
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                objectName: "editButton"
                text: page.values.leftButton === "done" ? App.i18n("Done") : App.i18n("Edit")
                display: page.values.leftButton === "done" ? AbstractButton.TextOnly : AbstractButton.IconOnly
                icon.source: "qrc:/byteward/icons/action-edit.svg"
                icon.color: App.colors.foreground
                implicitWidth: Math.max(48, implicitContentWidth + 16)
                implicitHeight: 48
                Accessible.name: text
                onClicked: page.act(page.editing ? "leaveEditMode" : "showEditMode")
            }
            Label {
                text: page.label("lblTitle")
                Accessible.role: Accessible.Heading
                Accessible.name: text
                color: page.theme.navBarTitleColor || App.colors.foreground
                font.pixelSize: page.theme.navBarTitleFontSize || 20
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                objectName: "addButton"
                text: App.i18n("Add Counter")
                display: AbstractButton.IconOnly
                icon.source: "qrc:/byteward/icons/action-add.svg"
                icon.color: App.colors.foreground
                implicitWidth: 48
                implicitHeight: 48
                Accessible.name: text
                onClicked: page.act("showAddMode")
            }
        }
    }

    ListView {
        id: list
        anchors.fill: parent
        clip: true
        spacing: 1
        model: page.screen ? page.screen.rows : null
        ScrollBar.vertical: ScrollBar {}
        delegate: Rectangle {
            id: item
            required property var cell
            required property string title
            required property int index
            objectName: "counterRow" + index
            width: list.width
            implicitHeight: cell.implicitHeight
            color: page.theme.tableSeperatorColor || App.colors.separator

            RowLayout {
                anchors.fill: parent
                spacing: 0
                ToolButton {
                    // The bus's press acts as a click does.
                    Accessible.onPressAction: clicked()
                    objectName: "deleteButton"
                    visible: page.editing
                    text: "\u2212"
                    palette.buttonText: "#e73e3e"
                    implicitWidth: 48
                    implicitHeight: 48
                    Accessible.name: App.i18n("Delete %1").arg(item.title || App.i18n("counter"))
                    onClicked: page.act("commitEditingStyle", { row: item.index })
                }
                TableCellRow {
                    id: cell
                    cell: item.cell
                    theme: page.theme
                    editing: page.editing
                    Layout.fillWidth: true
                    onSelected: page.act("didSelectRow", { row: item.index })
                    onSwitched: (on) => page.act("switchToggled", { row: item.index, on: on })
                }
                ToolButton {
                    // The bus's press acts as a click does.
                    Accessible.onPressAction: clicked()
                    objectName: "moveUpButton"
                    visible: page.editing
                    enabled: item.index > 0
                    text: "\u2191"
                    implicitWidth: 48
                    implicitHeight: 48
                    Accessible.name: App.i18n("Move %1 up").arg(item.title || App.i18n("counter"))
                    onClicked: page.act("moveRow", { from: item.index, to: item.index - 1 })
                }
                ToolButton {
                    // The bus's press acts as a click does.
                    Accessible.onPressAction: clicked()
                    objectName: "moveDownButton"
                    visible: page.editing
                    enabled: item.index < list.count - 1
                    text: "\u2193"
                    implicitWidth: 48
                    implicitHeight: 48
                    Accessible.name: App.i18n("Move %1 down").arg(item.title || App.i18n("counter"))
                    onClicked: page.act("moveRow", { from: item.index, to: item.index + 1 })
                }
            }
        }
    }
}
