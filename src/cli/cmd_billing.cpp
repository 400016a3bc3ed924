// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/app_data.h"
#include "platform/data_lock.h"
#include "platform/iso8601.h"

#include <iostream>
#include <nlohmann/json.hpp>

namespace byteward::cli {

void addBillingCommand(CLI::App &app, Action &action) {
    auto *command =
        app.add_subcommand("billing", tr("Show the current billing period of a data type"));
    auto type = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    command->add_option("type", *type, tr("cellular or wifi"))
        ->required()
        ->check(CLI::IsMember({"cellular", "wifi"}));
    command->add_flag("--json", *json, tr("Print JSON"));
    command->callback([&action, type, json] {
        action = [type, json](Context &context) {
            Services &services = context.services();
            AppData record(services);
            {
                // A custom plan may move its stored start date forward.
                DataLock lock(services.paths.dataDir);
                record.getAppData(*type);
                record.udpateBillingCounter(false);
            }
            const auto &code = record.appSettings->plans[dataTypeFromString(*type)].firstDayOfCycle;
            nlohmann::ordered_json out;
            out["dataType"] = *type;
            out["planCode"] = code ? nlohmann::ordered_json(code->integerValue())
                                   : nlohmann::ordered_json(nullptr);
            auto date = [&](const std::optional<Instant> &d) {
                return d ? nlohmann::ordered_json(formatIso8601(*d, context.calendar()))
                         : nlohmann::ordered_json(nullptr);
            };
            auto days = [](const std::optional<long long> &n) {
                return n ? nlohmann::ordered_json(*n) : nlohmann::ordered_json(nullptr);
            };
            out["lastBillingDate"] = date(record.lastBillingDate);
            out["nextBillingDate"] = date(record.nextBillingDate);
            out["billingDaysTotal"] = days(record.billingDaysTotal);
            out["billingDaysElapsed"] = days(record.billingDaysElapsed);
            if (*json) {
                std::cout << out.dump(2) << '\n';
                return 0;
            }
            for (const auto &[key, value] : out.items())
                std::cout << key << ": "
                          << (value.is_null()     ? std::string(tr("none"))
                              : value.is_string() ? value.get<std::string>()
                                                  : value.dump())
                          << '\n';
            return 0;
        };
    });
}

} // namespace byteward::cli
