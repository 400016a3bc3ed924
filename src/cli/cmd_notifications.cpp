// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "cli/value_text.h"
#include "platform/iso8601.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace byteward::cli {

namespace {

std::optional<std::string> uniqueIdOf(const LocalNotification &n) {
    if (const Value *id = n.userInfo.find("UniqueId")) return id->stringValue();
    return std::nullopt;
}

nlohmann::ordered_json notificationJson(const LocalNotification &n, const Calendar &calendar) {
    const auto uniqueId = uniqueIdOf(n);
    return {{"identifier", n.identifier},
            {"fireDate", formatIso8601(n.fireDate, calendar)},
            {"timeZone", n.timeZone},
            {"repeatInterval", repeatWord(n.repeatInterval)},
            {"alertBody", n.alertBody},
            {"alertAction", n.alertAction},
            {"soundDefault", n.soundDefault},
            {"badgeNumber",
             n.badgeNumber ? nlohmann::ordered_json(*n.badgeNumber) : nlohmann::ordered_json()},
            {"uniqueId", uniqueId ? nlohmann::ordered_json(*uniqueId) : nlohmann::ordered_json()},
            {"userInfo", nlohmann::ordered_json(toJson(Value(n.userInfo), calendar))}};
}

// One line per notification in the tables: control characters would break the columns.
std::string oneLine(const std::string &text) {
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\\n") : c == '\t' ? std::string(" ") : std::string(1, c);
    return out;
}

std::string badgeText(const LocalNotification &n) {
    return n.badgeNumber ? std::to_string(*n.badgeNumber) : "-";
}

void printScheduled(const std::vector<LocalNotification> &scheduled, const Calendar &calendar) {
    std::printf("%s\n", tr("Scheduled:"));
    if (scheduled.empty()) std::printf("  %s\n", tr("none"));
    for (const auto &n : scheduled)
        std::printf(tr("  %-25s repeat %-5s badge %-5s action %-10s id %s\n    %s\n"),
                    formatIso8601(n.fireDate, calendar).c_str(), repeatWord(n.repeatInterval),
                    badgeText(n).c_str(), n.alertAction.empty() ? "-" : n.alertAction.c_str(),
                    uniqueIdOf(n).value_or("-").c_str(),
                    n.alertBody.empty() ? tr("(badge only)") : oneLine(n.alertBody).c_str());
}

void printDelivered(const std::vector<DeliveredNotification> &delivered, const Calendar &calendar) {
    std::printf("%s\n", tr("Delivered:"));
    if (delivered.empty()) std::printf("  %s\n", tr("none"));
    for (const auto &d : delivered)
        std::printf(tr("  %-25s %-9s badge %-5s %s\n"),
                    formatIso8601(d.deliveredAt, calendar).c_str(),
                    d.shown ? tr("shown") : tr("not shown"), badgeText(d.notification).c_str(),
                    d.notification.alertBody.empty() ? tr("(badge only)")
                                                     : oneLine(d.notification.alertBody).c_str());
}

} // namespace

void addNotificationsCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "notifications",
        tr("List the scheduled notifications, then those delivered, oldest first"));
    auto json = std::make_shared<bool>(false);
    command->add_flag("--json", *json, tr("Print JSON"));
    command->callback([&action, json] {
        action = [json](Context &context) {
            NotificationSchedule &center = context.services().notifications;
            const Calendar &calendar = context.calendar();
            const auto scheduled = center.scheduledLocalNotifications();
            const auto delivered = center.deliveredNotifications();
            if (*json) {
                nlohmann::ordered_json out{{"scheduled", nlohmann::ordered_json::array()},
                                           {"delivered", nlohmann::ordered_json::array()}};
                for (const auto &n : scheduled)
                    out["scheduled"].push_back(notificationJson(n, calendar));
                for (const auto &d : delivered) {
                    nlohmann::ordered_json item{
                        {"deliveredAt", formatIso8601(d.deliveredAt, calendar)},
                        {"shown", d.shown}};
                    item["notification"] = notificationJson(d.notification, calendar);
                    out["delivered"].push_back(std::move(item));
                }
                std::cout << out.dump(2) << '\n';
                return 0;
            }
            printScheduled(scheduled, calendar);
            printDelivered(delivered, calendar);
            return 0;
        };
    });
}

} // namespace byteward::cli
