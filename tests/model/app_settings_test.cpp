// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_settings.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

// What the conversion leaves in the defaults, key by key.
struct Converted {
    const char *key;
    Value value;
};

std::vector<Converted> convertedDefaults(bool push, long long planCode, long long cellLimit,
                                         long long wifiLimit, bool backgrounding) {
    return {
        {"enablePushNotifications", Value(push)},
        {"firstDayOfCycle", Value(planCode)},
        {"firstDayOfCycleWifi", Value(planCode)},
        {"cellularDataLimit", Value(cellLimit)},
        {"wifiDataLimit", Value(wifiLimit)},
        {"enableBackgrounding", Value(backgrounding)},
        {"cell_daily_cap", Value(0)},
        {"wifi_daily_cap", Value(0)},
        {"startup_settings", Value("CELL")},
        {"dataunit_settings", Value("MB")},
        {"cellularDataLimitUnit", Value("MB")},
        {"wifiDataLimitUnit", Value("MB")},
        {"dailyCapUnit", Value("MB")},
        {"dailyCapUnitWifi", Value("MB")},
        {"progressYellow", Value("AVG")},
        {"progressRed", Value("USE100")},
        {"appBadgeSetting", Value("BILLINGRESET")},
        {"enableHighPrecision", Value(false)},
        {"legacySettingsConverted", Value(true)},
    };
}

const char *kLegacy15 = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>enablePushNotifications</key><false/>
<key>firstDayOfCycle</key><integer>15</integer>
<key>cellularDataLimit</key><integer>2048</integer>
<key>wifiDataLimit</key><integer>0</integer>
</dict></plist>)";

const char *kLegacyNoBackground = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>enablePushNotifications</key><true/>
<key>firstDayOfCycle</key><integer>3</integer>
<key>cellularDataLimit</key><integer>500</integer>
<key>wifiDataLimit</key><integer>10000</integer>
<key>enableBackgrounding</key><false/>
</dict></plist>)";

TEST(AppSettings, ConvertsOnceFromTheEarlierFileOrFromNothing) {
    struct Case {
        const char *name;
        const char *legacyFile; // nullptr: no earlier settings file
        std::vector<Converted> expected;
    };
    const Case cases[] = {
        {"fresh installation", nullptr, convertedDefaults(true, 1, 0, 0, true)},
        {"earlier file without backgrounding", kLegacy15,
         convertedDefaults(false, 15, 2048, 0, true)},
        {"earlier file with backgrounding off", kLegacyNoBackground,
         convertedDefaults(true, 3, 500, 10000, false)},
        {"unreadable earlier file", "garbage", convertedDefaults(false, 0, 0, 0, true)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test::TestEnv env;
        if (c.legacyFile != nullptr)
            test::writeFile(env.paths().dataDir / "app_settings.plist", c.legacyFile);
        AppSettings settings(env.services());
        EXPECT_EQ(settings.settingsExist(), c.legacyFile != nullptr);
        settings.getSettings();
        auto fresh = env.openDefaultsAgain(); // what is on disk, not in memory
        for (const auto &e : c.expected) {
            const auto stored = fresh->objectForKey(e.key);
            ASSERT_TRUE(stored.has_value()) << e.key;
            EXPECT_EQ(*stored, e.value) << e.key;
        }
        EXPECT_EQ(settings.firstDayOfCycleWifi(), settings.firstDayOfCycle());
        EXPECT_EQ(AppSettings::text(settings.appBadgeSetting), "BILLINGRESET");
    }
}

TEST(AppSettings, LaterLoadsNeverConvertAgain) {
    test::TestEnv env;
    AppSettings settings(env.services());
    settings.getSettings();
    // The user changes a setting; an earlier file appears (restored from a backup, say).
    env.defaults().setObject("firstDayOfCycle", Value(20));
    env.defaults().synchronize();
    test::writeFile(env.paths().dataDir / "app_settings.plist", kLegacy15);
    settings.getSettings();
    EXPECT_EQ(settings.firstDayOfCycle()->integerValue(), 20);
    EXPECT_EQ(settings.cellularDataLimit()->integerValue(), 0);
}

TEST(AppSettings, PropertiesHoldWhatTheDefaultsHoldAndAbsentKeysStayAbsent) {
    test::TestEnv env;
    AppSettings settings(env.services());
    settings.getSettings();
    env.defaults().setObject("cellularDataLimit",
                             Value("2.5")); // as a settings screen may store it
    env.defaults().removeObjectForKey("dataunit_settings");
    env.defaults().synchronize();
    settings.getSettings();
    EXPECT_TRUE(settings.cellularDataLimit()->isString());
    EXPECT_FLOAT_EQ(settings.cellularDataLimit()->floatValue(), 2.5f);
    EXPECT_FALSE(settings.displayUnit.has_value());
    EXPECT_EQ(AppSettings::text(settings.displayUnit), "");
}

TEST(AppSettingsReader, AbsentSwitchIsOnAndAbsentNumberIsZero) {
    test::TestEnv env;
    const AppSettingsReader reader(env.defaults());
    EXPECT_TRUE(reader.getSettingsBoolValueForKey("CellularFiftyPercentAlert"));
    EXPECT_EQ(reader.getSettingsFloatValueForKey("never_written"), 0.0f);
    env.defaults().setObject("CellularFiftyPercentAlert", Value(false));
    env.defaults().setObject("someFloat", Value("1.25"));
    env.defaults().synchronize();
    EXPECT_FALSE(reader.getSettingsBoolValueForKey("CellularFiftyPercentAlert"));
    EXPECT_FLOAT_EQ(reader.getSettingsFloatValueForKey("someFloat"), 1.25f);
}

} // namespace
} // namespace byteward
