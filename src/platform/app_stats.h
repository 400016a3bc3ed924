// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace byteward {

// Bytes one cgroup (or the rest of the system) moved over one interface.
struct Traffic {
    double received = 0;
    double sent = 0;
    double total() const { return received + sent; }
    Traffic &operator+=(const Traffic &other) {
        received += other.received;
        sent += other.sent;
        return *this;
    }
    bool operator==(const Traffic &) const = default;
};

// Per interface name.
using InterfaceTraffic = std::map<std::string, Traffic>;

// What the per-application counter (byteward-appstats, a system service) counted for one user:
// every cgroup of the user's slice by its path, and the rest of the system per interface, since
// the counter started (its epoch). Counts never decrease within an epoch.
struct AppStatsCounts {
    std::string epoch;
    std::map<std::string, InterfaceTraffic> cgroups; // by path below the cgroup v2 mount
    InterfaceTraffic other;
};

struct AppStatsSnapshot {
    AppStatsCounts current;
    std::string bootId;
    double started = 0; // seconds since 1970
    double written = 0;
    // The final counts of the run before this one in the same boot, when the counter found them.
    std::optional<AppStatsCounts> previous;
};

// Reads the counter's JSON. Empty, with `error` saying why, for anything that is not a snapshot
// of a format this version knows: the file comes from another program and is checked whole.
std::optional<AppStatsSnapshot> parseAppStatsSnapshot(std::string_view json,
                                                      std::string *error = nullptr);

// Where the counter leaves the snapshots: $BYTEWARD_APPSTATS_DIR, else /run/byteward/apps.
std::filesystem::path appStatsDirectory();

// The snapshot of this process's user. Empty when there is none (the counter is not installed or
// not running); `error` then says so, or why the file could not be used.
std::optional<AppStatsSnapshot> readOwnAppStats(std::string *error = nullptr);

// The name of a live process in the cgroup (the first one listed), for scopes that carry no
// application id; empty when the cgroup is gone or holds no process.
std::string cgroupProcessName(const std::string &cgroupPath);

} // namespace byteward
