// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick
import Byteward

DashboardPage {
    screen: App.wifi
    cellular: false
    layoutKind: "tablet"
}
