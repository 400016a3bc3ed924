// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/app_settings.h"

#include <optional>
#include <string>

namespace byteward {

class AnalyticsLog;
class NotificationCenter;
class DrawingContext;
struct Services;

// The usage bar of one data type: fills to the used percent in green, yellow or red and marks
// the ideal percent. Draws through a DrawingContext, so the app paints it with QPainter and tests
// record it.
class UsageVisualView {
  public:
    std::optional<float> currentUsagePercent;
    std::optional<float> idealUsagePercent;
    std::string usageText;
    std::string diffText; // kept with the bar, not drawn
    int dataType = 0;     // 1 cellular, 2 Wi-Fi, anything else neither
    // Created at the first draw when not set, and re-read at every draw.
    std::optional<AppSettings> appSettings;

    // Fills the bar in its colour, marks the ideal percent and writes the usage text. Remembers
    // the colour per data type and, when it changed, posts kProgressBarMileStoneNotification so
    // the themed screens follow. `analytics` and `events` may be null (headless use).
    void drawInContext(DrawingContext &context, Services &services, AnalyticsLog *analytics,
                       NotificationCenter *events);

    // "G", "Y" or "R" for a used and an ideal percent under the user's thresholds: yellow at
    // "AVG" (above the ideal), "USE80" or "USE90"; red at "USE95" or "USE100". Red wins over
    // yellow, yellow over green.
    static std::string colourLetter(float usedPercent, float idealPercent,
                                    const std::string &progressYellow,
                                    const std::string &progressRed);
    // The letter for this bar's values under the settings.
    std::string colourLetter(const AppSettings &settings) const;

    // User-defaults keys of the colour each type's bar last showed.
    static constexpr const char *kCellularColourKey = AppSettings::kCellularColourKey;
    static constexpr const char *kWiFiColourKey = AppSettings::kWiFiColourKey;
};

} // namespace byteward
