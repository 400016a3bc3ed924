// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/files.h"
#include "platform/value.h"
#include "storage/services.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// One usage log: the bytes one data type moved over a span, either a finished billing period
// (historyType 1) or a finished day (historyType 2). The store operations are class operations
// that read the whole "history.archive" and, when they change it, write it back whole.
class History {
  public:
    static constexpr std::int32_t kCellular = 1;
    static constexpr std::int32_t kWiFi = 2;
    static constexpr std::int32_t kBillingCycleLog = 1;
    static constexpr std::int32_t kDailyLog = 2;

    std::string uniqueId;
    std::optional<Instant> startDate;
    std::optional<Instant> endDate;
    std::optional<double> dataSent;     // bytes
    std::optional<double> dataReceived; // bytes
    std::optional<double> dataTotal;    // bytes, as the creator passed it, not recomputed
    std::int32_t dataType = 0;          // 1 cellular, 2 Wi-Fi
    std::int32_t historyType = 0;       // 1 billing cycle, 2 day

    // A new log with a fresh uniqueId.
    static History initWithStartDate(std::optional<Instant> startDate,
                                     std::optional<Instant> endDate, std::optional<double> dataSent,
                                     std::optional<double> dataReceived,
                                     std::optional<double> dataTotal, std::int32_t dataType,
                                     std::int32_t historyType);

    // A deep copy through the keyed archive, keeping the uniqueId; empty when encoding fails.
    std::optional<History> copy() const;

    // Every log in file order; empty when there is no archive.
    static std::vector<History> getAllHistoryLogs(Services &services);
    // Billing-cycle logs of both data types, in file order.
    static std::vector<History> getAllBillingCycleLogs(Services &services);
    // Daily logs of one data type whose start or end lies between the bounds (inclusive),
    // newest start first.
    static std::vector<History> getDailyHistoryLogsFrom(Services &services, Instant from,
                                                        Instant to, std::int32_t dataType);
    // The store's writes; on failure the archive keeps what it held.
    // Appends at the end.
    [[nodiscard]] static FileResult addNewHistoryItemLog(Services &services, const History &log);
    // Appends at the end unless a log of the same span, data type and kind is stored already: an
    // update that failed after writing its log writes it again when it is run again.
    [[nodiscard]] static FileResult addNewHistoryItemLogOnce(Services &services,
                                                             const History &log);
    // Removes every log with the given log's uniqueId.
    [[nodiscard]] static FileResult removeHistoryLog(Services &services, const History &log);
    // Replaces the whole history with the list.
    [[nodiscard]] static FileResult saveHistoryLogs(Services &services,
                                                    const std::vector<History> &logs);
    [[nodiscard]] static FileResult clearHistory(Services &services);

    static std::filesystem::path archivePath(const Services &services);

    bool operator==(const History &) const = default;
};

} // namespace byteward
