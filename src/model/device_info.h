// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/data_type.h"
#include "model/interface_classifier.h"
#include "platform/boot_clock.h"
#include "platform/network_statistics.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace byteward {

// The one place usage figures come from: byte counters of network interfaces since boot, and
// the boot instant. Stateless; every call takes a fresh reading.
class DeviceInfo {
  public:
    DeviceInfo(const NetworkStatistics &statistics, const BootClock &boot)
        : statistics_(statistics), boot_(boot) {}

    // Received + sent bytes of the named interface; 0 when it is absent, is the loopback
    // interface, or the statistics cannot be read.
    double getCurrentDataUsageForBSDInterface(std::string_view name) const;
    double getCurrentDataReceivedForBSDInterface(std::string_view name) const;
    double getCurrentDataSentForBSDInterface(std::string_view name) const;
    // Seconds since 1970 of the last boot (not the time since it); -1 when unknown.
    std::int64_t getSecondsSinceLastBoot() const;

    // The sum over every interface of the data type in a direction (1 sent, 2 received,
    // 3 both; any other direction reads 0). Empty when the statistics could not be read at all,
    // which callers must keep apart from a reading of 0.
    std::optional<double> readDataType(DataType type, int direction,
                                       const InterfaceClassifier &classifier) const;

    // One interface's part of a reading.
    struct InterfaceReading {
        std::string name;
        std::int64_t index = -1; // the kernel's interface index; -1 when unknown
        double sent = 0;
        double received = 0;
        // Whether it counts for the data type read. The others are kept too, so that one that
        // comes to count (a hotspot turning metered) counts from that reading on.
        bool counted = true;
    };
    // Total, sent and received of a data type, all from one reading of the counters, and every
    // interface's part, counted or not.
    struct Reading {
        double total = 0;
        double sent = 0;
        double received = 0;
        std::vector<InterfaceReading> interfaces;
    };
    std::optional<Reading> readDataType(DataType type, const InterfaceClassifier &classifier) const;
    // The same from a reading of the counters already taken (and found readable).
    static Reading readDataType(const StatsSnapshot &snapshot, DataType type,
                                const InterfaceClassifier &classifier);

    static double counterOf(const InterfaceStats &interface, int direction);

  private:
    double readInterface(std::string_view name, int direction) const;

    const NetworkStatistics &statistics_;
    const BootClock &boot_;
};

} // namespace byteward
