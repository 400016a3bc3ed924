// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/drawing_context.h"

#include <optional>
#include <string>

namespace byteward {

class UserDefaults;

// The application's colours. Two of them follow the usage bars: the cellular and the Wi-Fi
// progress colour are the colour that type's bar last showed, so the tint turns green, yellow or
// red with the usage.
class BytewardColors {
  public:
    static Rgba progressColor1(); // the bar's green
    static Rgba progressColor2(); // the bar's yellow
    static Rgba progressColor3(); // the bar's red
    static Rgba appTintColor();
    static Rgba appNavBarColor();
    static Rgba appBackgroundColor();
    static Rgba appBlockBackgroundColor();
    static Rgba appSubheaderColor();
    static Rgba appForegroundColor();
    static Rgba progressBarBackgroundColor();
    static Rgba tableSeperatorColor();
    static Rgba tableCellBackgroundColor();
    static Rgba tableCellForegroundColor();
    static Rgba tableCellDetailForegroundColor();
    static Rgba settingsTableCellBackgroundColor();

    // "G", "Y", "R" → green, yellow, red; anything else is green.
    static Rgba progressColorForLetter(const std::string &letter);
    // Read from the defaults at every call: a bar in another process may have changed them.
    static Rgba cellularProgressColor(UserDefaults &defaults);
    static Rgba wifiProgressColor(UserDefaults &defaults);
};

// "#rrggbb", or "#aarrggbb" when not opaque: the colour forms QML accepts.
std::string toHex(const Rgba &colour);

// Theme constants shared by every screen.
class BytewardTheme {
  public:
    struct TitleStyle {
        Rgba textColor;
        double fontSize; // points, in the system font
    };

    static bool appPrefersStatusBarHidden() { return true; }
    static int appBarStyle() { return 1; } // the black bar style
    static constexpr double navBarTitleFontSize = 24;
    static TitleStyle navBarTitleStyle();
};

// The window tint after a kProgressBarMileStoneNotification with this "dataType" (absent when
// there was no notification or no such key): cellular for 0 and 1, Wi-Fi for 2, the plain tint
// for another tab.
Rgba windowTintForNotification(std::optional<long long> dataType, UserDefaults &defaults);

// A dashboard's tint: its own type's progress colour, except that a notification from the
// cellular bar turns the Wi-Fi dashboard cellular too.
Rgba dashboardTint(bool cellularMode, std::optional<long long> notificationDataType,
                   UserDefaults &defaults);

} // namespace byteward
