// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "appstats/traffic_ledger.h"

namespace byteward::appstats {

std::string unnamedInterface(std::uint32_t ifindex) { return "ifindex:" + std::to_string(ifindex); }

TrafficLedger::Attribution TrafficLedger::attribute(const CounterKey &key, const CgroupPaths &live,
                                                    const InterfaceNames &interfaces) {
    Attribution to;
    if (auto it = live.find(key.cgroupId); it != live.end()) {
        to.path = it->second;
        lastPath_[key.cgroupId] = it->second;
    } else if (auto seen = lastPath_.find(key.cgroupId); seen != lastPath_.end()) {
        to.path = seen->second;
    }
    if (auto it = interfaces.find(key.ifindex); it != interfaces.end()) {
        to.interface = it->second;
        lastInterface_[key.ifindex] = it->second;
    } else if (auto seen = lastInterface_.find(key.ifindex); seen != lastInterface_.end()) {
        to.interface = seen->second;
    } else {
        to.interface = unnamedInterface(key.ifindex);
    }
    return to;
}

void TrafficLedger::fold(const Attribution &to, const Counts &counts) {
    if (counts == Counts{})
        return;
    if (to.path)
        folded_.named[*to.path][to.interface] += counts;
    else
        folded_.unnamed[to.interface] += counts;
}

std::vector<CounterKey> TrafficLedger::update(const std::vector<Reading> &readings,
                                              const CgroupPaths &live,
                                              const InterfaceNames &interfaces) {
    std::vector<CounterKey> removed;
    for (const Reading &reading : readings) {
        Attribution to = attribute(reading.key, live, interfaces);
        auto [it, created] = slots_.try_emplace(reading.key, Slot{to, {}, {}});
        Slot &slot = it->second;
        if (reading.counts.rx < slot.last.rx || reading.counts.tx < slot.last.tx) {
            // The slot was deleted and counts afresh (its cgroup id came back after we folded
            // it): what it had is credited, the new value stands on its own.
            fold(slot.to, slot.last - slot.offset);
            slot.offset = {};
        } else if (!(to == slot.to)) {
            fold(slot.to, slot.last - slot.offset);
            slot.offset = slot.last;
        }
        slot.to = std::move(to);
        slot.last = reading.counts;

        // Id 0 is the kernel's "no cgroup": it never goes away.
        if (reading.key.cgroupId != 0 && !live.contains(reading.key.cgroupId)) {
            fold(slot.to, slot.last - slot.offset);
            slots_.erase(it);
            removed.push_back(reading.key);
        }
    }
    return removed;
}

Totals TrafficLedger::totals() const {
    Totals sum = folded_;
    for (const auto &[key, slot] : slots_) {
        const Counts part = slot.last - slot.offset;
        if (part == Counts{})
            continue;
        if (slot.to.path)
            sum.named[*slot.to.path][slot.to.interface] += part;
        else
            sum.unnamed[slot.to.interface] += part;
    }
    return sum;
}

} // namespace byteward::appstats
