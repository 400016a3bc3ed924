// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Byteward

// The History tab's list: the two periods in progress, then every stored billing period. The
// screen decides every text, which rows can be deleted and what the action menu does.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: App.i18n("History")
    readonly property var values: screen ? screen.values : ({})
    readonly property var theme: values.theme || ({})
    readonly property bool editing: values.editing === true
    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    function reportDevice() {
        const w = page.Window.window
        if (screen && w) screen.perform("setDevice", { isPad: Math.min(w.width, w.height) >= 700 })
    }

    background: Rectangle { color: page.theme.appBackgroundColor || App.colors.background }
    Component.onCompleted: {
        if (!screen) return
        reportDevice()
        screen.perform("viewDidLoad")
        screen.perform("viewWillAppear")
    }
    onVisibleChanged: if (visible && screen) screen.perform("viewWillAppear")
    StackView.onActivating: if (screen) screen.perform("viewWillAppear")

    header: ToolBar {
        background: Rectangle { color: page.theme.appNavBarColor || App.colors.navBar }
        RowLayout {
            anchors.fill: parent
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                objectName: "historyEditButton"
                text: page.editing ? App.i18n("Done") : App.i18n("Edit")
                display: page.editing ? AbstractButton.TextOnly : AbstractButton.IconOnly
                icon.source: "qrc:/byteward/icons/action-edit.svg"
                icon.color: App.colors.foreground
                implicitWidth: Math.max(48, implicitContentWidth + 16)
                implicitHeight: 48
                Accessible.name: text
                onClicked: page.screen.perform(page.editing ? "leaveEditMode" : "showEditMode")
            }
            Label {
                text: page.label("lblTitle")
                Accessible.role: Accessible.Heading
                Accessible.name: text
                color: page.theme.navBarTitleColor || App.colors.foreground
                font.pixelSize: 20
                horizontalAlignment: Text.AlignHCenter
                Layout.fillWidth: true
            }
            ToolButton {
                // The bus's press acts as a click does.
                Accessible.onPressAction: clicked()
                objectName: "historyActionButton"
                text: App.i18n("Share") + "…"
                display: AbstractButton.IconOnly
                icon.source: "qrc:/byteward/icons/action-share.svg"
                icon.color: App.colors.foreground
                implicitWidth: 48
                implicitHeight: 48
                Accessible.name: App.i18n("Clear, export or chart the history")
                enabled: page.values.actionEnabled === true
                onClicked: { page.reportDevice(); page.screen.perform("showActionSheet") }
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
            id: row
            required property string title
            required property string detail
            required property string image
            required property string accessory
            required property bool editable
            required property real rowHeight
            required property int index
            objectName: "historyRow" + index
            width: list.width
            height: Math.max(rowHeight || 60, 48)
            color: page.theme.tableCellBackgroundColor || App.colors.cellBackground
            Accessible.role: accessory === "disclosureIndicator" ? Accessible.Button : Accessible.ListItem
            Accessible.name: title + (detail ? ", " + detail : "")
            Accessible.onPressAction: { page.reportDevice(); page.screen.perform("select", { row: row.index }) }

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: 10
                anchors.rightMargin: 10
                spacing: 10
                RoundButton {
                    // The bus's press acts as a click does.
                    Accessible.onPressAction: clicked()
                    objectName: "deleteButton"
                    visible: page.editing && row.editable
                    text: "−"
                    implicitWidth: 48
                    implicitHeight: 48
                    Accessible.name: App.i18n("Delete %1").arg(row.title)
                    palette.button: "#d9342b"
                    palette.buttonText: "white"
                    onClicked: page.screen.perform("delete", { row: row.index })
                }
                HistoryIcon {
                    image: row.image
                    color: page.theme.tableCellForegroundColor || App.colors.cellForeground
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    Text {
                        text: row.title
                        color: page.theme.tableCellForegroundColor || App.colors.cellForeground
                        font.pixelSize: 16
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Text {
                        text: row.detail
                        visible: text.length > 0
                        color: page.theme.tableCellDetailForegroundColor || App.colors.cellDetail
                        font.pixelSize: 13
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                }
                Text {
                    text: "›"
                    visible: row.accessory === "disclosureIndicator"
                    color: page.theme.tableCellDetailForegroundColor || App.colors.cellDetail
                    font.pixelSize: 22
                }
            }
            MouseArea {
                anchors.fill: parent
                z: -1
                onClicked: { page.reportDevice(); page.screen.perform("select", { row: row.index }) }
            }
        }
    }
}
