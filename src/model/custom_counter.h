// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/files.h"
#include "platform/value.h"
#include "storage/services.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// A user-defined meter adding up the traffic of every update until it is paused or its end
// date passes. The class operations are the store: "customcounters.archive" read and written
// whole by every operation.
class CustomCounter {
  public:
    std::string name;
    bool trackCellular = true;
    bool trackWiFi = true;
    std::optional<Instant> startDate;
    std::optional<Instant> endDate; // empty: no end
    std::int32_t direction = 3;     // shown figures: 1 sent, 2 received, 3 both
    bool notifyOnEnd = false;
    std::optional<double> cellularDataSent;     // bytes
    std::optional<double> cellularDataReceived; // bytes
    std::optional<double> cellularDataTotal;    // bytes
    std::optional<double> wifiDataSent;         // bytes
    std::optional<double> wifiDataReceived;     // bytes
    std::optional<double> wifiDataTotal;        // bytes
    bool isPaused = false;
    std::string uniqueId;

    // A new counter: both types, direction 3, amounts 0, started now, a fresh uniqueId.
    static CustomCounter initWithName(const std::string &name, Instant now);

    // Adds an update's amounts for type code 1 (cellular) or 2 (Wi-Fi), unless paused or not
    // tracking that type.
    void addDataToCounterWithDataSent(double sent, double received, std::int32_t dataType);
    void resetCellular();
    void resetWiFi();
    // A deep copy through the keyed archive, keeping the uniqueId.
    std::optional<CustomCounter> copy() const;

    static std::vector<CustomCounter> getAllCustomCounters(Services &services);
    // The store's writes; on failure the archive keeps what it held.
    [[nodiscard]] static FileResult
    saveCustomCounterData(Services &services, const std::vector<CustomCounter> &counters);
    [[nodiscard]] static FileResult addCustomCounter(Services &services,
                                                     const CustomCounter &counter);
    [[nodiscard]] static FileResult saveCustomCounter(Services &services,
                                                      const CustomCounter &counter);
    [[nodiscard]] static FileResult removeCustomCounter(Services &services,
                                                        const CustomCounter &counter);
    [[nodiscard]] static FileResult reorderCustomCounterFromIndex(Services &services,
                                                                  std::size_t from, std::size_t to);
    // Pauses or resumes the stored counter with this identifier and changes nothing else, so
    // traffic another process added meanwhile stays. False when no stored counter has it or
    // the change could not be written (noted like every store write).
    static bool setCustomCounterPaused(Services &services, const std::string &uniqueId,
                                       bool isPaused);
    // Called by every update, once per data type ("cellular" or "wifi").
    [[nodiscard]] static FileResult
    updateCustomCountersWithDataSentSinceLastRun(Services &services, double sent, double received,
                                                 const std::string &dataType);

    static std::filesystem::path archivePath(const Services &services);

    bool operator==(const CustomCounter &) const = default;
};

} // namespace byteward
