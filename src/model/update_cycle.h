// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/app_data.h"
#include "model/app_settings.h"
#include "model/data_type.h"
#include "model/display_units.h"
#include "platform/i18n.h"
#include "platform/local_notification.h"
#include "platform/location.h"
#include "platform/result.h"
#include "storage/services.h"

#include <memory>
#include <optional>
#include <string>

namespace byteward {

// One type's period against its plan, in the display unit, as the dashboards and the widget
// show it. Single precision throughout, as the figures were always computed.
struct PeriodFigures {
    float used = 0;
    std::string usedText; // "12.34"
    bool limited = false; // the plan has a limit above zero; the rest is zero without one
    float limit = 0;
    float elapsed = 0; // days of the period gone, today's part included
    float cycleDays = 0;
    float ideal = 0; // what an even pace would have used by now
    float usedPercent = 0;
    float idealPercent = 0;
    float remainingPercent = 0;
    float remaining = 0;
    float daysLeft = 0;
    float dailyRate = 0;
    float daysToQuota = 0; // from the period's start, at today's pace
    float projected = 0;   // at the period's end, at today's pace
    float projectedPercent = 0;
    std::string usageText;     // "45.6%"
    std::string availableText; // "OF 5.0 GB USED"
};

// What one sample does: brings both usage records up to date, then raises the usage alerts and
// works out the badge figure. Location fixes, where there is a location service, start a cycle
// that records the place. The dashboards show its results; the daemon and a background fetch
// run it without any screen.
class UpdateCycle : public LocationDelegate {
  public:
    // `location` may be null: no location wake-ups.
    explicit UpdateCycle(Services &services, LocationService *location = nullptr);
    ~UpdateCycle() override;
    UpdateCycle(const UpdateCycle &) = delete;
    UpdateCycle &operator=(const UpdateCycle &) = delete;

    // Says which record was not updated and why (the counters were unreadable, a file could not
    // be written). Write failures are also noted where they happen (noteWrite: logged once per
    // condition and told to the app's listener), so a caller that would only log may leave the
    // result.
    FileResult backgroundUpdate(const std::string &location, bool shouldResetSinceLastAppRun);

    void startSignificantChangesUpdate();
    void stopSignificantChangesUpdate();
    void locationManager(LocationService &manager, const Location &newLocation,
                         const Location *oldLocation) override;
    void locationManager(LocationService &manager, const std::string &error) override;
    void reverseGeocoder(ReverseGeocoder &geocoder, const Placemark &placemark) override;
    void reverseGeocoder(ReverseGeocoder &geocoder, const std::string &error) override;

    // Usage alerts: the milestone notifications of one type, at most the most severe one a
    // cycle reached.
    bool sendLocalNotificationForNotificationKey(const std::string &key, float defaultValue,
                                                 float percentRemain, const std::string &type,
                                                 float dataUsed);
    void resetNotificationKeys(DataType type);
    // Days of the period gone, with today's part of a day.
    float elapsedDays(const AppData &record) const;

    // A whole sample as a wake-up without a window takes it: the cycle, then both types'
    // figures published.
    FileResult sample();
    // Both types' figures published from the records as the last cycle left them.
    void publishFigures();
    // The period figures of a record that has its billing dates; `dataLimit` in the display unit.
    PeriodFigures periodFigures(const AppData &record, std::optional<float> dataLimit) const;
    // Puts one type's figures where they go outside the window: the badge figure the setting
    // asks for and the home-screen widget's values.
    void publishPeriod(const AppData &record, const PeriodFigures &figures);

    // The plan limit of a type in the display unit, with the settings as last loaded.
    float planLimit(DataType type) const;
    // The daily cap of a type in the display unit.
    float dailyCap(DataType type) const;

    AppData &record(DataType type) { return records_[type]; }
    const AppData &record(DataType type) const { return records_[type]; }
    AppSettings &settings() { return settings_; }
    const AppSettings &settings() const { return settings_; }
    const DisplayUnits &units() const { return units_; }

    // What the icon badge is to show; empty for none.
    std::optional<float> appBadgeNumber;

    static constexpr const char *kNewCellularCycleMessage =
        N_("Cellular plan data usage was reset automatically due to start of new billing cycle.");
    static constexpr const char *kNewWiFiCycleMessage =
        N_("WiFi plan data usage was reset automatically due to start of new billing cycle.");

    // User-defaults keys of the cellular link. Off when absent: cellular data turned off at the
    // quota (at most once a period), and the roaming quota in megabytes.
    static constexpr const char *kDataLimitKey = "turnOffCellularAtQuota";
    static constexpr const char *kRoamingQuotaKey = "roamingQuotaMB";
    // The notification's action that turns cellular data on again, as its user info names it.
    static constexpr const char *kActionKey = kNotificationActionKey;
    static constexpr const char *kCellularOnAction = "byteward-cellular-on";
    static constexpr const char *kDataLimitMessage =
        N_("Cellular data was turned off: the plan's quota is used up.");

  private:
    void evaluateAlerts(AppData &record, DataType type);
    void evaluateRoaming(const AppData &record);
    void enforceDataLimit(AppData &record, float remainingPercent);
    void runMilestoneCascade(float percentRemain, const std::string &typeWord, float dataUsed);

    Services &services_;
    AppSettings settings_;
    PerType<AppData> records_;
    DisplayUnits units_;
    LocationService *location_;
    std::unique_ptr<ReverseGeocoder> geocoder_;
};

// The word a type's alerts and their stored flags use: "Cellular" or "WiFi".
const char *alertTypeWord(DataType type);

// The badge settings that show a percent of one type's plan.
bool isPercentBadgeSetting(const std::string &setting, bool isCellular);

} // namespace byteward
