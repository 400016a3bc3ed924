// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/data_type.h"
#include "model/history.h"
#include "model/text_format.h"
#include "platform/iso8601.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace byteward::cli {

namespace {

nlohmann::ordered_json logJson(const History &log, const Calendar &calendar) {
    auto date = [&](const std::optional<Instant> &d) {
        return d ? nlohmann::ordered_json(formatIso8601(*d, calendar))
                 : nlohmann::ordered_json(nullptr);
    };
    auto amount = [](const std::optional<double> &n) {
        return n ? nlohmann::ordered_json(*n) : nlohmann::ordered_json(nullptr);
    };
    return {{"uniqueId", log.uniqueId},
            {"startDate", date(log.startDate)},
            {"endDate", date(log.endDate)},
            {"dataSent", amount(log.dataSent)},
            {"dataReceived", amount(log.dataReceived)},
            {"dataTotal", amount(log.dataTotal)},
            {"dataType", log.dataType},
            {"historyType", log.historyType}};
}

const char *typeWord(std::int32_t dataType) {
    return dataType == History::kCellular ? "cellular" : dataType == History::kWiFi ? "wifi" : "?";
}

const char *kindWord(std::int32_t historyType) {
    return historyType == History::kBillingCycleLog ? "cycle"
           : historyType == History::kDailyLog      ? "day"
                                                    : "?";
}

Instant parseBound(const std::string &text, const char *option, const Calendar &calendar) {
    if (auto date = parseIso8601(text, calendar)) return *date;
    throw UsageError(format(tr("%s \"%s\" is not an ISO-8601 date or seconds since 1970"), option,
                            text.c_str()));
}

} // namespace

void addHistoryCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand("history", tr("List the history logs (amounts in bytes)"));
    struct Options {
        bool json = false;
        bool cycles = false;
        std::string daily, from, to;
    };
    auto o = std::make_shared<Options>();
    command->add_flag("--json", o->json, tr("Print JSON"));
    auto *cycles =
        command->add_flag("--cycles", o->cycles, tr("Only the billing-cycle logs, in file order"));
    auto *daily = command
                      ->add_option("--daily", o->daily,
                                   tr("Only the daily logs of cellular or wifi, newest first"))
                      ->check(CLI::IsMember({"cellular", "wifi"}));
    auto *from =
        command->add_option("--from", o->from, tr("With --daily: the earliest date (ISO-8601)"))
            ->type_name("DATE");
    auto *to = command->add_option("--to", o->to, tr("With --daily: the latest date (ISO-8601)"))
                   ->type_name("DATE");
    cycles->excludes(daily);
    daily->needs(from)->needs(to);
    from->needs(daily);
    to->needs(daily);
    command->callback([&action, o] {
        action = [o](Context &context) {
            Services &services = context.services();
            const Calendar &calendar = context.calendar();
            std::vector<History> logs;
            if (!o->daily.empty()) {
                logs = History::getDailyHistoryLogsFrom(
                    services, parseBound(o->from, "--from", calendar),
                    parseBound(o->to, "--to", calendar),
                    o->daily == kWiFi ? History::kWiFi : History::kCellular);
            } else if (o->cycles) {
                logs = History::getAllBillingCycleLogs(services);
            } else {
                logs = History::getAllHistoryLogs(services);
            }
            if (o->json) {
                nlohmann::ordered_json out = nlohmann::ordered_json::array();
                for (const auto &log : logs)
                    out.push_back(logJson(log, calendar));
                std::cout << out.dump(2) << '\n';
                return 0;
            }
            std::printf("%-8s %-5s %-25s %-25s %16s %16s %16s  %s\n", tr("TYPE"), tr("KIND"),
                        tr("START"), tr("END"), tr("SENT"), tr("RECEIVED"), tr("TOTAL"), tr("ID"));
            for (const auto &log : logs) {
                auto date = [&](const std::optional<Instant> &d) {
                    return d ? formatIso8601(*d, calendar) : "-";
                };
                std::printf("%-8s %-5s %-25s %-25s %16.0f %16.0f %16.0f  %s\n",
                            typeWord(log.dataType), kindWord(log.historyType),
                            date(log.startDate).c_str(), date(log.endDate).c_str(),
                            log.dataSent.value_or(0), log.dataReceived.value_or(0),
                            log.dataTotal.value_or(0), log.uniqueId.c_str());
            }
            return 0;
        };
    });
}

} // namespace byteward::cli
