#include "history/history.h"

#include "core/util.h"
#include "platform/data_lock.h"
#include "platform/files.h"
#include "platform/keyed_archive.h"
#include "platform/paths.h"

#include <algorithm>

namespace byteward {

namespace fs = std::filesystem;

namespace {

constexpr const char *kLogsKey = "historyLogs";
constexpr const char *kClassName = "History";
// The key a single archived object goes under, as the platform archiver names it.
constexpr const char *kRootKey = "root";

ArchiveObject encodeLog(const History &log) {
    ArchiveObject object = ArchiveObject::instance(kClassName);
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

std::string encodeLogs(const std::vector<History> &logs) {
    std::vector<ArchiveObject> items;
    items.reserve(logs.size());
    for (const auto &log : logs)
        items.push_back(encodeLog(log));
    KeyedArchive archive;
    archive.encodeObject(kLogsKey, ArchiveObject::list(std::move(items)));
    return archive.encode();
}

std::optional<std::vector<History>> decodeLogs(std::string_view bytes, std::string &problem) {
    const auto archive = KeyedArchive::decode(bytes, &problem);
    if (!archive) return std::nullopt;
    const ArchiveObject *list = archive->decodeObject(kLogsKey);
    if (list == nullptr || list->kind() != ArchiveObject::Kind::List) {
        problem = "no list of logs under \"historyLogs\"";
        return std::nullopt;
    }
    std::vector<History> logs;
    logs.reserve(list->items().size());
    for (const auto &item : list->items()) {
        // Anything else in the list means the file is not what we think it is.
        if (item.kind() != ArchiveObject::Kind::Instance) {
            problem = "the list of logs holds something other than a log";
            return std::nullopt;
        }
        logs.push_back(decodeLog(item));
    }
    return logs;
}

// What reading the archive found, with no side effects.
struct ArchiveRead {
    enum class State { Read, Unreadable, Damaged } state = State::Read;
    std::vector<History> logs;
    std::string problem;
};

ArchiveRead readArchive(const fs::path &path) {
    ArchiveRead result;
    std::string error;
    const auto bytes = readWholeFile(path, &error);
    if (!bytes) {
        // No file at all is an empty history.
        if (!error.empty()) result = {ArchiveRead::State::Unreadable, {}, error};
        return result;
    }
    if (bytes->empty()) return result;
    if (auto logs = decodeLogs(*bytes, result.problem))
        result.logs = std::move(*logs);
    else
        result.state = ArchiveRead::State::Damaged;
    return result;
}

// The logs as stored, and whether writing the file back would destroy something we could not
// read.
struct LoadedLogs {
    std::vector<History> logs;
    bool safeToReplace = true;
};

LoadedLogs keepDamagedArchiveAside(Services &services, const fs::path &path,
                                   const std::string &problem) {
    if (const auto aside = keepFileAside(path, services.clock.now())) {
        services.log.line("history archive " + path.string() + " could not be decoded (" + problem +
                          "); kept it as " + aside->string());
        return {};
    }
    services.log.line("history archive " + path.string() + " could not be decoded (" + problem +
                      ") nor moved aside; leaving it untouched");
    return {{}, false};
}

LoadedLogs loadLogs(Services &services) {
    const fs::path path = History::archivePath(services);
    ArchiveRead read = readArchive(path);
    if (read.state == ArchiveRead::State::Damaged) {
        try {
            // Another process may have replaced the file since; decide on what is there now.
            DataLock lock(services.paths.dataDir);
            read = readArchive(path);
            if (read.state == ArchiveRead::State::Damaged)
                return keepDamagedArchiveAside(services, path, read.problem);
        } catch (const LockTimeout &error) {
            services.log.line("history archive " + path.string() + " could not be decoded (" +
                              read.problem + "); " + error.what());
            return {{}, false};
        }
    }
    if (read.state == ArchiveRead::State::Unreadable) {
        services.log.line("history archive could not be read: " + read.problem);
        return {{}, false};
    }
    return {std::move(read.logs), true};
}

bool writeLogs(Services &services, const std::vector<History> &logs) {
    if (!ensurePrivateDirectory(services.paths.dataDir)) {
        services.log.line("Writing data to file failed: cannot create " +
                          services.paths.dataDir.string());
        return false;
    }
    const FileResult written =
        writeFileAtomically(History::archivePath(services), encodeLogs(logs));
    if (!written.ok()) {
        services.log.line("Writing data to file failed: " + written.error);
        return false;
    }
    return true;
}

// Reads the stored logs, lets `change` edit them and writes them back, all under the data lock
// so no other process's change is lost in between.
template <typename Change> bool modifyLogs(Services &services, Change change) {
    try {
        DataLock lock(services.paths.dataDir);
        LoadedLogs loaded = loadLogs(services);
        if (!loaded.safeToReplace) {
            services.log.line("Writing data to file failed: the history archive was left as it is");
            return false;
        }
        change(loaded.logs);
        return writeLogs(services, loaded.logs);
    } catch (const LockTimeout &error) {
        services.log.line(std::string("Writing data to file failed: ") + error.what());
        return false;
    }
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
    KeyedArchive archive;
    archive.encodeObject(kRootKey, encodeLog(*this));
    const std::string bytes = archive.encode();
    if (bytes.empty()) return std::nullopt;
    const auto decoded = KeyedArchive::decode(bytes);
    if (!decoded) return std::nullopt;
    const ArchiveObject *root = decoded->decodeObject(kRootKey);
    if (root == nullptr) return std::nullopt;
    return decodeLog(*root);
}

std::vector<History> History::getAllHistoryLogs(Services &services) {
    return loadLogs(services).logs;
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

void History::addNewHistoryItemLog(Services &services, const History &log) {
    modifyLogs(services, [&log](std::vector<History> &logs) { logs.push_back(log); });
}

void History::removeHistoryLog(Services &services, const History &log) {
    modifyLogs(services, [&log](std::vector<History> &logs) {
        // A log without an identifier matches nothing, not every other log without one.
        if (log.uniqueId.empty()) return;
        std::erase_if(logs,
                      [&log](const History &stored) { return stored.uniqueId == log.uniqueId; });
    });
}

bool History::saveHistoryLogs(Services &services, const std::vector<History> &logs) {
    return modifyLogs(services, [&logs](std::vector<History> &stored) { stored = logs; });
}

void History::clearHistory(Services &services) {
    modifyLogs(services, [](std::vector<History> &logs) { logs.clear(); });
}

fs::path History::archivePath(const Services &services) {
    return services.paths.dataDir / "history.archive";
}

} // namespace byteward
