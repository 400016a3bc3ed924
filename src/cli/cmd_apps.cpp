// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/app_usage.h"
#include "model/update_cycle.h"
#include "platform/iso8601.h"
#include "screens/dashboard/apps_view_controller.h"

#include <algorithm>
#include <iostream>

namespace byteward::cli {

namespace {

using Json = nlohmann::ordered_json;

// Characters, not bytes: application names are often not ASCII.
std::size_t width(const std::string &text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

} // namespace

void addAppsCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "apps", tr("Show which applications used the data (amounts in bytes with --json)"));
    struct Options {
        std::string type = "cellular";
        bool period = false;
        bool today = false;
        bool json = false;
        bool noUpdate = false;
    };
    auto o = std::make_shared<Options>();
    command->add_option("type", o->type, tr("cellular or wifi (cellular when left out)"))
        ->check(CLI::IsMember({"cellular", "wifi"}));
    auto *period = command->add_flag("--period", o->period,
                                     tr("The billing period in progress (the default)"));
    auto *today = command->add_flag("--today", o->today, tr("Today only"));
    period->excludes(today);
    command->add_flag("--json", o->json, tr("Print JSON"));
    command->add_flag("--no-update", o->noUpdate,
                      tr("Read the stored figures without taking a sample"));
    command->callback([&action, o] {
        action = [o](Context &context) {
            Services &services = context.services();
            if (!o->noUpdate) {
                UpdateCycle cycle(services);
                // A failed sample still leaves the stored figures to show; the update says why.
                if (const FileResult updated = cycle.backgroundUpdate("", false); !updated)
                    context.log().line("apps: " + updated.error);
                deliverDueNotifications(context);
            }
            const DataType type = o->type == "wifi" ? DataType::WiFi : DataType::Cellular;
            AppData record(services);
            record.getAppData(dataTypeName(type));
            const double figure = std::max(0.0, o->today ? record.dataToday.value_or(0)
                                                         : record.dataThisMonth.value_or(0));
            std::string counterError;
            const bool running = readOwnAppStats(&counterError).has_value();
            std::string storeError;
            const AppUsage usage = AppUsage::load(services, &storeError);
            if (!storeError.empty()) context.log().line("apps: " + storeError);
            const AppUsageReport report =
                appUsageReport(usage, type, o->today, figure, running,
                               running ? std::string() : appsCounterHint());
            const AppUsage::TypeState &state = usage.types[type];
            const auto start = o->today ? state.dayStart : record.lastBillingDate;

            if (o->json) {
                Json apps = Json::array();
                for (const AppUsageRow &row : report.rows)
                    apps.push_back({{"key", row.key},
                                    {"name", row.name},
                                    {"icon", row.icon},
                                    {"received", row.traffic.received},
                                    {"sent", row.traffic.sent},
                                    {"total", row.traffic.total()}});
                const Json out = {
                    {"dataType", dataTypeName(type)},
                    {"span", o->today ? "today" : "period"},
                    {"start", start ? Json(formatIso8601(*start, services.calendar)) : Json()},
                    {"counterRunning", report.counterRunning},
                    {"counterNote", report.counterNote},
                    {"apps", apps},
                    {"attributed", report.attributed},
                    {"notAttributed", report.notAttributed},
                    {"dashboard", report.dashboard}};
                std::cout << out.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
                return 0;
            }

            const std::string unit = appsDisplayUnit(services);
            auto amount = [&unit](double bytes) { return appsAmountText(bytes, unit); };
            std::cout << (type == DataType::WiFi ? tr("Wi-Fi") : tr("Cellular")) << ", "
                      << (o->today ? tr("today") : tr("this period")) << '\n';
            if (!report.counterRunning) std::cout << report.counterNote << '\n';
            std::vector<std::pair<std::string, std::string>> lines;
            for (const AppUsageRow &row : report.rows)
                lines.emplace_back(row.name, amount(row.traffic.total()));
            if (report.notAttributed > 0)
                lines.emplace_back(tr("Not attributed"), amount(report.notAttributed));
            std::size_t column = 12;
            for (const auto &line : lines)
                column = std::max(column, width(line.first));
            for (const auto &[name, text] : lines)
                std::cout << "  " << name << std::string(column + 2 - width(name), ' ') << text
                          << '\n';
            if (lines.empty()) std::cout << "  " << tr("No application used data yet.") << '\n';
            return 0;
        };
    });
}

} // namespace byteward::cli
