// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/custom_counter.h"
#include "model/text_format.h"
#include "platform/data_lock.h"
#include "platform/iso8601.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

namespace byteward::cli {

namespace {

// Built on first use: a map at namespace scope would be built, and could throw, before main.
const std::map<std::string, std::int32_t> &directions() {
    static const std::map<std::string, std::int32_t> words{
        {"sent", 1}, {"received", 2}, {"both", 3}};
    return words;
}

const char *directionWord(std::int32_t direction) {
    for (const auto &[word, code] : directions())
        if (code == direction) return word.c_str();
    return "?";
}

nlohmann::ordered_json counterJson(const CustomCounter &c, const Calendar &calendar) {
    auto date = [&](const std::optional<Instant> &d) {
        return d ? nlohmann::ordered_json(formatIso8601(*d, calendar))
                 : nlohmann::ordered_json(nullptr);
    };
    auto amount = [](const std::optional<double> &n) {
        return n ? nlohmann::ordered_json(*n) : nlohmann::ordered_json(nullptr);
    };
    return {{"uniqueId", c.uniqueId},
            {"name", c.name},
            {"trackCellular", c.trackCellular},
            {"trackWiFi", c.trackWiFi},
            {"startDate", date(c.startDate)},
            {"endDate", date(c.endDate)},
            {"direction", c.direction},
            {"notifyOnEnd", c.notifyOnEnd},
            {"cellularDataSent", amount(c.cellularDataSent)},
            {"cellularDataReceived", amount(c.cellularDataReceived)},
            {"cellularDataTotal", amount(c.cellularDataTotal)},
            {"wifiDataSent", amount(c.wifiDataSent)},
            {"wifiDataReceived", amount(c.wifiDataReceived)},
            {"wifiDataTotal", amount(c.wifiDataTotal)},
            {"isPaused", c.isPaused}};
}

void printCounter(const CustomCounter &c, const Calendar &calendar) {
    auto date = [&](const std::optional<Instant> &d) {
        return d ? formatIso8601(*d, calendar) : std::string(tr("none"));
    };
    auto yesNo = [](bool flag) { return flag ? tr("yes") : tr("no"); };
    std::printf("%s  %s\n", c.uniqueId.c_str(), c.name.c_str());
    std::printf(tr("  tracks cellular: %s  tracks wifi: %s  direction: %s  paused: %s  "
                   "notify on end: %s\n"),
                yesNo(c.trackCellular), yesNo(c.trackWiFi), directionWord(c.direction),
                yesNo(c.isPaused), yesNo(c.notifyOnEnd));
    std::printf(tr("  start: %s  end: %s\n"), date(c.startDate).c_str(), date(c.endDate).c_str());
    std::printf(tr("  cellular  sent %.0f  received %.0f  total %.0f\n"),
                c.cellularDataSent.value_or(0), c.cellularDataReceived.value_or(0),
                c.cellularDataTotal.value_or(0));
    std::printf(tr("  wifi      sent %.0f  received %.0f  total %.0f\n"),
                c.wifiDataSent.value_or(0), c.wifiDataReceived.value_or(0),
                c.wifiDataTotal.value_or(0));
}

int listCounters(Context &context, bool json) {
    const auto counters = CustomCounter::getAllCustomCounters(context.services());
    if (json) {
        nlohmann::ordered_json out = nlohmann::ordered_json::array();
        for (const auto &c : counters)
            out.push_back(counterJson(c, context.calendar()));
        std::cout << out.dump(2) << '\n';
        return 0;
    }
    for (const auto &c : counters)
        printCounter(c, context.calendar());
    return 0;
}

template <typename Counters> auto findCounter(Counters &counters, const std::string &uniqueId) {
    return std::find_if(counters.begin(), counters.end(),
                        [&](const CustomCounter &c) { return c.uniqueId == uniqueId; });
}

// Changes one stored counter in place; an unknown id is a failure.
template <typename Change>
void changeCounter(Services &services, const std::string &uniqueId, Change change) {
    DataLock lock(services.paths.dataDir);
    auto counters = CustomCounter::getAllCustomCounters(services);
    const auto found = findCounter(counters, uniqueId);
    if (found == counters.end())
        throw Failure(format(tr("no custom counter has the id %s"), uniqueId.c_str()));
    change(*found);
    if (const FileResult saved = CustomCounter::saveCustomCounterData(services, counters); !saved)
        throw Failure(format(tr("the custom counter was not saved: %s"), saved.error.c_str()));
}

void addAddCommand(CLI::App &command, Action &action) {
    auto *add = command.add_subcommand("add", tr("Add a custom counter and print its id"));
    struct Options {
        std::string name, direction = "both", end;
        bool cellular = false, wifi = false, notify = false;
    };
    auto o = std::make_shared<Options>();
    add->add_option("name", o->name, tr("The name shown in the lists"))->required();
    add->add_flag("--cellular", o->cellular, tr("Count cellular traffic (with neither: both)"));
    add->add_flag("--wifi", o->wifi, tr("Count Wi-Fi traffic (with neither: both)"));
    add->add_option("--direction", o->direction, tr("The figures shown: sent, received or both"))
        ->check(CLI::IsMember({"sent", "received", "both"}));
    auto *end = add->add_option("--end", o->end, tr("Stop counting at this date (ISO-8601)"))
                    ->type_name("DATE");
    add->add_flag("--notify", o->notify, tr("Announce the end date with a notification"))
        ->needs(end);
    add->callback([&action, o] {
        action = [o](Context &context) {
            Services &services = context.services();
            if (o->name.empty())
                throw UsageError(tr("the name of a custom counter cannot be empty"));
            CustomCounter counter = CustomCounter::initWithName(o->name, services.clock.now());
            if (o->cellular || o->wifi) {
                counter.trackCellular = o->cellular;
                counter.trackWiFi = o->wifi;
            }
            counter.direction = directions().at(o->direction);
            if (!o->end.empty()) {
                counter.endDate = parseIso8601(o->end, context.calendar());
                if (!counter.endDate)
                    throw UsageError(
                        format(tr("%s \"%s\" is not an ISO-8601 date or seconds since 1970"),
                               "--end", o->end.c_str()));
            }
            counter.notifyOnEnd = o->notify;
            if (const FileResult added = CustomCounter::addCustomCounter(services, counter); !added)
                throw Failure(
                    format(tr("the custom counter was not saved: %s"), added.error.c_str()));
            std::cout << counter.uniqueId << '\n';
            return 0;
        };
    });
}

void addRemoveCommand(CLI::App &command, Action &action) {
    auto *remove =
        command.add_subcommand("remove", tr("Delete a custom counter and its end alert"));
    auto id = std::make_shared<std::string>();
    remove->add_option("id", *id, tr("The counter's id"))->required();
    remove->callback([&action, id] {
        action = [id](Context &context) {
            Services &services = context.services();
            DataLock lock(services.paths.dataDir);
            const auto counters = CustomCounter::getAllCustomCounters(services);
            const auto found = findCounter(counters, *id);
            if (found == counters.end())
                throw Failure(format(tr("no custom counter has the id %s"), id->c_str()));
            // The stored counter, so its end alert is cancelled as well.
            if (const FileResult removed = CustomCounter::removeCustomCounter(services, *found);
                !removed)
                throw Failure(
                    format(tr("the custom counter was not removed: %s"), removed.error.c_str()));
            return 0;
        };
    });
}

// pause, resume and reset: one change to one counter named by its id.
void addChangeCommand(CLI::App &command, Action &action, const char *name, const char *help,
                      void (*change)(CustomCounter &)) {
    auto *sub = command.add_subcommand(name, help);
    auto id = std::make_shared<std::string>();
    sub->add_option("id", *id, tr("The counter's id"))->required();
    sub->callback([&action, id, change] {
        action = [id, change](Context &context) {
            changeCounter(context.services(), *id, change);
            return 0;
        };
    });
}

void addMoveCommand(CLI::App &command, Action &action) {
    auto *move = command.add_subcommand("move", tr("Move a counter to another place in the list"));
    struct Options {
        std::size_t from = 0, to = 0;
    };
    auto o = std::make_shared<Options>();
    move->add_option("from", o->from, tr("The counter's index now, from 0"))->required();
    move->add_option("to", o->to, tr("Its index afterwards"))->required();
    move->callback([&action, o] {
        action = [o](Context &context) {
            Services &services = context.services();
            DataLock lock(services.paths.dataDir);
            const std::size_t count = CustomCounter::getAllCustomCounters(services).size();
            if (o->from >= count || o->to >= count)
                throw UsageError(format(
                    tr("FROM and TO must be below %zu, the number of custom counters"), count));
            if (const FileResult moved =
                    CustomCounter::reorderCustomCounterFromIndex(services, o->from, o->to);
                !moved)
                throw Failure(format(tr("the custom counters' order was not saved: %s"),
                                     moved.error.c_str()));
            return 0;
        };
    });
}

} // namespace

void addCountersCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "counters", tr("List and change the custom counters (amounts in bytes)"));
    auto json = std::make_shared<bool>(false);
    command->add_flag("--json", *json, tr("Print the list as JSON"));
    addAddCommand(*command, action);
    addRemoveCommand(*command, action);
    addChangeCommand(*command, action, "pause", tr("Stop a counter counting"),
                     [](CustomCounter &c) { c.isPaused = true; });
    addChangeCommand(*command, action, "resume",
                     tr("Let a paused counter count again (one past its end is paused again by the "
                        "next update)"),
                     [](CustomCounter &c) { c.isPaused = false; });
    addChangeCommand(*command, action, "reset", tr("Set a counter's amounts back to 0"),
                     [](CustomCounter &c) {
                         c.resetCellular();
                         c.resetWiFi();
                     });
    addMoveCommand(*command, action);
    // Runs after a chosen subcommand's callback; only the bare command lists.
    command->callback([&action, json, command] {
        if (!command->get_subcommands().empty()) return;
        action = [json](Context &context) { return listCounters(context, *json); };
    });
}

} // namespace byteward::cli
