// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/dashboard/usage_visual_view.h"

namespace byteward {

std::string UsageVisualView::colourLetter(float usedPercent, float idealPercent,
                                          const std::string &progressYellow,
                                          const std::string &progressRed) {
    const bool red = (progressRed == "USE95" && usedPercent > 95.0f) ||
                     (progressRed == "USE100" && usedPercent > 100.0f);
    if (red) return "R";
    const bool yellow = (progressYellow == "AVG" && usedPercent > idealPercent) ||
                        (progressYellow == "USE80" && usedPercent > 80.0f) ||
                        (progressYellow == "USE90" && usedPercent > 90.0f);
    return yellow ? "Y" : "G";
}

std::string UsageVisualView::colourLetter(const AppSettings &settings) const {
    return colourLetter(currentUsagePercent.value_or(0), idealUsagePercent.value_or(0),
                        AppSettings::text(settings.progressYellow),
                        AppSettings::text(settings.progressRed));
}

} // namespace byteward
