// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A test-only program that writes Byteward's stores through the product's own store code, one
// numbered operation after another, so a harness can kill it at any moment and check what it
// left behind.
//
//   store_writer write KIND W  run operations W+1, W+2, ... on a store holding operation W's
//                              result, printing each number once the operation returned
//   store_writer check KIND    load the store and print the number of the last operation whose
//                              result it holds (-1: an emptied store, which several numbers
//                              leave); exit 1 when it does not load or holds a mix
//
// KIND: record, defaults, history, counters, schedule. The state after operation w is a fixed
// function of w, so "old or new, never a mix" can be checked exactly.
#include "lifecycle/platform_services.h"
#include "model/app_data.h"
#include "model/custom_counter.h"
#include "model/history.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using namespace byteward;

namespace {

// A write that fails ends the run: the crash test needs every write it counts on.
void must(const byteward::FileResult &result) {
    if (result) return;
    std::cerr << "store_writer: " << result.error << '\n';
    std::exit(1);
}

constexpr std::size_t kHistoryWindow = 20;  // every 20th history operation clears the archive
constexpr std::size_t kScheduleWindow = 10; // likewise for the notification schedule
constexpr std::size_t kProbeLength = 64;    // values in the defaults probe array
constexpr int kCounters = 3;
const char *const kProbeKey = "crashProbe";

// Thrown by a check that finds something other than a whole generation.
struct Mixed {
    std::string what;
};

// ------------------------------------------------------------------ usage record

void writeRecord(Services &s, long long w) {
    AppData record(s);
    record.getAppData("cellular");
    const double v = static_cast<double>(w);
    record.dataAllTime = 3 * v;
    record.dataAllTimeSent = v;
    record.dataAllTimeRecd = 2 * v;
    record.dataThisMonth = 6 * v;
    record.dataThisMonthSent = 2 * v;
    record.dataThisMonthRecd = 4 * v;
    record.dataSinceLastBoot = 9 * v;
    record.dataToday = 12 * v;
    record.lastLocation = "generation " + std::to_string(w);
    must(record.saveAppData());
}

long long checkRecord(Services &s) {
    AppData record(s);
    if (!std::filesystem::exists(record.dataFilePath())) return 0;
    record.getAppData("cellular");
    const double v = record.dataAllTimeSent.value_or(-1);
    const bool whole = v > 0 && record.dataAllTime == 3 * v && record.dataAllTimeRecd == 2 * v &&
                       record.dataThisMonth == 6 * v && record.dataThisMonthSent == 2 * v &&
                       record.dataThisMonthRecd == 4 * v && record.dataSinceLastBoot == 9 * v &&
                       record.dataToday == 12 * v &&
                       record.lastLocation == "generation " + std::to_string(std::llround(v));
    if (!whole) throw Mixed{"usage record fields disagree"};
    return std::llround(v);
}

// ------------------------------------------------------------------ user defaults

void writeDefaults(Services &s, long long w) {
    s.defaults.setObject(kProbeKey,
                         Value(ValueArray(kProbeLength, Value(static_cast<std::int64_t>(w)))));
    s.defaults.synchronize();
}

long long checkDefaults(Services &s) {
    const auto probe = s.defaults.objectForKey(kProbeKey);
    if (!probe) return 0;
    const ValueArray *items = probe->asArray();
    if (items == nullptr || items->size() != kProbeLength) throw Mixed{"defaults probe damaged"};
    const Value &first = (*items)[0];
    for (const auto &item : *items)
        if (!item.isInteger() || !(item == first)) throw Mixed{"defaults probe values disagree"};
    return first.integerValue();
}

// ------------------------------------------------------------------ history archive

void writeHistory(Services &s, long long w) {
    if (w % kHistoryWindow == 0) {
        must(History::clearHistory(s));
        return;
    }
    const double v = static_cast<double>(w);
    must(History::addNewHistoryItemLog(
        s, History::initWithStartDate(s.clock.now(), s.clock.now(), v, 2 * v, 3 * v,
                                      History::kCellular, History::kDailyLog)));
}

// The history after operation w holds the logs of the operations since the last clearing.
long long checkHistory(Services &s) {
    const auto logs = History::getAllHistoryLogs(s);
    if (logs.empty()) return -1; // cleared (or never written): any multiple of the window
    const long long first = std::llround(logs.front().dataSent.value_or(-1));
    if (first < 1 || first % kHistoryWindow != 1) throw Mixed{"history does not start a window"};
    for (std::size_t i = 0; i < logs.size(); ++i) {
        const double v = static_cast<double>(first) + static_cast<double>(i);
        if (logs[i].dataSent != v || logs[i].dataReceived != 2 * v || logs[i].dataTotal != 3 * v)
            throw Mixed{"history log " + std::to_string(i) + " out of sequence"};
    }
    return first + static_cast<long long>(logs.size()) - 1;
}

// ------------------------------------------------------------------ custom counter archive

void writeCounters(Services &s, long long w) {
    if (w == 1) {
        std::vector<CustomCounter> counters;
        for (int i = 0; i < kCounters; ++i)
            counters.push_back(
                CustomCounter::initWithName("probe " + std::to_string(i), s.clock.now()));
        must(CustomCounter::saveCustomCounterData(s, counters));
        return;
    }
    // The update cycle's own path: every counter gets one byte sent and two received.
    must(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 1, 2, "cellular"));
}

long long checkCounters(Services &s) {
    const auto counters = CustomCounter::getAllCustomCounters(s);
    if (counters.empty()) return 0;
    if (counters.size() != kCounters) throw Mixed{"counter list damaged"};
    const double sent = counters[0].cellularDataSent.value_or(0);
    for (const auto &c : counters)
        if (c.cellularDataSent.value_or(0) != sent ||
            c.cellularDataReceived.value_or(0) != 2 * sent ||
            c.cellularDataTotal.value_or(0) != 3 * sent)
            throw Mixed{"counters disagree"};
    return std::llround(sent) + 1;
}

// ------------------------------------------------------------------ notification schedule

void writeSchedule(Services &s, long long w) {
    if (w % kScheduleWindow == 0) {
        s.notifications.cancelAllLocalNotifications();
        return;
    }
    LocalNotification n;
    n.identifier = std::to_string(w);
    n.fireDate = s.clock.now() + std::chrono::hours(24 * 365); // never due during the run
    n.alertBody = "generation " + n.identifier;
    s.notifications.scheduleLocalNotification(n);
}

long long checkSchedule(Services &s) {
    const auto schedule = s.notifications.scheduledLocalNotifications();
    if (schedule.empty()) return -1;
    const long long first = std::stoll(schedule.front().identifier);
    if (first % kScheduleWindow != 1) throw Mixed{"schedule does not start a window"};
    for (std::size_t i = 0; i < schedule.size(); ++i) {
        const std::string id = std::to_string(first + static_cast<long long>(i));
        if (schedule[i].identifier != id || schedule[i].alertBody != "generation " + id)
            throw Mixed{"schedule entry " + std::to_string(i) + " out of sequence"};
    }
    return first + static_cast<long long>(schedule.size()) - 1;
}

struct Kind {
    const char *name;
    void (*write)(Services &, long long);
    long long (*check)(Services &);
};

const Kind kKinds[] = {{"record", writeRecord, checkRecord},
                       {"defaults", writeDefaults, checkDefaults},
                       {"history", writeHistory, checkHistory},
                       {"counters", writeCounters, checkCounters},
                       {"schedule", writeSchedule, checkSchedule}};

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::cerr << "usage: store_writer write KIND W | check KIND\n";
        return 2;
    }
    const std::string mode = argv[1];
    const Kind *kind = nullptr;
    for (const auto &k : kKinds)
        if (k.name == std::string(argv[2])) kind = &k;
    if (kind == nullptr || (mode != "write" && mode != "check")) {
        std::cerr << "store_writer: unknown mode or kind\n";
        return 2;
    }
    PlatformServices platform;
    Services &services = platform.services();
    try {
        const long long held = kind->check(services);
        if (mode == "check") {
            std::cout << held << '\n';
            return 0;
        }
        long long w = argc > 3 ? std::stoll(argv[3]) : held;
        if (held >= 0 && held != w) {
            std::cerr << "store_writer: the store holds " << held << ", not " << w << '\n';
            return 2;
        }
        for (;;) {
            kind->write(services, ++w);
            std::printf("%lld\n", w);
            std::fflush(stdout);
        }
    } catch (const Mixed &mixed) {
        std::cout << "mixed: " << mixed.what << '\n';
        return 1;
    }
}
