// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/dashboard/dashboard_screen.h"

#include "platform/i18n.h"
#include "screens/kit/theme.h"

namespace byteward {

namespace {

void addCycleLabels(ValueDict &out, const CycleLabels &l, const std::string &suffix) {
    const std::pair<const char *, const Label *> labels[] = {
        {"lblMonthlyUsage", &l.lblMonthlyUsage},
        {"lblMonthlyUsageSent", &l.lblMonthlyUsageSent},
        {"lblMonthlyUsageRecd", &l.lblMonthlyUsageRecd},
        {"lblCurrentPeriod", &l.lblCurrentPeriod},
        {"lblDays", &l.lblDays},
        {"lblNextBillingDate", &l.lblNextBillingDate},
        {"lblAvailable", &l.lblAvailable},
        {"lblIdealUsage", &l.lblIdealUsage},
        {"lblIdealActualDiff", &l.lblIdealActualDiff},
        {"lblDailySuggested", &l.lblDailySuggested},
        {"lblQuotaOverDate", &l.lblQuotaOverDate},
        {"lblProjected", &l.lblProjected},
        {"lblRemainingUsage", &l.lblRemainingUsage},
    };
    for (const auto &[name, label] : labels)
        out.set(name + suffix, labelValue(label->text, label->hidden));
    out.set("statusImage" + suffix, labelValue(l.statusImage));
}

Value barValue(const UsageVisualView &bar) {
    ValueDict d;
    d.set("currentUsagePercent", Value(static_cast<double>(bar.currentUsagePercent.value_or(0))));
    d.set("idealUsagePercent", Value(static_cast<double>(bar.idealUsagePercent.value_or(0))));
    d.set("usageText", Value(bar.usageText));
    d.set("diffText", Value(bar.diffText));
    d.set("dataType", Value(bar.dataType));
    return Value(std::move(d));
}

} // namespace

ValueDict DashboardScreen::labels() const {
    ValueDict out;
    addCycleLabels(out, controller_.cellular, "");
    addCycleLabels(out, controller_.wifi, "Wifi");
    const std::pair<const char *, const Label *> plain[] = {
        {"lblTitle", &controller_.lblTitle},
        {"lblPlaceUsed", &controller_.lblPlaceUsed},
        {"lblLastUpdateDate", &controller_.lblLastUpdateDate},
        {"lblUsedToday", &controller_.lblUsedToday},
        {"lblSinceLastRun", &controller_.lblSinceLastRun},
        {"lblToday", &controller_.lblToday},
        {"lblAllTime", &controller_.lblAllTime},
        {"lblSinceLastBoot", &controller_.lblSinceLastBoot},
    };
    for (const auto &[name, label] : plain)
        out.set(name, labelValue(label->text, label->hidden));
    return out;
}

ValueArray DashboardScreen::sections() const {
    ValueArray rows;
    auto add = [&rows](const std::string &title, const std::string &value) {
        ValueDict row;
        row.set("title", Value(title));
        row.set("value", Value(value));
        rows.emplace_back(std::move(row));
    };
    for (const auto &[title, value] : controller_.detailRows())
        add(title, value);
    for (const auto &[title, value] : controller_.extraDetailRows())
        add(title, value);
    ValueDict section;
    section.set("title", Value(""));
    section.set("rows", Value(std::move(rows)));
    return {Value(std::move(section))};
}

ValueDict DashboardScreen::values() const {
    ValueDict out;
    out.set("isCellularMode", Value(controller_.isCellularMode));
    ValueArray notices;
    for (const auto &[title, text] : controller_.notices()) {
        std::string line = title;
        line.append(": ").append(text);
        notices.emplace_back(std::move(line));
    }
    out.set("notices", Value(std::move(notices)));
    out.set("visualView", barValue(controller_.visualView));
    out.set("visualViewWifi", barValue(controller_.visualViewWifi));
    UserDefaults &defaults = services_.defaults;
    out.set("cellularProgressColor", Value(toHex(BytewardColors::cellularProgressColor(defaults))));
    out.set("wifiProgressColor", Value(toHex(BytewardColors::wifiProgressColor(defaults))));
    out.set("tint",
            Value(toHex(dashboardTint(controller_.isCellularMode, std::nullopt, defaults))));
    // Below the details table, apart from its rows: it opens a screen rather than showing a figure.
    out.set("appsRowTitle", Value(tr("Apps")));
    return out;
}

void DashboardScreen::showApps() {
    if (navigator == nullptr) return;
    auto apps = std::make_unique<AppsViewController>(
        services_, navigator, controller_.isCellularMode ? DataType::Cellular : DataType::WiFi);
    apps->viewWillAppear();
    previousApps_ = std::move(apps_);
    apps_ = std::move(apps);
    navigator->push(AppsViewController::kPageName, *apps_);
}

bool DashboardScreen::perform(const std::string &action, const Value &argument) {
    if (action == "render") {
        if (sampleOnRender)
            controller_.renderView();
        else
            controller_.repaintView(controller_.isCellularMode);
    } else if (action == "showApps") {
        showApps();
        return true;
    } else if (action == "repaint") {
        controller_.repaintView(argument.isBool() ? argument.boolValue()
                                                  : controller_.isCellularMode);
    } else {
        return false;
    }
    if (onChanged) onChanged();
    return true;
}

} // namespace byteward
