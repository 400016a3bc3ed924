// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/history.h"

#include "model/util.h"
#include "storage/keyed_archive_store.h"

#include <algorithm>

namespace byteward {

namespace fs = std::filesystem;

namespace {

constexpr const char *kLogsKey = "historyLogs";
constexpr const char *kClassName = "History";

ArchiveObject encodeLog(const History &log) {
    ArchiveObject object = ArchiveObject::instance(kClassName);
    object.reserveFields(8);
    auto date = [&object](const char *key, const std::optional<Instant> &v) {
        if (v) object.encodeObject(key, ArchiveObject::date(*v));
    };
    auto number = [&object](const char *key, const std::optional<double> &v) {
        if (v) object.encodeObject(key, ArchiveObject::real(*v));
    };
    date("startDate", log.startDate);
    date("endDate", log.endDate);
    number("dataSent", log.dataSent);
    number("dataReceived", log.dataReceived);
    number("dataTotal", log.dataTotal);
    // No identifier is left out rather than stored as an empty one.
    if (!log.uniqueId.empty()) object.encodeObject("uniqueId", ArchiveObject::string(log.uniqueId));
    object.encodeInt32("dataType", log.dataType);
    object.encodeInt32("historyType", log.historyType);
    return object;
}

History decodeLog(const ArchiveObject &object) {
    History log;
    log.startDate = object.decodeDate("startDate");
    log.endDate = object.decodeDate("endDate");
    log.dataSent = object.decodeDouble("dataSent");
    log.dataReceived = object.decodeDouble("dataReceived");
    log.dataTotal = object.decodeDouble("dataTotal");
    log.uniqueId = object.decodeString("uniqueId").value_or("");
    log.dataType = object.decodeInt32("dataType");
    log.historyType = object.decodeInt32("historyType");
    return log;
}

KeyedArchiveFile storeFile(Services &services) {
    return {services, History::archivePath(services), kLogsKey, "history archive"};
}

KeyedArchiveStore<History> store(Services &services) {
    return {storeFile(services), encodeLog, decodeLog};
}

// Reads the stored logs, lets `change` edit them and writes them back under the data lock.
template <typename Change> FileResult modifyLogs(Services &services, Change change) {
    return store(services).modify(
        [&change](KeyedArchiveStore<History>::Loaded &loaded) { change(loaded.records); });
}

// Appends one log to the stored list as it is: the logs already there are neither read into
// History values nor archived again, which with years of history is most of a day change's work.
FileResult appendLog(Services &services, const History &log, bool unlessStored) {
    ArchiveObject encoded = encodeLog(log);
    return storeFile(services).modify([&](ArchiveList &list) {
        auto sameSpan = [&log](const ArchiveObject &stored) {
            return stored.decodeInt32("historyType") == log.historyType &&
                   stored.decodeInt32("dataType") == log.dataType &&
                   stored.decodeDate("startDate") == log.startDate &&
                   stored.decodeDate("endDate") == log.endDate;
        };
        if (unlessStored && std::any_of(list.items.begin(), list.items.end(), sameSpan)) return;
        list.items.push_back(std::move(encoded));
    });
}

} // namespace

History History::initWithStartDate(std::optional<Instant> startDate, std::optional<Instant> endDate,
                                   std::optional<double> dataSent,
                                   std::optional<double> dataReceived,
                                   std::optional<double> dataTotal, std::int32_t dataType,
                                   std::int32_t historyType) {
    History log;
    log.uniqueId = Util::GetUUID();
    log.startDate = startDate;
    log.endDate = endDate;
    log.dataSent = dataSent;
    log.dataReceived = dataReceived;
    log.dataTotal = dataTotal;
    log.dataType = dataType;
    log.historyType = historyType;
    return log;
}

std::optional<History> History::copy() const {
    const auto copied = copyThroughArchive(encodeLog(*this));
    if (!copied) return std::nullopt;
    return decodeLog(*copied);
}

std::vector<History> History::getAllHistoryLogs(Services &services) {
    return store(services).load().records;
}

std::vector<History> History::getAllBillingCycleLogs(Services &services) {
    std::vector<History> logs = getAllHistoryLogs(services);
    std::erase_if(logs, [](const History &log) { return log.historyType != kBillingCycleLog; });
    return logs;
}

std::vector<History> History::getDailyHistoryLogsFrom(Services &services, Instant from, Instant to,
                                                      std::int32_t dataType) {
    auto inRange = [&](const std::optional<Instant> &date) {
        return date && Util::date(*date, from, to);
    };
    std::vector<History> logs = getAllHistoryLogs(services);
    std::erase_if(logs, [&](const History &log) {
        return log.historyType != kDailyLog || log.dataType != dataType ||
               !(inRange(log.startDate) || inRange(log.endDate));
    });
    // Newest first; logs without a start go last.
    std::stable_sort(logs.begin(), logs.end(),
                     [](const History &a, const History &b) { return a.startDate > b.startDate; });
    return logs;
}

FileResult History::addNewHistoryItemLog(Services &services, const History &log) {
    return appendLog(services, log, false);
}

FileResult History::addNewHistoryItemLogOnce(Services &services, const History &log) {
    return appendLog(services, log, true);
}

FileResult History::removeHistoryLog(Services &services, const History &log) {
    return modifyLogs(services, [&log](std::vector<History> &logs) {
        // A log without an identifier matches nothing, not every other log without one.
        if (log.uniqueId.empty()) return;
        std::erase_if(logs,
                      [&log](const History &stored) { return stored.uniqueId == log.uniqueId; });
    });
}

FileResult History::saveHistoryLogs(Services &services, const std::vector<History> &logs) {
    return modifyLogs(services, [&logs](std::vector<History> &stored) { stored = logs; });
}

FileResult History::clearHistory(Services &services) {
    return modifyLogs(services, [](std::vector<History> &logs) { logs.clear(); });
}

fs::path History::archivePath(const Services &services) {
    return services.paths.dataDir / "history.archive";
}

} // namespace byteward
