// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/update_cycle.h"
#include "screens/kit/drawing_context.h"

#include <string>

namespace byteward {

class MainViewController;
class UserDefaults;

// What the desktop's status area shows of the usage: the colour of the bar the person starts with
// and the period's usage of both types, as the dashboards last worked them out.
struct StatusItem {
    bool shown = true; // off only when the person turned it off
    Rgba colour;
    std::string toolTip; // one line per type, the start type first
};

// From a dashboard whose render covered both types (the cellular one's does).
StatusItem statusItemOf(MainViewController &dashboard, UserDefaults &defaults);

// "Cellular: 1.20 GB of 5.0 GB (24.0%)", or "Wi-Fi: 3.40 GB, no limit" for a plan without one.
std::string periodUsageLine(const std::string &typeName, const PeriodFigures &figures,
                            const std::string &unit);

// The settings switch; absent means on.
inline constexpr const char *kShowStatusIconKey = "showStatusIcon";

} // namespace byteward
