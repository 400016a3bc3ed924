// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The arithmetic of a period against its plan: the ideal pace, the projection and the badge
// figure, and the values the home-screen widget shows.
#include "model/text_format.h"
#include "model/update_cycle.h"
#include "platform/i18n.h"

#include <cmath>
#include <utility>

namespace byteward {

PeriodFigures UpdateCycle::periodFigures(const AppData &record,
                                         std::optional<float> dataLimit) const {
    PeriodFigures f;
    f.used = units_.converToDataUnitFromBytes(record.dataThisMonth);
    f.usedText = format("%.2f", static_cast<double>(f.used));
    if (!dataLimit || !(*dataLimit > 0)) return f;

    const std::string unit = AppSettings::text(settings_.displayUnit);
    f.limited = true;
    f.limit = *dataLimit;
    f.elapsed = elapsedDays(record);
    f.cycleDays = static_cast<float>(record.billingDaysTotal.value_or(0));
    f.ideal = f.elapsed / f.cycleDays * f.limit;
    f.usedPercent = f.used / f.limit * 100.0f;
    f.idealPercent = f.ideal / f.limit * 100.0f;
    f.remainingPercent = (f.limit - f.used) / f.limit * 100.0f;
    f.daysLeft = f.cycleDays - f.elapsed;
    f.remaining = f.limit - f.used;
    if (f.elapsed > 0 && f.used / f.elapsed > 0) {
        f.dailyRate = f.used / f.elapsed;
        f.daysToQuota = f.limit / f.dailyRate;
        f.projected = f.dailyRate * f.cycleDays;
    }
    f.projectedPercent = f.projected / f.limit * 100.0f;
    f.usageText = format("%.1f%s", static_cast<double>(f.usedPercent), "%");
    f.availableText = format(tr("OF %.1f %s USED"), static_cast<double>(f.limit), unit.c_str());
    return f;
}

void UpdateCycle::publishPeriod(const AppData &record, const PeriodFigures &f) {
    const bool isCellular = record.appDataType == kCellular;
    const std::string badgeSetting = AppSettings::text(settings_.appBadgeSetting);
    const std::string prefix = isCellular ? "CELL" : "WIFI";
    // The used amount goes on the badge whether or not the plan has a limit.
    if (badgeSetting == prefix + "QUOTA") appBadgeNumber = f.used;
    if (!f.limited) {
        if (isPercentBadgeSetting(badgeSetting, isCellular)) appBadgeNumber.reset();
    } else if (badgeSetting == prefix + "PERCENT") {
        appBadgeNumber = f.usedPercent;
    } else if (badgeSetting == prefix + "_REM_PERCENT") {
        appBadgeNumber = f.remainingPercent;
    } else if (badgeSetting == prefix + "_PROJ_PERCENT") {
        appBadgeNumber = f.projectedPercent;
    }

    // The widget shows the cellular plan.
    UserDefaults &widget = services_.widgetDefaults;
    widget.setObject("WidgetEnabled", Value(true));
    if (isCellular) {
        widget.setObject("lblMonthlyUsage", Value(f.usedText));
        if (f.limited) {
            widget.setObject("lblAvailable", Value(f.availableText));
            widget.setObject("currentUsagePercent", Value(static_cast<double>(f.usedPercent)));
            widget.setObject("idealUsagePercent", Value(static_cast<double>(f.idealPercent)));
            widget.setObject("usageText", Value(f.usageText));
            // The settings' values as they are: a threshold the settings no longer hold must not
            // live on in the widget.
            for (const auto &[key, value] : {std::pair{"progressYellow", &settings_.progressYellow},
                                             {"progressRed", &settings_.progressRed}}) {
                if (*value)
                    widget.setObject(key, **value);
                else
                    widget.removeObjectForKey(key);
            }
            services_.log.line(format("Current:%g", static_cast<double>(f.usedPercent)));
            services_.log.line(format("Ideal:%g", static_cast<double>(f.idealPercent)));
            services_.log.line("usageText:" + f.usageText);
        }
    }
    widget.synchronize();
}

FileResult UpdateCycle::sample() {
    FileResult updated = backgroundUpdate("", false);
    publishFigures();
    return updated;
}

void UpdateCycle::publishFigures() {
    for (const DataType type : kDataTypes) {
        const AppData &each = records_[type];
        // A record without its billing dates has no period to show yet.
        if (each.nextBillingDate && each.lastBillingDate)
            publishPeriod(each, periodFigures(each, planLimit(type)));
    }
}

} // namespace byteward
