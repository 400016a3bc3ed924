// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick
import QtQuick.Layouts
import Byteward

// A tab whose screens are still to come.
ScreenPage {
    id: page
    // Pages are tabs to a screen reader: each says which screen it is.
    Accessible.name: "Byteward"
    function label(name: string): string {
        return page.screen ? page.screen.label(name).text : ""
    }
    background: Rectangle { color: App.colors.background }
    ColumnLayout {
        anchors.centerIn: parent
        width: parent.width - 48
        Text {
            text: page.label("lblTitle")
            color: App.colors.foreground
            font.pixelSize: 22
            font.bold: true
            Layout.alignment: Qt.AlignHCenter
        }
        Text {
            text: page.label("lblMessage")
            color: App.colors.subheader
            font.pixelSize: 14
            wrapMode: Text.WordWrap
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
    }
}
