// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick

// The smallest Qt Quick application worth comparing with: a window and a line of text, as a new
// Qt Quick project starts out.
Window {
    width: 420
    height: 800
    visible: true
    title: "Hello World"

    Text {
        anchors.centerIn: parent
        text: "Hello World"
    }
}
