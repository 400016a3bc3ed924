// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace byteward::appstats {

// Bytes received and sent.
struct Counts {
    std::uint64_t rx = 0;
    std::uint64_t tx = 0;

    Counts &operator+=(const Counts &other) {
        rx += other.rx;
        tx += other.tx;
        return *this;
    }
    friend Counts operator-(const Counts &a, const Counts &b) { return {a.rx - b.rx, a.tx - b.tx}; }
    friend bool operator==(const Counts &, const Counts &) = default;
};

// Counts per interface name.
using InterfaceCounts = std::map<std::string, Counts>;
// Counts per cgroup path (relative to the cgroup v2 mount, starting with "/").
using PathCounts = std::map<std::string, InterfaceCounts>;

// What the kernel counts under: one slot of the BPF map.
struct CounterKey {
    std::uint64_t cgroupId = 0;
    std::uint32_t ifindex = 0;
    friend bool operator==(const CounterKey &, const CounterKey &) = default;
    friend bool operator<(const CounterKey &a, const CounterKey &b) {
        return std::tie(a.cgroupId, a.ifindex) < std::tie(b.cgroupId, b.ifindex);
    }
};

// One slot's value as read now: cumulative since the slot was created.
struct Reading {
    CounterKey key;
    Counts counts;
};

// Everything counted this run, by name: cgroups with a path, and what no path could be found for.
struct Totals {
    PathCounts named;
    InterfaceCounts unnamed;
};

// The name an interface index is written under when no name was ever seen for it. A colon cannot
// be part of a Linux interface name, so it never collides with a real one.
std::string unnamedInterface(std::uint32_t ifindex);

// Turns the kernel's counters, kept per cgroup id and interface index, into counts per cgroup
// path and interface name that never go down. A cgroup removed and made again under the same path
// has a new id: its old id's counts are folded into the path before the id is forgotten, so the
// path's counts go on. A cgroup or interface renamed keeps what it counted under the old name.
class TrafficLedger {
public:
    // The cgroups alive now (id -> path) and the interfaces known now (index -> name).
    using CgroupPaths = std::unordered_map<std::uint64_t, std::string>;
    using InterfaceNames = std::unordered_map<std::uint32_t, std::string>;

    // Takes in one reading of the whole map. `live` must come from a walk of the tree made after
    // the map was read, so that every id read is either in it or gone. Returns the slots of
    // removed cgroups, whose counts are now folded: the caller deletes them from the map.
    std::vector<CounterKey> update(const std::vector<Reading> &readings, const CgroupPaths &live,
                                   const InterfaceNames &interfaces);

    Totals totals() const;

private:
    // What a slot's counts are credited to; an empty path is "no path known".
    struct Attribution {
        std::optional<std::string> path;
        std::string interface;
        friend bool operator==(const Attribution &, const Attribution &) = default;
    };
    struct Slot {
        Attribution to;
        Counts last;   // the slot's value at the last reading
        Counts offset; // the part of `last` already folded under an earlier attribution
    };

    Attribution attribute(const CounterKey &key, const CgroupPaths &live,
                          const InterfaceNames &interfaces);
    void fold(const Attribution &to, const Counts &counts);

    std::map<CounterKey, Slot> slots_;
    Totals folded_;
    // Last names seen, for ids and indexes that are gone by the time their counts are read
    // (a socket can outlive its cgroup; a device its name).
    std::unordered_map<std::uint64_t, std::string> lastPath_;
    std::unordered_map<std::uint32_t, std::string> lastInterface_;
};

} // namespace byteward::appstats
