// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"

#include "model/device_info.h"
#include "model/interface_classifier.h"
#include "platform/data_lock.h"
#include "platform/files.h"
#include "storage/plist_codec.h"

#include <cmath>
#include <map>
#include <mutex>

namespace byteward {

namespace fs = std::filesystem;

namespace {

std::optional<double> storedNumber(const ValueDict &d, const char *key) {
    const Value *v = d.find(key);
    if (v == nullptr) return std::nullopt;
    return v->doubleValue();
}

std::optional<Instant> storedDate(const ValueDict &d, const char *key) {
    const Value *v = d.find(key);
    if (v == nullptr || v->asDate() == nullptr) return std::nullopt;
    return *v->asDate();
}

std::string storedPlace(const ValueDict &d, const char *key) {
    const Value *v = d.find(key);
    if (v == nullptr || v->asString() == nullptr) return AppData::kPlaceNotAvailable;
    return *v->asString();
}

// The per-interface reading; absent when the file has none or any entry is damaged, so the update
// falls back to the summed reading rather than trust part of a list.
std::optional<std::vector<DeviceInfo::InterfaceReading>>
storedInterfaceReadings(const ValueDict &d) {
    const Value *v = d.find("interfaceReadings");
    if (v == nullptr || v->asArray() == nullptr) return std::nullopt;
    std::vector<DeviceInfo::InterfaceReading> readings;
    for (const Value &entry : *v->asArray()) {
        const ValueDict *item = entry.asDict();
        const Value *name = item != nullptr ? item->find("name") : nullptr;
        const Value *index = item != nullptr ? item->find("index") : nullptr;
        const Value *sent = item != nullptr ? item->find("sent") : nullptr;
        const Value *received = item != nullptr ? item->find("received") : nullptr;
        if (name == nullptr || name->asString() == nullptr || index == nullptr ||
            !index->isNumber() || sent == nullptr || !sent->isNumber() || received == nullptr ||
            !received->isNumber() || !std::isfinite(sent->doubleValue()) ||
            !std::isfinite(received->doubleValue()))
            return std::nullopt;
        // Older files list only the counted interfaces.
        const Value *counted = item->find("counted");
        readings.push_back({*name->asString(), index->integerValue(), sent->doubleValue(),
                            received->doubleValue(), counted == nullptr || counted->boolValue()});
    }
    return readings;
}

// The byte amounts of a record. One that is not a finite number would poison every total it is
// added to, and no update ever makes one, so a file holding one is damaged.
constexpr const char *kAmountKeys[] = {
    "dataAllTime",
    "dataSinceLastBoot",
    "dataSinceLastRun",
    "dataThisMonth",
    "dataSinceAppLastRun",
    "dataToday",
    "dataAllTimeSent",
    "dataAllTimeRecd",
    "dataThisMonthSent",
    "dataThisMonthRecd",
    "dataSinceLastBootSent",
    "dataSinceLastBootRecd",
    "dataSinceLastRunSent",
    "dataSinceLastRunRecd",
    "dataSinceAppLastRunSent",
    "dataSinceAppLastRunRecd",
    "dataTodaySent",
    "dataTodayRecd",
};

// Removes the amounts that are not finite numbers and names them; empty when there were none.
std::string dropNonFiniteAmounts(ValueDict &d) {
    std::string dropped;
    for (const char *key : kAmountKeys) {
        const Value *v = d.find(key);
        if (v == nullptr || std::isfinite(v->doubleValue())) continue;
        dropped += (dropped.empty() ? "" : ", ") + std::string(key);
        d.erase(key);
    }
    return dropped;
}

// The records as this process last read or wrote them, each with the bytes it was read from:
// while a file holds those very bytes, its dictionary is known without parsing it again. Every
// sample writes both records and reads them back at the next; the bytes are compared whole, so a
// file another process wrote (or damaged) is always parsed.
class DecodedRecords {
  public:
    static DecodedRecords &instance() {
        static DecodedRecords records;
        return records;
    }

    std::optional<ValueDict> find(const fs::path &path, std::string_view bytes) {
        const std::lock_guard lock(mutex_);
        const auto entry = entries_.find(path.string());
        if (entry == entries_.end() || entry->second.bytes != bytes) return std::nullopt;
        return entry->second.dictionary;
    }

    void remember(const fs::path &path, std::string bytes, ValueDict dictionary) {
        const std::lock_guard lock(mutex_);
        entries_[path.string()] = {std::move(bytes), std::move(dictionary)};
    }

    void forget(const fs::path &path) {
        const std::lock_guard lock(mutex_);
        entries_.erase(path.string());
    }

  private:
    struct Entry {
        std::string bytes;
        ValueDict dictionary;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

long long truncatedDays(const ValueDict &d, const char *key) {
    const double days = AppData::getNumberForKey(key, d);
    return std::isfinite(days) ? static_cast<long long>(std::trunc(days)) : 0;
}

} // namespace

fs::path AppData::dataFilePath() const {
    return services_.paths.dataDir /
           (appDataType == kWiFi ? "app_data_wifi.plist" : "app_data_cellular.plist");
}

double AppData::getNumberForKey(const std::string &key, const ValueDict &dictionary) {
    const Value *value = dictionary.find(key);
    return value != nullptr ? value->doubleValue() : 0.0;
}

std::optional<double> AppData::readCurrentUsage(int direction) const {
    const DeviceInfo device(services_.statistics, services_.boot);
    return device.readDataType(dataTypeFromString(appDataType), direction,
                               InterfaceClassifier::forServices(services_));
}

double AppData::getCurrentDataUsageForDataType(const std::string & /*type*/, int direction) const {
    return readCurrentUsage(direction).value_or(0.0);
}

bool AppData::fileExists() const {
    std::error_code ec;
    return fs::exists(dataFilePath(), ec);
}

namespace {

// Moves a damaged record aside (and puts `replacement` in its place, when given) under the data
// lock, and only while the file still holds the bytes that were found damaged: a reader that
// saves nothing may race an update that has already mended or replaced it.
std::optional<fs::path> keepDamagedRecordAside(Services &services, const fs::path &path,
                                               const std::optional<std::string> &damaged,
                                               const std::optional<ValueDict> &replacement) {
    try {
        DataLock lock(services.paths.dataDir);
        if (readWholeFile(path) != damaged) return std::nullopt;
        auto aside = keepFileAside(path, services.clock.now());
        // Noted like any store write; the file set aside keeps what there was either way.
        if (aside && replacement)
            noteWrite(services.log, path,
                      writeFileAtomically(path, toXmlPropertyList(Value(*replacement))));
        return aside;
    } catch (const LockTimeout &) {
        return std::nullopt;
    }
}

} // namespace

ValueDict AppData::readStoredDictionary() const {
    if (keepStored_ && stored_) return *stored_;
    const fs::path path = dataFilePath();
    std::string error;
    const auto bytes = readWholeFile(path, &error);
    if (bytes) {
        if (auto known = DecodedRecords::instance().find(path, *bytes)) {
            if (keepStored_) stored_ = *known;
            return std::move(*known);
        }
        if (auto parsed = parsePropertyList(*bytes); parsed && parsed->isDict()) {
            ValueDict d = std::move(*parsed->asDict());
            const std::string dropped = dropNonFiniteAmounts(d);
            if (dropped.empty()) {
                // Only a sound record is kept: a damaged one is told of at each reading, as before.
                if (keepStored_) stored_ = d;
                DecodedRecords::instance().remember(path, *bytes, d);
                return d;
            }
            // Keep the rest, read the damaged amounts as missing, and keep the file as it was
            // out of the next save's way; the rest takes its place, so a reader that does not
            // save (the dashboards) leaves the next one a record rather than none.
            const auto aside = keepDamagedRecordAside(services_, path, bytes, d);
            services_.log.line("usage record " + path.string() + " holds amounts that are not " +
                               "numbers (" + dropped + "); read them as missing" +
                               (aside ? " and kept the file as " + aside->string() : ""));
            return d;
        }
    }
    // Unreadable: load as empty, but keep what the user had out of the next save's way.
    const std::string why = error.empty() ? "not a property list of values" : error;
    if (auto aside = keepDamagedRecordAside(services_, path, bytes, std::nullopt))
        services_.log.line("usage record " + path.string() + " could not be read (" + why +
                           "); kept it as " + aside->string());
    else
        services_.log.line("usage record " + path.string() + " could not be read (" + why +
                           ") nor moved aside");
    return {};
}

void AppData::getAppData(const std::string &type) {
    appDataType = type;
    if (!appSettings) appSettings.emplace(services_);
    appSettings->getSettings();

    if (!fileExists()) return; // first run of this data type
    fill(readStoredDictionary());
}

void AppData::fill(const ValueDict &d) {
    dataAllTime = getNumberForKey("dataAllTime", d);
    dataSinceLastBoot = getNumberForKey("dataSinceLastBoot", d);
    dataSinceLastRun = getNumberForKey("dataSinceLastRun", d);
    dataThisMonth = getNumberForKey("dataThisMonth", d);
    billingDaysElapsed = truncatedDays(d, "billingDaysElapsed");
    billingDaysTotal = truncatedDays(d, "billingDaysTotal");
    lastUpdate = storedDate(d, "lastUpdate");
    nextBillingDate = storedDate(d, "nextBillingDate");
    lastBillingDate = storedDate(d, "lastBillingDate");
    lastLocation = storedPlace(d, "lastLocation");
    lastLocationDataUsed = storedPlace(d, "lastLocationDataUsed");
    dataSinceAppLastRun =
        storedNumber(d, "dataSinceAppLastRun").value_or(getNumberForKey("dataSinceLastRun", d));

    // Files from before the sent/received split: take the since-boot split from the interfaces
    // and derive the rest from it.
    dataSinceLastBootSent = storedNumber(d, "dataSinceLastBootSent");
    if (!dataSinceLastBootSent)
        dataSinceLastBootSent = getCurrentDataUsageForDataType(appDataType, kDirectionSent);
    dataSinceLastBootRecd = storedNumber(d, "dataSinceLastBootRecd");
    if (!dataSinceLastBootRecd)
        dataSinceLastBootRecd = getCurrentDataUsageForDataType(appDataType, kDirectionReceived);
    dataAllTimeSent = storedNumber(d, "dataAllTimeSent").value_or(*dataSinceLastBootSent);
    dataAllTimeRecd = storedNumber(d, "dataAllTimeRecd").value_or(*dataSinceLastBootRecd);

    const double allTime = *dataAllTime;
    dataThisMonthSent = storedNumber(d, "dataThisMonthSent");
    if (!dataThisMonthSent)
        dataThisMonthSent = allTime > 0 ? *dataThisMonth * *dataAllTimeSent / allTime : 0.0;
    dataThisMonthRecd = storedNumber(d, "dataThisMonthRecd");
    if (!dataThisMonthRecd)
        dataThisMonthRecd =
            allTime > 0 ? *dataThisMonth * *dataAllTimeRecd / allTime : *dataThisMonth;

    dataSinceLastRunSent = getNumberForKey("dataSinceLastRunSent", d);
    dataSinceLastRunRecd = getNumberForKey("dataSinceLastRunRecd", d);
    dataSinceAppLastRunSent = getNumberForKey("dataSinceAppLastRunSent", d);
    dataSinceAppLastRunRecd = getNumberForKey("dataSinceAppLastRunRecd", d);
    dataToday = getNumberForKey("dataToday", d);
    dataTodaySent = getNumberForKey("dataTodaySent", d);
    dataTodayRecd = getNumberForKey("dataTodayRecd", d);
    if (const Value *id = d.find("bootId"); id != nullptr && id->asString() != nullptr)
        bootId = *id->asString();
    else
        bootId.reset();
    interfaceReadings = storedInterfaceReadings(d);
    auto optionalText = [&d](const char *key) -> std::optional<std::string> {
        const Value *v = d.find(key);
        return v != nullptr && v->asString() != nullptr ? std::optional(*v->asString())
                                                        : std::nullopt;
    };
    simHash = optionalText("simHash");
    simNoticeFor = optionalText("simNoticeFor");
    dataRoamingThisMonth = storedNumber(d, "dataRoamingThisMonth");
    dataRoamingToday = storedNumber(d, "dataRoamingToday");
    roamingNoticePeriod = storedDate(d, "roamingNoticePeriod");
    dataLimitPeriod = storedDate(d, "dataLimitPeriod");
}

ValueDict AppData::toDictionary() const {
    ValueDict d;
    auto date = [&d](const char *key, const std::optional<Instant> &v) {
        if (v) d.set(key, Value(*v));
    };
    auto real = [&d](const char *key, const std::optional<double> &v) {
        if (v) d.set(key, Value(*v));
    };
    auto integer = [&d](const char *key, const std::optional<long long> &v) {
        if (v) d.set(key, Value(*v));
    };
    auto text = [&d](const char *key, const std::optional<std::string> &v) {
        if (v) d.set(key, Value(*v));
    };
    date("lastUpdate", lastUpdate);
    real("dataAllTime", dataAllTime);
    real("dataSinceLastBoot", dataSinceLastBoot);
    real("dataSinceLastRun", dataSinceLastRun);
    real("dataThisMonth", dataThisMonth);
    integer("billingDaysElapsed", billingDaysElapsed);
    integer("billingDaysTotal", billingDaysTotal);
    date("nextBillingDate", nextBillingDate);
    date("lastBillingDate", lastBillingDate);
    text("lastLocation", lastLocation);
    text("lastLocationDataUsed", lastLocationDataUsed);
    real("dataSinceAppLastRun", dataSinceAppLastRun);
    real("dataToday", dataToday);
    real("dataAllTimeSent", dataAllTimeSent);
    real("dataAllTimeRecd", dataAllTimeRecd);
    real("dataThisMonthSent", dataThisMonthSent);
    real("dataThisMonthRecd", dataThisMonthRecd);
    real("dataSinceLastBootSent", dataSinceLastBootSent);
    real("dataSinceLastBootRecd", dataSinceLastBootRecd);
    real("dataSinceLastRunSent", dataSinceLastRunSent);
    real("dataSinceLastRunRecd", dataSinceLastRunRecd);
    real("dataSinceAppLastRunSent", dataSinceAppLastRunSent);
    real("dataSinceAppLastRunRecd", dataSinceAppLastRunRecd);
    real("dataTodaySent", dataTodaySent);
    real("dataTodayRecd", dataTodayRecd);
    text("bootId", bootId);
    text("simHash", simHash);
    text("simNoticeFor", simNoticeFor);
    real("dataRoamingThisMonth", dataRoamingThisMonth);
    real("dataRoamingToday", dataRoamingToday);
    date("roamingNoticePeriod", roamingNoticePeriod);
    date("dataLimitPeriod", dataLimitPeriod);
    if (interfaceReadings) {
        ValueArray interfaces;
        for (const auto &i : *interfaceReadings) {
            ValueDict item;
            item.set("name", Value(i.name));
            item.set("index", Value(static_cast<long long>(i.index)));
            item.set("sent", Value(i.sent));
            item.set("received", Value(i.received));
            if (!i.counted) item.set("counted", Value(false));
            interfaces.emplace_back(std::move(item));
        }
        d.set("interfaceReadings", Value(std::move(interfaces)));
    }
    return d;
}

FileResult AppData::saveAppData() {
    stored_.reset();
    const fs::path path = dataFilePath();
    if (!ensurePrivateDirectory(services_.paths.dataDir))
        return noteWrite(services_.log, path,
                         FileResult::failure(services_.paths.dataDir.string() +
                                             ": the folder cannot be created"));
    Value record(toDictionary());
    std::string bytes = toXmlPropertyList(record);
    // The two records may reach the disk in either order: each holds its own reading.
    FileResult written =
        noteWrite(services_.log, path,
                  writeFileAtomically(path, bytes, kPrivateToUser, DirectoryFlush::InBatch));
    // The next reading of these bytes gives the record with its dates in whole seconds.
    std::optional<Value> readBack = written ? xmlReadBack(std::move(record)) : std::nullopt;
    if (readBack && readBack->isDict() && dropNonFiniteAmounts(*readBack->asDict()).empty())
        DecodedRecords::instance().remember(path, std::move(bytes), std::move(*readBack->asDict()));
    else
        DecodedRecords::instance().forget(path);
    return written;
}

} // namespace byteward
