// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/dashboard/apps_view_controller.h"

#include "model/app_data.h"
#include "model/app_settings.h"
#include "model/app_usage.h"
#include "model/data_formatter.h"
#include "model/text_format.h"
#include "platform/app_stats.h"
#include "platform/i18n.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/table_cell.h"
#include "screens/kit/theme.h"

#include <algorithm>

namespace byteward {

namespace {

const char *kindName(AppsViewController::Kind kind) {
    switch (kind) {
    case AppsViewController::Kind::App:
        return "app";
    case AppsViewController::Kind::System:
        return "system";
    case AppsViewController::Kind::NotAttributed:
        return "notAttributed";
    }
    return "app";
}

} // namespace

std::string appsDisplayUnit(Services &services) {
    AppSettings settings(services);
    settings.getSettings();
    const std::string unit = AppSettings::text(settings.displayUnit);
    return unit.empty() ? "MB" : unit;
}

std::string appsAmountText(double bytes, const std::string &unit) {
    return format("%.2f %s",
                  static_cast<double>(DataFormatter::converToDataUnitFromBytes(bytes, unit)),
                  unit.c_str());
}

AppsViewController::AppsViewController(Services &services, Navigator *navigator, DataType type)
    : counterRunning([] { return readOwnAppStats().has_value(); }), services_(services),
      navigator_(navigator), type_(type) {}

void AppsViewController::viewWillAppear() {
    const std::string unit = appsDisplayUnit(services_);
    AppData record(services_);
    record.getAppData(dataTypeName(type_));
    const double figure =
        std::max(0.0, today ? record.dataToday.value_or(0) : record.dataThisMonth.value_or(0));
    std::string storeError;
    const AppUsage usage = AppUsage::load(services_, &storeError);
    if (!storeError.empty()) services_.log.line("AppsView: " + storeError);
    const bool running = counterRunning && counterRunning();
    note_ = running ? std::string() : appsCounterHint();
    const AppUsageReport report = appUsageReport(usage, type_, today, figure, running, note_);

    // Applications first and the rest of the system after them, whatever their sizes.
    rows_.clear();
    std::vector<double> bytes;
    auto add = [&](Kind kind, const AppUsageRow &app, double total) {
        Row row;
        row.kind = kind;
        row.key = app.key;
        row.name = app.name;
        row.icon = app.icon;
        row.amount = appsAmountText(total, unit);
        rows_.push_back(std::move(row));
        bytes.push_back(total);
    };
    for (const AppUsageRow &app : report.rows)
        if (app.key != AppUsage::kSystemKey) add(Kind::App, app, app.traffic.total());
    for (const AppUsageRow &app : report.rows)
        if (app.key == AppUsage::kSystemKey) add(Kind::System, app, app.traffic.total());
    if (report.notAttributed > 0) {
        AppUsageRow rest;
        rest.name = tr("Not attributed");
        add(Kind::NotAttributed, rest, report.notAttributed);
    }
    const double largest = bytes.empty() ? 0 : *std::max_element(bytes.begin(), bytes.end());
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i].fraction = largest > 0 ? std::clamp(bytes[i] / largest, 0.0, 1.0) : 0;
}

bool AppsViewController::didSelectRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return false;
    const Row &selected = rows_[static_cast<std::size_t>(row)];
    if (selected.kind == Kind::NotAttributed) return false;
    auto days =
        std::make_unique<AppDaysViewController>(services_, type_, selected.key, selected.name);
    days->viewWillAppear();
    previousDays_ = std::move(days_);
    days_ = std::move(days);
    if (navigator_ != nullptr) navigator_->push(AppDaysViewController::kPageName, *days_);
    return true;
}

ValueDict AppsViewController::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(tr("Apps")));
    out.set("lblBack", labelValue(type_ == DataType::WiFi ? tr("Wi-Fi") : tr("Cellular")));
    out.set("lblNote", labelValue(note_, note_.empty()));
    out.set("lblEmpty", labelValue(tr("No application used data yet."), !rows_.empty()));
    return out;
}

ValueArray AppsViewController::sections() const {
    ValueArray rows;
    for (const Row &row : rows_) {
        TableCell cell;
        cell.reuseIdentifier = "AppCell";
        cell.style = "value1";
        cell.title = row.name;
        cell.detail = row.amount;
        cell.height = 56;
        cell.accessory = row.kind == Kind::NotAttributed ? "" : "disclosureIndicator";
        Value value = cell.toValue();
        value.asDict()->set("image", Value(row.icon));
        value.asDict()->set("key", Value(row.key));
        value.asDict()->set("kind", Value(kindName(row.kind)));
        value.asDict()->set("fraction", Value(row.fraction));
        rows.push_back(std::move(value));
    }
    ValueDict section;
    section.set("title", Value(today ? tr("Today") : tr("This Period")));
    section.set("rows", Value(std::move(rows)));
    return {Value(std::move(section))};
}

ValueDict AppsViewController::values() const {
    ValueDict out;
    out.set("theme", Value(screenThemeValues()));
    UserDefaults &defaults = services_.defaults;
    out.set("progressColor", Value(toHex(type_ == DataType::WiFi
                                             ? BytewardColors::wifiProgressColor(defaults)
                                             : BytewardColors::cellularProgressColor(defaults))));
    out.set("spans", Value(ValueArray{Value(tr("Today")), Value(tr("This Period"))}));
    out.set("today", Value(today));
    return out;
}

bool AppsViewController::perform(const std::string &action, const Value &argument) {
    if (action == "viewWillAppear") {
        viewWillAppear();
    } else if (action == "select") {
        return didSelectRow(argumentInt(argument, "row"));
    } else if (action == "setSpan") {
        today = argumentBool(argument, "today");
        viewWillAppear();
    } else {
        return false;
    }
    return true;
}

} // namespace byteward
