// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

import QtQuick.Controls
import Byteward

// A page that shows one screen: the stacks tell it by this when its screen goes away.
Page {
    property ScreenAdapter screen
    // Taken off its stack by the back button: the navigator lets go of the screen's adapter,
    // which must not read a screen its owner frees later.
    StackView.onRemoved: if (screen) App.navigator.pageClosed(screen)
}
