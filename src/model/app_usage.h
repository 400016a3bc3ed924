// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/app_data.h"
#include "model/data_type.h"
#include "platform/app_stats.h"
#include "platform/files.h"
#include "storage/services.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace byteward {

// Traffic per application, by its key (appKeyForCgroup).
using AppTraffic = std::map<std::string, Traffic>;

// The key an application's traffic is kept under, from the path of the cgroup it ran in:
// "app:<desktop-file id>" for an application scope or service ("app-<launcher>-<id>-<n>.scope"),
// "service:<name>" for another service of the user's manager, "process:<name>" for another scope
// (a terminal tab, `systemd-run`) whose first process `processName` names, and "system" for
// everything else (the login session, the manager itself). Cgroup names are chosen by whoever
// starts the program: the key carries no control characters, is valid UTF-8 and is bounded.
std::string appKeyForCgroup(const std::string &path,
                            const std::function<std::string(const std::string &)> &processName);

// What the dashboards' types used per application: today, the billing period in progress with
// its closed days, and each closed period. Kept in "apps.json" beside the usage records, brought
// up to date by every update cycle from the per-application counter's snapshot.
class AppUsage {
  public:
    static constexpr const char *kFileName = "apps.json";
    static constexpr const char *kSystemKey = "system";

    struct Span {
        Instant start{};
        Instant end{};
        AppTraffic apps;
        bool operator==(const Span &) const = default;
    };
    struct TypeState {
        std::optional<Instant> periodStart; // of the period `period` belongs to
        std::optional<Instant> dayStart;    // of the day `today` belongs to
        AppTraffic today;
        AppTraffic period;
        std::vector<Span> days; // the period's closed days, oldest first
        bool operator==(const TypeState &) const = default;
    };
    struct ClosedPeriod {
        DataType type = DataType::Cellular;
        Span span;
        bool operator==(const ClosedPeriod &) const = default;
    };

    // The counter's run last seen, and its counts then: the next snapshot adds what grew.
    std::string epoch;
    std::map<std::string, InterfaceTraffic> seen;
    InterfaceTraffic seenOther;
    // The key each cgroup path was first given (a process name is only there while it runs).
    std::map<std::string, std::string> keys;
    PerType<TypeState> types;
    std::vector<ClosedPeriod> closed;

    // The store as the file holds it; a missing file is an empty store. A damaged one reads as
    // empty too, with `error` saying why (an update moves it aside before it writes a new one).
    static AppUsage load(Services &services, std::string *error = nullptr);
    [[nodiscard]] FileResult save(Services &services) const;
    static std::filesystem::path filePath(const Services &services);

    // Moves a type on to the day and the period its record is in now: a day that ended joins the
    // period's days, a period that ended is closed with its start and the new one's.
    void roll(DataType type, std::optional<Instant> periodStart, Instant dayStart);
    // Adds what the snapshot counted since the last one to today and the period, each interface's
    // bytes to the type that counts that interface. A run of the counter that follows the one
    // last seen is taken whole (with the rest of the earlier run, where the snapshot carries it);
    // the first snapshot ever seen only sets where counting starts.
    void account(const AppStatsSnapshot &snapshot, const PerType<std::set<std::string>> &interfaces,
                 const std::function<std::string(const std::string &)> &processName);

    // One type's applications over today or the period, largest first; "system" among them.
    std::vector<std::pair<std::string, Traffic>> ranked(DataType type, bool today) const;
    // An application's traffic on each of the period's days, today last.
    std::vector<std::pair<Instant, Traffic>> daysOf(DataType type, const std::string &key) const;
    // The applications of a closed period of the type that started then; empty when none.
    const ClosedPeriod *closedPeriod(DataType type, Instant start) const;
};

// Brings the store up to date after the usage records were, under the same data lock, from the
// snapshot of the per-application counter. Without a counter nothing is written, and a store
// that exists still moves on with the days and periods.
FileResult updateAppUsage(Services &services, const PerType<AppData> &records,
                          const std::optional<AppStatsSnapshot> &snapshot);

// What the Apps screens and `bytewardctl apps` show of one type and span.
struct AppUsageRow {
    std::string key;
    std::string name; // the application's name, the service's or process's, or "System"
    std::string icon; // an icon theme name or file; empty for none
    Traffic traffic;
};
struct AppUsageReport {
    std::vector<AppUsageRow> rows; // largest first
    double attributed = 0;         // the rows' sum
    double dashboard = 0;          // the dashboard's figure for the same span
    double notAttributed = 0;      // what the counter did not see (before it started); >= 0
    bool counterRunning = false;   // a snapshot of this user's could be read
    std::string counterNote;       // why there are no figures, when there are none
};
AppUsageReport appUsageReport(const AppUsage &usage, DataType type, bool today,
                              double dashboardFigure, bool counterRunning,
                              const std::string &counterNote);

// The name and icon of a key, for people.
AppUsageRow describeAppKey(const std::string &key);
// A span's applications for people, largest first; "System" among them.
std::vector<AppUsageRow> describeApps(const AppTraffic &apps);

// How to turn the per-application counter on, for wherever it is found not running.
std::string appsCounterHint();

} // namespace byteward
