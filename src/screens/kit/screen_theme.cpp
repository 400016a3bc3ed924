// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/kit/screen_theme.h"

#include "screens/kit/theme.h"

namespace byteward {

ValueDict screenThemeValues() {
    ValueDict d;
    auto colour = [&d](const char *name, const Rgba &c) { d.set(name, Value(toHex(c))); };
    colour("appBackgroundColor", BytewardColors::appBackgroundColor());
    colour("appNavBarColor", BytewardColors::appNavBarColor());
    colour("appForegroundColor", BytewardColors::appForegroundColor());
    colour("appTintColor", BytewardColors::appTintColor());
    colour("appSubheaderColor", BytewardColors::appSubheaderColor());
    colour("tableSeperatorColor", BytewardColors::tableSeperatorColor());
    colour("tableCellBackgroundColor", BytewardColors::tableCellBackgroundColor());
    colour("tableCellForegroundColor", BytewardColors::tableCellForegroundColor());
    colour("tableCellDetailForegroundColor", BytewardColors::tableCellDetailForegroundColor());
    const auto title = BytewardTheme::navBarTitleStyle();
    colour("navBarTitleColor", title.textColor);
    d.set("navBarTitleFontSize", Value(title.fontSize));
    d.set("prefersStatusBarHidden", Value(BytewardTheme::appPrefersStatusBarHidden()));
    return d;
}

} // namespace byteward
