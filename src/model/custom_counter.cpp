// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/custom_counter.h"

#include "model/communications.h"
#include "model/text_format.h"
#include "model/util.h"
#include "platform/i18n.h"
#include "platform/iso8601.h"
#include "storage/keyed_archive_store.h"

#include <algorithm>
#include <iterator>

namespace byteward {

namespace fs = std::filesystem;

namespace {

constexpr const char *kCountersKey = "customcounters";
constexpr const char *kClassName = "CustomCounter";
constexpr const char *kSampleCounterName = N_("Sample Counter");
constexpr const char *kEndAction = N_("View");
constexpr std::int32_t kCellularCode = 1;
constexpr std::int32_t kWiFiCode = 2;

ArchiveObject encodeCounter(const CustomCounter &counter) {
    ArchiveObject object = ArchiveObject::instance(kClassName);
    object.reserveFields(16);
    auto date = [&object](const char *key, const std::optional<Instant> &v) {
        if (v) object.encodeObject(key, ArchiveObject::date(*v));
    };
    auto amount = [&object](const char *key, const std::optional<double> &v) {
        if (v) object.encodeObject(key, ArchiveObject::real(*v));
    };
    object.encodeObject("name", ArchiveObject::string(counter.name));
    object.encodeBool("trackCellular", counter.trackCellular);
    object.encodeBool("trackWiFi", counter.trackWiFi);
    date("startDate", counter.startDate);
    date("endDate", counter.endDate);
    object.encodeInt32("direction", counter.direction);
    object.encodeBool("notifyOnEnd", counter.notifyOnEnd);
    amount("cellularDataSent", counter.cellularDataSent);
    amount("cellularDataReceived", counter.cellularDataReceived);
    amount("cellularDataTotal", counter.cellularDataTotal);
    amount("wifiDataSent", counter.wifiDataSent);
    amount("wifiDataReceived", counter.wifiDataReceived);
    amount("wifiDataTotal", counter.wifiDataTotal);
    object.encodeBool("isPaused", counter.isPaused);
    // No identifier is left out rather than stored as an empty one.
    if (!counter.uniqueId.empty())
        object.encodeObject("uniqueId", ArchiveObject::string(counter.uniqueId));
    return object;
}

CustomCounter decodeCounter(const ArchiveObject &object) {
    CustomCounter counter;
    counter.name = object.decodeString("name").value_or("");
    counter.trackCellular = object.decodeBool("trackCellular");
    counter.trackWiFi = object.decodeBool("trackWiFi");
    counter.startDate = object.decodeDate("startDate");
    counter.endDate = object.decodeDate("endDate");
    counter.direction = object.decodeInt32("direction");
    counter.notifyOnEnd = object.decodeBool("notifyOnEnd");
    counter.cellularDataSent = object.decodeDouble("cellularDataSent");
    counter.cellularDataReceived = object.decodeDouble("cellularDataReceived");
    counter.cellularDataTotal = object.decodeDouble("cellularDataTotal");
    counter.wifiDataSent = object.decodeDouble("wifiDataSent");
    counter.wifiDataReceived = object.decodeDouble("wifiDataReceived");
    counter.wifiDataTotal = object.decodeDouble("wifiDataTotal");
    counter.isPaused = object.decodeBool("isPaused");
    counter.uniqueId = object.decodeString("uniqueId").value_or("");
    return counter;
}

using Store = KeyedArchiveStore<CustomCounter>;

Store store(Services &services) {
    return {KeyedArchiveFile(services, CustomCounter::archivePath(services), kCountersKey,
                             "custom counter archive"),
            encodeCounter, decodeCounter};
}

// Reads the stored counters, lets `change` edit them and writes them back under the data lock.
template <typename Change> FileResult modifyCounters(Services &services, Change change) {
    return store(services).modify([&change](Store::Loaded &loaded) { change(loaded.records); });
}

// The first stored counter with the identifier; a counter without one matches nothing.
std::vector<CustomCounter>::iterator findCounter(std::vector<CustomCounter> &counters,
                                                 const std::string &uniqueId) {
    if (uniqueId.empty()) return counters.end();
    return std::find_if(counters.begin(), counters.end(),
                        [&uniqueId](const CustomCounter &c) { return c.uniqueId == uniqueId; });
}

// How a date appears in the log lines; "(null)" for none.
std::string dateText(Services &services, const std::optional<Instant> &date) {
    return date ? formatIso8601(*date, services.calendar) : "(null)";
}

void addAmounts(std::optional<double> &sent, std::optional<double> &received,
                std::optional<double> &total, double addSent, double addReceived) {
    sent = sent.value_or(0) + addSent;
    received = received.value_or(0) + addReceived;
    total = *received + *sent;
}

std::int32_t typeCode(const std::string &dataType) {
    if (dataType == "wifi") return kWiFiCode;
    if (dataType == "cellular") return kCellularCode;
    return 0;
}

bool hasEnded(const CustomCounter &counter, Instant now) {
    return counter.endDate && *counter.endDate <= now;
}

} // namespace

CustomCounter CustomCounter::initWithName(const std::string &name, Instant now) {
    CustomCounter counter;
    counter.name = name;
    counter.startDate = now;
    counter.cellularDataSent = counter.cellularDataReceived = counter.cellularDataTotal = 0.0;
    counter.wifiDataSent = counter.wifiDataReceived = counter.wifiDataTotal = 0.0;
    counter.uniqueId = Util::GetUUID();
    return counter;
}

void CustomCounter::addDataToCounterWithDataSent(double sent, double received,
                                                 std::int32_t dataType) {
    if (isPaused) return;
    if (dataType == kCellularCode && trackCellular)
        addAmounts(cellularDataSent, cellularDataReceived, cellularDataTotal, sent, received);
    else if (dataType == kWiFiCode && trackWiFi)
        addAmounts(wifiDataSent, wifiDataReceived, wifiDataTotal, sent, received);
}

void CustomCounter::resetCellular() {
    cellularDataSent = cellularDataReceived = cellularDataTotal = 0.0;
}

void CustomCounter::resetWiFi() {
    wifiDataSent = wifiDataReceived = wifiDataTotal = 0.0;
}

std::optional<CustomCounter> CustomCounter::copy() const {
    const auto copied = copyThroughArchive(encodeCounter(*this));
    if (!copied) return std::nullopt;
    return decodeCounter(*copied);
}

std::vector<CustomCounter> CustomCounter::getAllCustomCounters(Services &services) {
    return store(services).load().records;
}

FileResult CustomCounter::saveCustomCounterData(Services &services,
                                                const std::vector<CustomCounter> &counters) {
    return modifyCounters(services,
                          [&counters](std::vector<CustomCounter> &stored) { stored = counters; });
}

FileResult CustomCounter::addCustomCounter(Services &services, const CustomCounter &counter) {
    return modifyCounters(services, [&](std::vector<CustomCounter> &counters) {
        if (counter.notifyOnEnd && counter.endDate) {
            services.log.line("While Adding Custom Counter " + counter.name +
                              " will be notified to end on " + dateText(services, counter.endDate));
            Communications::sendLocalNotificationOnDate(
                services, *counter.endDate,
                format(tr("Custom Counter %s Ended!"), counter.name.c_str()), tr(kEndAction),
                counter.uniqueId);
        }
        counters.push_back(counter);
    });
}

FileResult CustomCounter::saveCustomCounter(Services &services, const CustomCounter &counter) {
    return modifyCounters(services, [&](std::vector<CustomCounter> &counters) {
        const auto stored = findCounter(counters, counter.uniqueId);
        if (stored == counters.end()) return;
        if (stored->notifyOnEnd) {
            Communications::cancelLocationNotification(services, stored->uniqueId);
            services.log.line("Notification cancellled");
        }
        if (counter.notifyOnEnd && counter.endDate) {
            services.log.line("Custom Counter " + counter.name + " will be notified to end on " +
                              dateText(services, counter.endDate));
            Communications::sendLocalNotificationOnDate(
                services, *counter.endDate,
                format(tr("Custom counter %s ended!"), counter.name.c_str()), tr(kEndAction),
                counter.uniqueId);
        } else {
            services.log.line(counter.name + " date is null " +
                              dateText(services, counter.endDate));
        }
        *stored = counter;
    });
}

FileResult CustomCounter::removeCustomCounter(Services &services, const CustomCounter &counter) {
    return modifyCounters(services, [&](std::vector<CustomCounter> &counters) {
        const auto stored = findCounter(counters, counter.uniqueId);
        if (stored == counters.end()) return;
        // Either copy may be the one that asked for it; a deleted counter must not announce
        // its end.
        if (counter.notifyOnEnd || stored->notifyOnEnd)
            Communications::cancelLocationNotification(services, counter.uniqueId);
        counters.erase(stored);
    });
}

FileResult CustomCounter::reorderCustomCounterFromIndex(Services &services, std::size_t from,
                                                        std::size_t to) {
    return modifyCounters(services, [&](std::vector<CustomCounter> &counters) {
        // An index past the end would take or put a counter that is not there; leave the list.
        if (from >= counters.size() || to >= counters.size()) {
            services.log.line("Cannot move custom counter " + std::to_string(from) + " to " +
                              std::to_string(to) + ": there are " +
                              std::to_string(counters.size()));
            return;
        }
        CustomCounter moved = std::move(counters[from]);
        counters.erase(counters.begin() + static_cast<std::ptrdiff_t>(from));
        counters.insert(counters.begin() + static_cast<std::ptrdiff_t>(to), std::move(moved));
    });
}

bool CustomCounter::setCustomCounterPaused(Services &services, const std::string &uniqueId,
                                           bool isPaused) {
    bool found = false;
    const FileResult written = modifyCounters(services, [&](std::vector<CustomCounter> &counters) {
        const auto stored = findCounter(counters, uniqueId);
        if (stored == counters.end()) return;
        stored->isPaused = isPaused;
        found = true;
    });
    return found && written.ok();
}

FileResult CustomCounter::updateCustomCountersWithDataSentSinceLastRun(
    Services &services, double sent, double received, const std::string &dataType) {
    const Instant now = services.clock.now();
    const std::int32_t code = typeCode(dataType);
    return store(services).modify([&](Store::Loaded &loaded) {
        // The first update of a fresh installation creates the sample counter.
        if (!loaded.hadData)
            loaded.records.push_back(CustomCounter::initWithName(tr(kSampleCounterName), now));
        for (auto &counter : loaded.records) {
            if (code != 0) counter.addDataToCounterWithDataSent(sent, received, code);
            if (hasEnded(counter, now)) counter.isPaused = true;
        }
    });
}

fs::path CustomCounter::archivePath(const Services &services) {
    return services.paths.dataDir / "customcounters.archive";
}

} // namespace byteward
