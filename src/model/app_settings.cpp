// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_settings.h"

#include "platform/data_lock.h"
#include "platform/files.h"
#include "storage/plist_codec.h"

#include <array>
#include <exception>

namespace byteward {

namespace {

struct Binding {
    std::optional<Value> AppSettings::*property;
    const char *key;
};

// Every property and the user-defaults key it is read from.
constexpr std::array<Binding, 8> kBindings{{
    {&AppSettings::enablePushNotifications, "enablePushNotifications"},
    {&AppSettings::enableBackgrounding, "enableBackgrounding"},
    {&AppSettings::startupScreen, "startup_settings"},
    {&AppSettings::displayUnit, "dataunit_settings"},
    {&AppSettings::progressYellow, "progressYellow"},
    {&AppSettings::progressRed, "progressRed"},
    {&AppSettings::appBadgeSetting, "appBadgeSetting"},
    {&AppSettings::enableHighPrecision, "enableHighPrecision"},
}};

struct PlanBinding {
    std::optional<Value> PlanSettings::*property;
    PerType<const char *> key;
};

// Every plan property and its key for each type.
constexpr std::array<PlanBinding, 5> kPlanBindings{{
    {&PlanSettings::firstDayOfCycle, {"firstDayOfCycle", "firstDayOfCycleWifi"}},
    {&PlanSettings::dataLimit, {"cellularDataLimit", "wifiDataLimit"}},
    {&PlanSettings::dataLimitUnit, {"cellularDataLimitUnit", "wifiDataLimitUnit"}},
    {&PlanSettings::dailyCap, {"cell_daily_cap", "wifi_daily_cap"}},
    {&PlanSettings::dailyCapUnit, {"dailyCapUnit", "dailyCapUnitWifi"}},
}};

// A value of the earlier settings file, read the way the old reader did: absent reads 0 / NO.
struct LegacyFile {
    ValueDict entries;
    bool boolean(const char *key) const {
        const Value *v = entries.find(key);
        return v != nullptr && v->boolValue();
    }
    std::int64_t integer(const char *key) const {
        const Value *v = entries.find(key);
        return v != nullptr ? v->integerValue() : 0;
    }
};

} // namespace

std::filesystem::path AppSettings::dataFilePath() const {
    return services_.paths.dataDir / "app_settings.plist";
}

bool AppSettings::settingsExist() const {
    std::error_code ec;
    return std::filesystem::exists(dataFilePath(), ec);
}

std::string AppSettings::text(const std::optional<Value> &property) {
    if (!property) return {};
    return property->stringValue();
}

void AppSettings::getSettings() {
    UserDefaults &defaults = services_.defaults;
    try {
        if (!defaults.objectForKey(kLegacyConvertedKey)) {
            // Two processes starting for the first time together must not both convert.
            DataLock lock(services_.paths.dataDir);
            if (!defaults.objectForKey(kLegacyConvertedKey)) {
                defaults.setObject(kLegacyConvertedKey, Value(true));
                getLegacySettings();
            }
        }
        for (const auto &binding : kPlanBindings)
            for (const DataType type : kDataTypes)
                plans[type].*binding.property = defaults.objectForKey(binding.key[type]);
        for (const auto &binding : kBindings)
            this->*binding.property = defaults.objectForKey(binding.key);
        defaults.synchronize();
    } catch (const std::exception &error) {
        services_.log.line(std::string("Exception Occured: ") + error.what());
    }
}

void AppSettings::getLegacySettings() {
    LegacyFile old;
    bool haveFile = false;
    if (settingsExist()) {
        haveFile = true;
        if (const auto bytes = readWholeFile(dataFilePath())) {
            if (auto parsed = parsePropertyList(*bytes); parsed && parsed->isDict())
                old.entries = *parsed->asDict();
        }
    }
    const bool backgroundingKnown = haveFile && old.entries.contains("enableBackgrounding");

    UserDefaults &d = services_.defaults;
    d.setObject("enablePushNotifications",
                Value(haveFile ? old.boolean("enablePushNotifications") : true));
    d.setObject("firstDayOfCycle", Value(haveFile ? old.integer("firstDayOfCycle") : 1));
    d.setObject("firstDayOfCycleWifi", Value(haveFile ? old.integer("firstDayOfCycle") : 1));
    d.setObject("cellularDataLimit", Value(haveFile ? old.integer("cellularDataLimit") : 0));
    d.setObject("wifiDataLimit", Value(haveFile ? old.integer("wifiDataLimit") : 0));
    d.setObject("enableBackgrounding",
                Value(backgroundingKnown ? old.boolean("enableBackgrounding") : true));
    d.setObject("cell_daily_cap", Value(0));
    d.setObject("wifi_daily_cap", Value(0));
    d.setObject("startup_settings", Value("CELL"));
    d.setObject("dataunit_settings", Value("MB"));
    d.setObject("cellularDataLimitUnit", Value("MB"));
    d.setObject("wifiDataLimitUnit", Value("MB"));
    d.setObject("dailyCapUnit", Value("MB"));
    d.setObject("dailyCapUnitWifi", Value("MB"));
    d.setObject("progressYellow", Value("AVG"));
    d.setObject("progressRed", Value("USE100"));
    d.setObject("appBadgeSetting", Value("BILLINGRESET"));
    d.setObject("enableHighPrecision", Value(false));
    d.synchronize();
}

float AppSettingsReader::getSettingsFloatValueForKey(const std::string &key) const {
    const auto value = defaults_.objectForKey(key);
    return value ? value->floatValue() : 0.0f;
}

bool AppSettingsReader::getSettingsBoolValueForKey(const std::string &key) const {
    const auto value = defaults_.objectForKey(key);
    return value ? value->boolValue() : true;
}

} // namespace byteward
