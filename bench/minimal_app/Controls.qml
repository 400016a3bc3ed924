// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick
import QtQuick.Controls

// The same with the parts every Qt Quick Controls application starts with: an application
// window, a tab bar and a label, in the desktop's default style.
ApplicationWindow {
    width: 420
    height: 800
    visible: true
    title: "Hello World"

    footer: TabBar {
        Repeater {
            model: ["One", "Two", "Three", "Four", "Five"]
            TabButton {
                required property string modelData
                text: modelData
            }
        }
    }

    Label {
        anchors.centerIn: parent
        text: "Hello World"
    }
}
