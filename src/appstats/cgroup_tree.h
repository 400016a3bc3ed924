// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "appstats/traffic_ledger.h"

#include <set>
#include <string>
#include <sys/types.h>

namespace byteward::appstats {

// Where the cgroup v2 hierarchy is mounted: the given folder when it is one, else
// /sys/fs/cgroup (unified systems) or /sys/fs/cgroup/unified (hybrid ones). Empty with the
// reason in `error` when there is none.
std::string findCgroup2Root(const std::string &given, std::string &error);

// The cgroups alive now, and the users that have a slice.
struct CgroupScan {
    TrafficLedger::CgroupPaths paths;
    std::set<uid_t> userSlices;
};

// Walks the tree below the open root folder. The id of a v2 cgroup is the inode number of its
// folder. Names are taken as bytes and never interpreted; a folder is opened relative to its
// parent, so paths longer than PATH_MAX are walked too. Cgroups nested deeper than kMaxDepth
// stay unnamed (their traffic counts as other).
inline constexpr int kMaxDepth = 256;
CgroupScan scanCgroups(int rootFd);

// The interfaces of this network namespace, index -> name.
TrafficLedger::InterfaceNames interfaceNames();

} // namespace byteward::appstats
