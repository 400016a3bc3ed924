// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The counter update of AppData: turns a fresh reading of the interface counters into stored
// usage, by difference with the reading kept at the previous update.
#include "model/app_data.h"
#include "model/cellular_link.h"
#include "model/custom_counter.h"
#include "model/device_info.h"
#include "model/history.h"
#include "model/interface_classifier.h"
#include "model/util.h"
#include "platform/data_lock.h"

#include <algorithm>

namespace byteward {

AppData::UpdateHold::UpdateHold(AppData &record) : record_(record) {
    record_.stored_.reset();
    record_.keepStored_ = true;
}

AppData::UpdateHold::~UpdateHold() {
    record_.keepStored_ = false;
    record_.stored_.reset();
}

FileResult AppData::performBackgroundUpdateForType(const std::string &type,
                                                   const std::string &location,
                                                   bool shouldResetSinceLastAppRun) {
    // Load, change and save as one step, so an app, a daemon and a CLI updating together never
    // count the same traffic twice.
    DataLock lock(services_.paths.dataDir);
    const UpdateHold hold(*this);
    if (FileResult begun = beginBackgroundUpdate(type, location, shouldResetSinceLastAppRun);
        !begun)
        return begun;
    return finishBackgroundUpdate({});
}

FileResult AppData::notUpdated(const FileResult &why) const {
    const std::string typeName = appDataType == kWiFi ? "Wi-Fi" : "cellular";
    return FileResult::failure("the " + typeName + " usage was not updated: " + why.error);
}

FileResult AppData::beginBackgroundUpdate(const std::string &type, const std::string &location,
                                          bool shouldResetSinceLastAppRun) {
    // The flag tells of this update alone; one that stops early started no period.
    monthlyResetOccured = false;
    historyWritten_ = {};
    historyAppended_ = false;
    roamingIncrement_ = 0;
    getAppData(type);
    if (FileResult counted = updateStandardCounters(shouldResetSinceLastAppRun); !counted)
        return notUpdated(counted);
    udpateBillingCounter(true);
    // A day or period closed without its log is closed again by the next update, which finds the
    // record as it was: the stored reading, and so the traffic, wait for it.
    if (!historyWritten_) return notUpdated(historyWritten_);
    followCellularLink(roamingIncrement_);
    if (lastLocation && !lastLocation->empty() && *lastLocation != "Unknown")
        lastLocationDataUsed = lastLocation;
    lastLocation = location;
    lastUpdate = accountingNow();
    sentSinceLastRun_ = dataSinceLastRunSent.value_or(0);
    receivedSinceLastRun_ = dataSinceLastRunRecd.value_or(0);
    if (storeAsUpdatedAgain) settleAsUpdatedAgain();
    return {};
}

FileResult AppData::finishBackgroundUpdate(const FileResult &logs) {
    // Not stored ahead of the logs it closed: the next update closes them again.
    if (historyAppended_ && !logs) return notUpdated(logs);
    if (FileResult saved = saveAppData(); !saved) return notUpdated(saved);
    // After the record: counters that missed this increment are better than counters that get
    // it twice when a record that could not be saved is updated again. The record is updated
    // either way; a failure here is noted like every store write (the CLI still exits 1).
    (void)CustomCounter::updateCustomCountersWithDataSentSinceLastRun(
        services_, sentSinceLastRun_, receivedSinceLastRun_, appDataType);
    return {};
}

void AppData::settleAsUpdatedAgain() {
    // Its increment is zero, on the same day: the day this update closed starts from zero rather
    // than "nothing yet"; everything else it would add or roll is already there.
    dataSinceLastRun = dataSinceLastRunSent = dataSinceLastRunRecd = 0.0;
    for (std::optional<double> *each :
         {&dataToday, &dataTodaySent, &dataTodayRecd, &dataSinceAppLastRun,
          &dataSinceAppLastRunSent, &dataSinceAppLastRunRecd})
        *each = each->value_or(0) == -1 ? 0.0 : each->value_or(0);
}

void AppData::appendHistoryLog(const History &log) {
    // An update that failed after writing a log writes it again when it is run again.
    if (!historyWritten_) return;
    historyAppended_ = true;
    historyWritten_ = History::addNewHistoryItemLogOnce(services_, log);
}

Instant AppData::accountingNow() const {
    // A clock set back (corrected by hand, or a clock kept in local time read as UTC until the
    // network time arrives) would make days and periods that were already closed end again,
    // each with a second log. Within this span the earlier update's time holds instead and the
    // traffic counts there. A clock further behind is taken as right: the one before was wrong.
    constexpr auto kHeldAtMost = std::chrono::hours(48);
    const Instant clock = services_.clock.now();
    if (!lastUpdate || !(clock < *lastUpdate) || *lastUpdate - clock > kHeldAtMost) return clock;
    static bool told = false;
    if (!told)
        services_.log.line("AppData: the clock is behind the last update; counting at the time "
                           "of the last update until it catches up");
    told = true;
    return *lastUpdate;
}

bool AppData::rebootedSinceLastUpdate() const {
    // The kernel's boot id changes at a boot and only then; the boot instant also moves when
    // the clock is stepped, which would count the whole reading again.
    const auto currentBootId = services_.boot.bootId();
    if (bootId && currentBootId) return *bootId != *currentBootId;

    const DeviceInfo device(services_.statistics, services_.boot);
    const std::int64_t bootSeconds = device.getSecondsSinceLastBoot();
    if (bootSeconds < 1 || !lastUpdate) return false;
    // The boot instant cut to the minute.
    const Calendar &calendar = services_.calendar;
    DateComponents boot = calendar.components(instantFromSeconds(static_cast<double>(bootSeconds)));
    boot.second = 0;
    return *lastUpdate < calendar.dateFromComponents(boot);
}

DeviceInfo::Reading AppData::incrementSinceLastUpdate(const DeviceInfo::Reading &current) const {
    // The counters start again from zero at a boot: everything read now is new.
    if (rebootedSinceLastUpdate()) return current;

    if (!interfaceReadings) {
        // A record without the per-interface reading: a total that went down (an interface
        // gone, a 32-bit counter wrapped) is taken as a restart of every counter.
        if (dataSinceLastBoot.value_or(0) > current.total) return current;
        DeviceInfo::Reading increment = current;
        increment.total = current.total - dataSinceLastBoot.value_or(0);
        increment.sent = current.sent - dataSinceLastBootSent.value_or(0);
        increment.received = current.received - dataSinceLastBootRecd.value_or(0);
        return increment;
    }

    // Interface by interface: one that was deleted and made again restarts from zero while the
    // others go on, and its new count may pass its old one, so no test on the sum can tell.
    DeviceInfo::Reading increment;
    for (const auto &now : current.interfaces) {
        if (!now.counted) continue;
        double sent = now.sent;
        double received = now.received;
        const auto before = std::find_if(interfaceReadings->begin(), interfaceReadings->end(),
                                         [&](const auto &i) { return i.name == now.name; });
        const bool sameInterface =
            before != interfaceReadings->end() &&
            (before->index == now.index || before->index < 0 || now.index < 0);
        if (sameInterface && now.sent >= before->sent && now.received >= before->received) {
            sent -= before->sent;
            received -= before->received;
        }
        increment.sent += sent;
        increment.received += received;
        increment.total += sent + received;
    }
    return increment;
}

FileResult AppData::updateStandardCounters(bool shouldResetSinceLastAppRun) {
    const StatsSnapshot snapshot =
        cycleReading != nullptr ? *cycleReading : services_.statistics.read();
    if (!snapshot.ok()) {
        // Counting an unreadable state as zero would count the next good reading whole.
        services_.log.line("AppData: the interface counters could not be read; " + appDataType +
                           " usage left as it was");
        return FileResult::failure("the interface counters could not be read: " + snapshot.error);
    }
    const auto current = DeviceInfo::readDataType(snapshot, dataTypeFromString(appDataType),
                                                  InterfaceClassifier::forServices(services_));

    if (!fileExists()) {
        // First run: everything the device counted since it started is the first all-time usage.
        dataAllTime = current.total;
        dataSinceLastBoot = current.total;
        dataAllTimeSent = current.sent;
        dataSinceLastBootSent = current.sent;
        dataAllTimeRecd = current.received;
        dataSinceLastBootRecd = current.received;
        dataSinceLastRun = dataSinceLastRunSent = dataSinceLastRunRecd = 0.0;
        dataSinceAppLastRun = dataSinceAppLastRunSent = dataSinceAppLastRunRecd = 0.0;
        lastLocation = "";
        lastLocationDataUsed = "";
        bootId = services_.boot.bootId();
        interfaceReadings = current.interfaces;
        return {};
    }

    const DeviceInfo::Reading increment = incrementSinceLastUpdate(current);
    if (appDataType == kCellular) {
        const auto modem = activeModem(services_.network.state());
        roamingIncrement_ = modem && modem->roaming ? increment.total : 0.0;
    }

    const double oldAllTime = dataAllTime.value_or(0);
    const double oldAllTimeSent = dataAllTimeSent.value_or(0);
    const double oldAllTimeRecd = dataAllTimeRecd.value_or(0);
    dataAllTime = oldAllTime + increment.total;
    dataAllTimeSent = oldAllTimeSent + increment.sent;
    dataAllTimeRecd = oldAllTimeRecd + increment.received;
    dataSinceLastRun = *dataAllTime - oldAllTime;
    dataSinceLastRunSent = *dataAllTimeSent - oldAllTimeSent;
    dataSinceLastRunRecd = *dataAllTimeRecd - oldAllTimeRecd;
    dataSinceLastBoot = current.total;
    dataSinceLastBootSent = current.sent;
    dataSinceLastBootRecd = current.received;
    bootId = services_.boot.bootId();
    interfaceReadings = current.interfaces;

    if (shouldResetSinceLastAppRun) {
        dataSinceAppLastRun = dataSinceAppLastRunSent = dataSinceAppLastRunRecd = 0.0;
    } else {
        dataSinceAppLastRun = dataSinceAppLastRun.value_or(0) + increment.total;
        dataSinceAppLastRunSent = dataSinceAppLastRunSent.value_or(0) + increment.sent;
        dataSinceAppLastRunRecd = dataSinceAppLastRunRecd.value_or(0) + increment.received;
    }

    const Instant now = accountingNow();
    if (lastUpdate && Util::date(*lastUpdate, now, services_.calendar)) {
        // -1 means nothing counted yet today: the day starts from 0, not from -1.
        auto addToday = [](std::optional<double> &day, double amount) {
            day = (day.value_or(0) == -1 ? 0.0 : day.value_or(0)) + amount;
        };
        addToday(dataToday, increment.total);
        addToday(dataTodaySent, increment.sent);
        addToday(dataTodayRecd, increment.received);
        if (roamingIncrement_ > 0)
            dataRoamingToday = dataRoamingToday.value_or(0) + roamingIncrement_;
    } else {
        closeDay(increment.sent, increment.received, increment.total);
    }
    return {};
}

void AppData::closeDay(double incrementSent, double incrementReceived, double incrementTotal) {
    if (lastUpdate) {
        const Calendar &calendar = services_.calendar;
        const DateComponents today = calendar.components(accountingNow());
        const DateComponents previous = calendar.components(*lastUpdate);
        // The day before today, unless the month changed in between: then today.
        const int endDay = today.day > previous.day ? today.day - 1 : today.day;
        const Instant endDate = calendar.dateFromComponents(
            DateComponents{today.year, today.month, endDay, 0, 0, 0, 0});

        double sent = dataTodaySent.value_or(0);
        double received = dataTodayRecd.value_or(0);
        double total = dataToday.value_or(0);
        if (!(total > incrementTotal)) {
            services_.log.line("AppData: Add History: Using range value for history");
            sent = incrementSent;
            received = incrementReceived;
            total = incrementTotal;
        }
        appendHistoryLog(History::initWithStartDate(
            lastUpdate, endDate, sent, received, total,
            appDataType == kCellular ? History::kCellular : History::kWiFi, History::kDailyLog));
    }
    // The increment of the update that closed the day belongs to neither day.
    dataToday = dataTodaySent = dataTodayRecd = -1.0;
    if (dataRoamingToday) dataRoamingToday = 0.0;
}

} // namespace byteward
