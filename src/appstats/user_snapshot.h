// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "appstats/traffic_ledger.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace byteward::appstats {

// The user whose slice holds a cgroup: "/user.slice/user-1000.slice" and everything below it
// belong to uid 1000. Only that place counts, so a user who names a cgroup of their own
// "user-0.slice" deeper down gains nothing.
std::optional<uid_t> uidOfPath(std::string_view path);

// What one user's file shows: their own cgroups, and everything else per interface.
struct UserCounts {
    PathCounts cgroups;
    InterfaceCounts other;
    friend bool operator==(const UserCounts &, const UserCounts &) = default;
};

// One user's share of everything counted.
UserCounts countsForUser(const Totals &totals, uid_t uid);

// The users that get a file: those with a slice now, and those with anything counted.
std::set<uid_t> usersToWrite(const Totals &totals, const std::set<uid_t> &slices);

// What stays the same for the whole run of the helper.
struct RunInfo {
    std::string bootId;
    std::string epoch; // "<boot id>/<start, CLOCK_REALTIME nanoseconds>"
    double started = 0; // seconds since 1970
};

// One user's snapshot as written to their file. `previous` is the earlier run's part, if any.
// Names that are not valid UTF-8 come out with the bad bytes replaced; control bytes escaped.
std::string snapshotText(const RunInfo &run, uid_t uid, const UserCounts &counts, double written,
                         const std::optional<nlohmann::json> &previous);

// From the text of a snapshot written by an earlier run: its epoch, cgroups and other, when it
// was written in the same boot by another run. Nothing for a different boot, the same epoch, or
// a text that is not such a snapshot.
std::optional<nlohmann::json> previousRun(std::string_view text, const RunInfo &run);

} // namespace byteward::appstats
