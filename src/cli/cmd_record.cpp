// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/app_data.h"
#include "platform/data_lock.h"
#include "platform/iso8601.h"

#include <iostream>
#include <nlohmann/json.hpp>

namespace byteward::cli {

namespace {

// The record's fields under their property names; absent fields are left out.
nlohmann::ordered_json valueJson(const Value &value, const Calendar &calendar) {
    if (const Instant *date = value.asDate()) return formatIso8601(*date, calendar);
    if (value.isBool()) return value.boolValue();
    if (value.isInteger()) return value.integerValue();
    if (value.isReal()) return value.doubleValue();
    if (const ValueArray *items = value.asArray()) {
        auto out = nlohmann::ordered_json::array();
        for (const auto &item : *items)
            out.push_back(valueJson(item, calendar));
        return out;
    }
    if (const ValueDict *entries = value.asDict()) {
        nlohmann::ordered_json out = nlohmann::ordered_json::object();
        for (const auto &[key, item] : *entries)
            out[key] = valueJson(item, calendar);
        return out;
    }
    return value.stringValue();
}

nlohmann::ordered_json recordJson(const AppData &record, const Calendar &calendar) {
    nlohmann::ordered_json out;
    out["appDataType"] = record.appDataType;
    for (const auto &[key, value] : record.toDictionary())
        out[key] = valueJson(value, calendar);
    return out;
}

} // namespace

void addRecordCommand(CLI::App &app, Action &action) {
    auto *command =
        app.add_subcommand("record", tr("Show the usage record of a data type as it is stored"));
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
                // Loading may set an unreadable file aside; do that under the lock.
                DataLock lock(services.paths.dataDir);
                record.getAppData(*type);
            }
            const auto out = recordJson(record, context.calendar());
            printObject(out, *json);
            return 0;
        };
    });
}

} // namespace byteward::cli
