// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/analytics_log.h"
#include "screens/dashboard/usage_visual_view.h"
#include "screens/kit/drawing_context.h"
#include "screens/kit/notification_center.h"
#include "screens/kit/theme.h"
#include "storage/services.h"

#include <cmath>

namespace byteward {

namespace {

// The user-defaults key of a bar's remembered colour; null for a bar of neither type.
const char *colourKeyOf(int dataType) {
    if (dataType == 1) return UsageVisualView::kCellularColourKey;
    if (dataType == 2) return UsageVisualView::kWiFiColourKey;
    return nullptr;
}

// The colour the bar showed last; a bar of neither type always counts as green before.
std::optional<std::string> previousLetter(int dataType, UserDefaults &defaults) {
    const char *key = colourKeyOf(dataType);
    if (!key) return "G";
    const auto stored = defaults.objectForKey(key);
    if (!stored || !stored->isString()) return std::nullopt;
    return *stored->asString();
}

RectF insetByOne(const RectF &rect) {
    return {rect.x + 1, rect.y + 1, rect.width - 2, rect.height - 2};
}

// Above 100 % fills everything, at or below 0 % (or no number at all) nothing.
double filledWidth(float usedPercent, double width) {
    if (usedPercent > 100.0f) return width;
    if (usedPercent > 0.0f) return static_cast<double>(usedPercent) / 100.0 * width;
    return 0;
}

void fillUsed(DrawingContext &context, const RectF &bar, float usedPercent, const Rgba &colour) {
    context.saveState();
    context.clipToRect(bar);
    context.clipToRect({bar.x, bar.y, filledWidth(usedPercent, bar.width), bar.height});
    context.fillLinearGradient(bar, {colour, colour, colour}, {0.0, 0.4, 1.0});
    context.restoreState();
}

void drawIdealMarker(DrawingContext &context, const RectF &bar, float idealPercent) {
    const Rgba white{1, 1, 1, 1};
    context.setStrokeColor(white);
    context.setFillColor(white);
    context.setLineDash(2.0, {3.0, 4.0});
    // A percent that is no number would put the line nowhere; leave it out.
    if (!std::isfinite(idealPercent)) return;
    const double x = bar.x + static_cast<double>(idealPercent) / 100.0 * bar.width;
    context.strokeLine(x, bar.y, x, bar.y + bar.height);
}

void drawUsageText(DrawingContext &context, const RectF &bar, const std::string &text) {
    // Whole points keep the digits sharp.
    const double x = std::floor(bar.x + 0.3 * bar.width);
    const double y = std::floor((bar.height + 20) * 0.5);
    context.setFillColor({1, 1, 1, 1});
    context.drawText(text, "Trebuchet MS", 24, x, y);
}

} // namespace

void UsageVisualView::drawInContext(DrawingContext &context, Services &services,
                                    AnalyticsLog *analytics, NotificationCenter *events) {
    const float ideal = idealUsagePercent.value_or(0);
    const float used = currentUsagePercent.value_or(0);
    if (!appSettings) appSettings.emplace(services);
    appSettings->getSettings();
    const std::optional<std::string> previous = previousLetter(dataType, services.defaults);
    const std::string letter = colourLetter(*appSettings);

    const RectF bar = insetByOne(context.clipBoundingBox());
    fillUsed(context, bar, used, BytewardColors::progressColorForLetter(letter));

    // Remembered per type so the theme can follow it and a change is announced once, even
    // across launches.
    if (const char *key = colourKeyOf(dataType)) {
        services.defaults.setObject(key, Value(letter));
        services.defaults.synchronize();
    }
    if (analytics)
        analytics->leaveBreadcrumb("UsageVisualView Crash - Value of newProgBarColor is " + letter);
    if (previous != letter && events) {
        ValueDict userInfo;
        userInfo.set("dataType", Value(static_cast<long long>(dataType)));
        events->post(NotificationCenter::kProgressBarMileStoneNotification, userInfo);
    }

    drawIdealMarker(context, bar, ideal);
    drawUsageText(context, bar, usageText);
}

} // namespace byteward
