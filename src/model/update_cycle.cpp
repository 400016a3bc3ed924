// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The update cycle: both usage records brought up to date, then the alerts; and the location
// fixes that start one.
#include "model/update_cycle.h"

#include "model/app_usage.h"
#include "model/communications.h"
#include "model/history.h"
#include "platform/data_lock.h"
#include "platform/files.h"
#include "storage/keyed_archive_store.h"

#include <chrono>
#include <cmath>

namespace byteward {

UpdateCycle::UpdateCycle(Services &services, LocationService *location)
    : services_(services), settings_(services), records_{AppData(services), AppData(services)},
      units_(services, settings_), location_(location) {
}

UpdateCycle::~UpdateCycle() = default;

FileResult UpdateCycle::backgroundUpdate(const std::string &location,
                                         bool shouldResetSinceLastAppRun) {
    // One look at the settings file for the whole cycle.
    const UserDefaultsReadHold hold(services_.defaults);
    settings_.getSettings();
    // Both records are brought up to date before any alert is evaluated, from one reading of
    // the counters. It is taken under the lock that both updates hold: a reading older than one
    // another process stored in between would look like counters that started again.
    const KeepDecodedStores keep;
    PerType<FileResult> updated;
    {
        const DataLock lock(services_.paths.dataDir);
        // Both records' renames reach the disk with one flush of their folder, before the lock
        // is let go.
        const DirectoryFlushBatch flushes;
        const StatsSnapshot reading = services_.statistics.read();
        const AppData::UpdateHold cellularHold(records_[DataType::Cellular]);
        const AppData::UpdateHold wifiHold(records_[DataType::WiFi]);
        {
            // A day change closes a day for each type: both logs go to the history in one write
            // (years of history take longer to encode than anything else in an update), and it
            // is written before either record, which must never be stored ahead of its logs.
            ArchiveWriteBatch logs(History::archivePath(services_));
            for (const DataType type : kDataTypes) {
                AppData &record = records_[type];
                record.cycleReading = &reading;
                updated[type] = record.beginBackgroundUpdate(dataTypeName(type), location,
                                                             shouldResetSinceLastAppRun);
                record.cycleReading = nullptr;
            }
            const FileResult written = logs.commit();
            for (const DataType type : kDataTypes)
                if (updated[type]) updated[type] = records_[type].finishBackgroundUpdate(written);
        }
        // Which application moved the bytes, by the same interfaces and spans the records just
        // used. Without the per-application counter this reads one missing file; a failure is
        // noted and leaves the usage figures alone.
        if (updated.cellular || updated.wifi)
            (void)updateAppUsage(services_, records_, readOwnAppStats());
    }
    // A record that was not updated holds nothing new to announce.
    for (const DataType type : kDataTypes)
        if (updated[type]) evaluateAlerts(records_[type], type);
    if (updated[DataType::Cellular]) evaluateRoaming(records_[DataType::Cellular]);
    return updated.cellular.andThen(updated.wifi);
}

float UpdateCycle::planLimit(DataType type) const {
    const PlanSettings &plan = settings_.plans[type];
    return units_.getPlanLimitInDisplayUnitFrom(plan.dataLimit,
                                                AppSettings::text(plan.dataLimitUnit));
}

float UpdateCycle::dailyCap(DataType type) const {
    const PlanSettings &plan = settings_.plans[type];
    return units_.getPlanLimitInDisplayUnitFrom(plan.dailyCap,
                                                AppSettings::text(plan.dailyCapUnit));
}

void UpdateCycle::startSignificantChangesUpdate() {
    if (location_ == nullptr || !location_->locationServicesEnabled()) return;
    if (!location_->significantLocationChangeMonitoringAvailable()) return;
    location_->requestAlwaysAuthorization();
    location_->startMonitoringSignificantLocationChanges(*this);
}

void UpdateCycle::stopSignificantChangesUpdate() {
    if (location_ == nullptr || !location_->locationServicesEnabled()) return;
    if (location_->significantLocationChangeMonitoringAvailable())
        location_->stopMonitoringSignificantLocationChanges();
}

void UpdateCycle::locationManager(LocationService &manager, const Location &newLocation,
                                  const Location * /*oldLocation*/) {
    // Stale fixes (more than 14 whole seconds old) are replays of an earlier position.
    const auto age =
        std::chrono::duration<double>(newLocation.timestamp - services_.clock.now()).count();
    if (std::abs(std::trunc(age)) > 14) return;

    // The figure the previous cycle left goes on the icon now.
    Communications::sendBadgeNotification(services_,
                                          static_cast<long long>(appBadgeNumber.value_or(0)));

    if (!geocoder_) geocoder_ = manager.makeGeocoder();
    // Each fix geocodes its own coordinate, so the place follows the device.
    if (geocoder_) geocoder_->start(newLocation.coordinate, *this);
}

void UpdateCycle::locationManager(LocationService & /*manager*/, const std::string & /*error*/) {
}

void UpdateCycle::reverseGeocoder(ReverseGeocoder & /*geocoder*/, const Placemark &placemark) {
    // Write failures are noted where they happen: logged, and told to the app's listener.
    backgroundUpdate(placemark.locality + ", " + placemark.administrativeArea, false);
}

void UpdateCycle::reverseGeocoder(ReverseGeocoder & /*geocoder*/, const std::string & /*error*/) {
    backgroundUpdate("Unknown", false);
}

} // namespace byteward
