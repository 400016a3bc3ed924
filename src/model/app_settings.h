// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/data_type.h"
#include "platform/value.h"
#include "storage/services.h"

#include <filesystem>
#include <optional>
#include <string>

namespace byteward {

// The settings of one data type's plan; each as the user defaults hold it.
struct PlanSettings {
    std::optional<Value> firstDayOfCycle; // the billing cycle's code
    std::optional<Value> dataLimit;
    std::optional<Value> dataLimitUnit;
    std::optional<Value> dailyCap;
    std::optional<Value> dailyCapUnit;
};

// The plan and display settings, copied from the user defaults by getSettings. Each property
// holds whatever the defaults hold under its key (a number, or text as a settings screen may
// store it); an absent key leaves it empty.
class AppSettings {
  public:
    explicit AppSettings(Services &services) : services_(services) {}

    // Each type's plan; the accessors below give the names the settings are known by.
    PerType<PlanSettings> plans;
    std::optional<Value> enablePushNotifications;
    std::optional<Value> enableBackgrounding;
    std::optional<Value> startupScreen;
    std::optional<Value> displayUnit;
    std::optional<Value> progressYellow;
    std::optional<Value> progressRed;
    std::optional<Value> appBadgeSetting;
    std::optional<Value> enableHighPrecision;

    std::optional<Value> &firstDayOfCycle() { return plans.cellular.firstDayOfCycle; }
    std::optional<Value> &firstDayOfCycleWifi() { return plans.wifi.firstDayOfCycle; }
    std::optional<Value> &cellularDataLimit() { return plans.cellular.dataLimit; }
    std::optional<Value> &wifiDataLimit() { return plans.wifi.dataLimit; }
    std::optional<Value> &cellularDataLimitUnit() { return plans.cellular.dataLimitUnit; }
    std::optional<Value> &wifiDataLimitUnit() { return plans.wifi.dataLimitUnit; }
    std::optional<Value> &dailyCap() { return plans.cellular.dailyCap; }
    std::optional<Value> &dailyCapWifi() { return plans.wifi.dailyCap; }
    std::optional<Value> &dailyCapUnit() { return plans.cellular.dailyCapUnit; }
    std::optional<Value> &dailyCapWifiUnit() { return plans.wifi.dailyCapUnit; }

    // Converts the earlier version's settings once, then copies every key into its property.
    void getSettings();
    // The one-time conversion; only getSettings calls it.
    void getLegacySettings();
    // True when the earlier version's settings file exists.
    bool settingsExist() const;
    // Where the earlier version kept its settings: "app_settings.plist" in the documents folder.
    std::filesystem::path dataFilePath() const;

    // Re-reads the settings and schedules the billing-reset reminders afresh.
    void applySettings();
    static constexpr const char *kCellularReminderId = "BillingResetReminderCellular";
    static constexpr const char *kWiFiReminderId = "BillingResetReminderWiFi";

    // The text of a string property ("" when absent), for comparing with the fixed texts.
    static std::string text(const std::optional<Value> &property);

    static constexpr const char *kLegacyConvertedKey = "legacySettingsConverted";
    // The letter ("G", "Y", "R") of each usage bar's colour as last drawn.
    static constexpr const char *kCellularColourKey = "currentProgBarColor";
    static constexpr const char *kWiFiColourKey = "currentProgBarColorWiFi";

  private:
    Services &services_;
};

// Single values for the notification switches, read straight from the user defaults.
class AppSettingsReader {
  public:
    explicit AppSettingsReader(UserDefaults &defaults) : defaults_(defaults) {}
    // 0 when the key is absent.
    float getSettingsFloatValueForKey(const std::string &key) const;
    // YES when the key is absent: a switch never stored counts as on.
    bool getSettingsBoolValueForKey(const std::string &key) const;

  private:
    UserDefaults &defaults_;
};

} // namespace byteward
