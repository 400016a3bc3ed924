// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/dashboard/app_days_view_controller.h"

#include "model/app_usage.h"
#include "platform/i18n.h"
#include "screens/dashboard/apps_view_controller.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/string_formatter.h"
#include "screens/kit/table_cell.h"
#include "screens/kit/theme.h"

#include <algorithm>

namespace byteward {

void AppDaysViewController::viewWillAppear() {
    const std::string unit = appsDisplayUnit(services_);
    std::string storeError;
    const AppUsage usage = AppUsage::load(services_, &storeError);
    if (!storeError.empty()) services_.log.line("AppDaysView: " + storeError);
    auto days = usage.daysOf(type_, key_);
    double busiest = 0;
    for (const auto &day : days)
        busiest = std::max(busiest, day.second.total());
    const StringFormatter dates(services_.calendar);
    rows_.clear();
    for (auto day = days.rbegin(); day != days.rend(); ++day) {
        const double bytes = day->second.total();
        rows_.push_back({dates.getLocalizedDayShortDateFromDate(day->first),
                         appsAmountText(bytes, unit),
                         busiest > 0 ? std::clamp(bytes / busiest, 0.0, 1.0) : 0});
    }
}

ValueDict AppDaysViewController::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(name_));
    out.set("lblBack", labelValue(tr("Apps")));
    out.set("lblEmpty", labelValue(tr("No days recorded yet."), !rows_.empty()));
    return out;
}

ValueArray AppDaysViewController::sections() const {
    ValueArray rows;
    for (const Row &row : rows_) {
        TableCell cell;
        cell.reuseIdentifier = "AppDayCell";
        cell.style = "value1";
        cell.title = row.day;
        cell.detail = row.amount;
        cell.height = 48;
        Value value = cell.toValue();
        value.asDict()->set("fraction", Value(row.fraction));
        rows.push_back(std::move(value));
    }
    ValueDict section;
    section.set("title", Value(""));
    section.set("rows", Value(std::move(rows)));
    return {Value(std::move(section))};
}

ValueDict AppDaysViewController::values() const {
    ValueDict out;
    out.set("theme", Value(screenThemeValues()));
    UserDefaults &defaults = services_.defaults;
    out.set("progressColor", Value(toHex(type_ == DataType::WiFi
                                             ? BytewardColors::wifiProgressColor(defaults)
                                             : BytewardColors::cellularProgressColor(defaults))));
    return out;
}

bool AppDaysViewController::perform(const std::string &action, const Value &) {
    if (action != "viewWillAppear") return false;
    viewWillAppear();
    return true;
}

} // namespace byteward
