// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Gives the stores of the user's data directory (XDG_DATA_HOME) the history of a long-lived
// installation, for the whole-program runs: seed_history YEARS [COUNTERS].
#include "lifecycle/platform_services.h"
#include "model/custom_counter.h"
#include "model/history.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
    using namespace byteward;
    if (argc < 2) {
        std::fprintf(stderr, "usage: seed_history YEARS [COUNTERS]\n");
        return 2;
    }
    const int years = std::atoi(argv[1]);
    const int counters = argc > 2 ? std::atoi(argv[2]) : 1;
    PlatformServices platform;
    Services &services = platform.services();
    // Two daily logs a day and two billing-cycle logs a month, ending some days ago.
    const Instant end = services.clock.now();
    const Instant start = services.calendar.addDays(end, -years * 365 - 3);
    std::vector<History> logs;
    for (int day = 0; day < years * 365; ++day) {
        const Instant at = services.calendar.addDays(start, day);
        for (std::int32_t type : {History::kCellular, History::kWiFi})
            logs.push_back(
                History::initWithStartDate(at, at, 1e6, 2e6, 3e6, type, History::kDailyLog));
        if (day % 30 == 0)
            for (std::int32_t type : {History::kCellular, History::kWiFi})
                logs.push_back(History::initWithStartDate(at, at, 3e7, 6e7, 9e7, type,
                                                          History::kBillingCycleLog));
    }
    std::vector<CustomCounter> list;
    for (int i = 0; i < counters; ++i)
        list.push_back(CustomCounter::initWithName("Counter " + std::to_string(i), start));
    const bool saved = History::saveHistoryLogs(services, logs) &&
                       CustomCounter::saveCustomCounterData(services, list);
    return saved ? 0 : 1;
}
