// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/kit/theme.h"

#include "model/app_settings.h"
#include "storage/user_defaults.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace byteward {

namespace {

constexpr Rgba rgb255(int red, int green, int blue) {
    return {red / 255.0, green / 255.0, blue / 255.0, 1.0};
}

std::string storedLetter(UserDefaults &defaults, const char *key) {
    const auto value = defaults.objectForKey(key);
    const std::string *text = value ? value->asString() : nullptr;
    return text ? *text : std::string{};
}

int byteOf(double component) {
    return static_cast<int>(std::lround(std::clamp(component, 0.0, 1.0) * 255.0));
}

} // namespace

Rgba BytewardColors::progressColor1() {
    return rgb255(62, 242, 140);
}
Rgba BytewardColors::progressColor2() {
    return rgb255(255, 227, 71);
}
Rgba BytewardColors::progressColor3() {
    return rgb255(231, 62, 62);
}
Rgba BytewardColors::appTintColor() {
    return rgb255(70, 169, 205);
}
Rgba BytewardColors::appNavBarColor() {
    return appTintColor();
}
Rgba BytewardColors::appBackgroundColor() {
    return rgb255(50, 55, 60);
}
Rgba BytewardColors::appBlockBackgroundColor() {
    return rgb255(68, 75, 82);
}
Rgba BytewardColors::appSubheaderColor() {
    return rgb255(137, 140, 144);
}
Rgba BytewardColors::appForegroundColor() {
    return {1, 1, 1, 1};
}
Rgba BytewardColors::progressBarBackgroundColor() {
    return {0.5, 0.5, 0.5, 1};
}
Rgba BytewardColors::tableSeperatorColor() {
    return appBackgroundColor();
}
Rgba BytewardColors::tableCellBackgroundColor() {
    return appBlockBackgroundColor();
}
Rgba BytewardColors::tableCellForegroundColor() {
    return appSubheaderColor();
}
Rgba BytewardColors::tableCellDetailForegroundColor() {
    return appSubheaderColor();
}
Rgba BytewardColors::settingsTableCellBackgroundColor() {
    return appBlockBackgroundColor();
}

Rgba BytewardColors::progressColorForLetter(const std::string &letter) {
    if (letter == "Y") return progressColor2();
    if (letter == "R") return progressColor3();
    return progressColor1();
}

Rgba BytewardColors::cellularProgressColor(UserDefaults &defaults) {
    return progressColorForLetter(storedLetter(defaults, AppSettings::kCellularColourKey));
}

Rgba BytewardColors::wifiProgressColor(UserDefaults &defaults) {
    return progressColorForLetter(storedLetter(defaults, AppSettings::kWiFiColourKey));
}

std::string toHex(const Rgba &colour) {
    char text[32];
    if (byteOf(colour.alpha) == 255)
        std::snprintf(text, sizeof text, "#%02x%02x%02x", byteOf(colour.red), byteOf(colour.green),
                      byteOf(colour.blue));
    else
        std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", byteOf(colour.alpha),
                      byteOf(colour.red), byteOf(colour.green), byteOf(colour.blue));
    return text;
}

BytewardTheme::TitleStyle BytewardTheme::navBarTitleStyle() {
    return {BytewardColors::appForegroundColor(), navBarTitleFontSize};
}

Rgba windowTintForNotification(std::optional<long long> dataType, UserDefaults &defaults) {
    const long long type = dataType.value_or(0);
    if (type == 0 || type == 1) return BytewardColors::cellularProgressColor(defaults);
    if (type == 2) return BytewardColors::wifiProgressColor(defaults);
    return BytewardColors::appTintColor();
}

Rgba dashboardTint(bool cellularMode, std::optional<long long> notificationDataType,
                   UserDefaults &defaults) {
    if (cellularMode || notificationDataType == 1)
        return BytewardColors::cellularProgressColor(defaults);
    return BytewardColors::wifiProgressColor(defaults);
}

} // namespace byteward
