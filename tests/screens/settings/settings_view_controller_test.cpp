// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"
#include "model/app_settings.h"
#include "screens/settings/settings_screen.h"
#include "screens/settings/settings_view_controller.h"
#include "support/test_env.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace byteward {
namespace {

constexpr const char *kSchemaFile = BYTEWARD_TEST_DATA "/../../resources/settings.plist";

std::vector<SettingsSection> shippedSchema() {
    std::string error;
    auto sections = SettingsViewController::loadSchema(kSchemaFile, error);
    EXPECT_EQ(error, "");
    return sections;
}

ValueDict args(std::initializer_list<std::pair<const char *, Value>> entries) {
    ValueDict d;
    for (const auto &[key, value] : entries)
        d.set(key, value);
    return d;
}

// The settings tab over the shipped schema, driven the way the window drives it: through the
// screen's actions, read back from what the screen shows.
class SettingsTabTest : public ::testing::Test {
  protected:
    const SettingsRow &row(const std::string &key) {
        for (const auto &section : controller.sections())
            for (const auto &r : section.rows)
                if (r.key == key) return r;
        ADD_FAILURE() << key << " is not in the schema";
        static const SettingsRow none;
        return none;
    }
    int indexOfTitle(const std::string &key, const std::string &title) {
        const auto &titles = row(key).titles;
        const auto it = std::find(titles.begin(), titles.end(), title);
        EXPECT_NE(it, titles.end()) << title;
        return static_cast<int>(it - titles.begin());
    }
    // The row as the window sees it.
    ValueDict shown(const std::string &key) {
        for (const auto &section : screen.sections())
            for (const auto &r : *section.asDict()->find("rows")->asArray())
                if (r.asDict()->find("key")->stringValue() == key) return *r.asDict();
        ADD_FAILURE() << key << " is not shown";
        return {};
    }
    std::string shownField(const std::string &key, const char *field) {
        const ValueDict r = shown(key);
        const Value *v = r.find(field);
        return v != nullptr ? v->stringValue() : "<absent>";
    }
    void store(const std::string &key, std::optional<Value> value) {
        if (value)
            env.defaults().setObject(key, *value);
        else
            env.defaults().removeObjectForKey(key);
    }

    test::TestEnv env;
    AnalyticsLog analytics{env.paths(), env.clock};
    SettingsViewController controller{env.services(), shippedSchema(), &analytics};
    SettingsScreen screen{controller};
};

TEST_F(SettingsTabTest, SchemaOffersEverySettingOnceWithTheRightControl) {
    using Kind = SettingsRow::Kind;
    const std::pair<const char *, Kind> expected[] = {
        {"cellularDataLimit", Kind::Number},   {"cellularDataLimitUnit", Kind::Choice},
        {"firstDayOfCycle", Kind::Choice},     {"cell_daily_cap", Kind::Number},
        {"dailyCapUnit", Kind::Choice},        {"wifiDataLimit", Kind::Number},
        {"wifiDataLimitUnit", Kind::Choice},   {"firstDayOfCycleWifi", Kind::Choice},
        {"wifi_daily_cap", Kind::Number},      {"dailyCapUnitWifi", Kind::Choice},
        {"dataunit_settings", Kind::Choice},   {"startup_settings", Kind::Choice},
        {"progressYellow", Kind::Choice},      {"progressRed", Kind::Choice},
        {"appBadgeSetting", Kind::Choice},     {"enablePushNotifications", Kind::Switch},
        {"enableBackgrounding", Kind::Switch}, {"first_notification", Kind::Switch},
        {"second_notification", Kind::Switch}, {"third_notification", Kind::Switch},
        {"fourth_notification", Kind::Switch}, {"fifth_notification", Kind::Switch},
        {"over_notification", Kind::Switch},   {"ResetWifiUsage", Kind::Button},
        {"ResetCellularUsage", Kind::Button},  {"AdjustWifiUsage", Kind::Button},
        {"AdjustCellularUsage", Kind::Button}, {"RateByteward", Kind::Button},
        // The plan setup screens, the Wi-Fi custom cycle and the interface lists.
        {"PlanType", Kind::Screen},            {"StartDay", Kind::Screen},
        {"Days", Kind::Screen},                {"CustomDatePicker", Kind::Screen},
        {"StartDate", Kind::Screen},           {"Quota", Kind::Screen},
        {"CurrentUsage", Kind::Screen},        {"CustomWiFiDatePicker", Kind::Screen},
        {"ResetDaysWiFi", Kind::Number},       {"cellularInterfaces", Kind::List},
        {"wifiInterfaces", Kind::List},        {"FreshSimPeriod", Kind::Button},
        {"meteredConnectionsAreCellular", Kind::Switch},
        {"turnOffCellularAtQuota", Kind::Switch},
        {"roamingQuotaMB", Kind::Number},
        {"showStatusIcon", Kind::Switch},
    };
    std::map<std::string, int> seen;
    for (const auto &section : controller.sections()) {
        EXPECT_FALSE(section.title.empty());
        for (const auto &r : section.rows) {
            ++seen[r.key];
            EXPECT_FALSE(r.title.empty()) << r.key;
            if (r.kind == Kind::Choice) {
                EXPECT_FALSE(r.values.empty()) << r.key;
            }
        }
    }
    for (const auto &[key, kind] : expected) {
        EXPECT_EQ(seen[key], 1) << key;
        EXPECT_EQ(row(key).kind, kind) << key;
        seen.erase(key);
    }
    for (const auto &[key, count] : seen)
        ADD_FAILURE() << "the schema offers " << key << ", which nothing reads";
}

TEST_F(SettingsTabTest, WhatTheTabStoresIsWhatTheSettingsRecordReads) {
    // The property each key lands in.
    using Property = std::optional<Value> &(*)(AppSettings &);
    const std::pair<const char *, Property> store[] = {
        {"cellularDataLimit",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.cellular.dataLimit; }},
        {"cellularDataLimitUnit",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.cellular.dataLimitUnit; }},
        {"firstDayOfCycle",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.cellular.firstDayOfCycle; }},
        {"cell_daily_cap",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.cellular.dailyCap; }},
        {"dailyCapUnit",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.cellular.dailyCapUnit; }},
        {"wifiDataLimit",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.wifi.dataLimit; }},
        {"wifiDataLimitUnit",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.wifi.dataLimitUnit; }},
        {"firstDayOfCycleWifi",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.wifi.firstDayOfCycle; }},
        {"wifi_daily_cap",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.wifi.dailyCap; }},
        {"dailyCapUnitWifi",
         [](AppSettings &s) -> std::optional<Value> & { return s.plans.wifi.dailyCapUnit; }},
        {"dataunit_settings",
         [](AppSettings &s) -> std::optional<Value> & { return s.displayUnit; }},
        {"startup_settings",
         [](AppSettings &s) -> std::optional<Value> & { return s.startupScreen; }},
        {"progressYellow",
         [](AppSettings &s) -> std::optional<Value> & { return s.progressYellow; }},
        {"progressRed", [](AppSettings &s) -> std::optional<Value> & { return s.progressRed; }},
        {"appBadgeSetting",
         [](AppSettings &s) -> std::optional<Value> & { return s.appBadgeSetting; }},
        {"enablePushNotifications",
         [](AppSettings &s) -> std::optional<Value> & { return s.enablePushNotifications; }},
        {"enableBackgrounding",
         [](AppSettings &s) -> std::optional<Value> & { return s.enableBackgrounding; }},
    };
    AppSettings(env.services()).getSettings(); // the one-time defaults first
    for (const auto &[key, property] : store) {
        SCOPED_TRACE(key);
        const SettingsRow &r = row(key);
        Value chosen;
        if (r.kind == SettingsRow::Kind::Number) {
            EXPECT_TRUE(screen.perform("setNumber", Value(args({{"key", key}, {"text", "7"}}))));
            chosen = Value(7);
        } else if (r.kind == SettingsRow::Kind::Choice) {
            const int last = static_cast<int>(r.values.size()) - 1;
            screen.perform("setChoice", Value(args({{"key", key}, {"index", last}})));
            chosen = r.values.back();
        } else {
            screen.perform("setSwitch", Value(args({{"key", key}, {"on", false}})));
            chosen = Value(false);
        }
        AppSettings settings(env.services());
        settings.getSettings();
        EXPECT_EQ(property(settings), chosen);
    }
    // The milestone switches are read one by one.
    const AppSettingsReader reader(env.defaults());
    for (const char *key : {"first_notification", "second_notification", "third_notification",
                            "fourth_notification", "fifth_notification", "over_notification"}) {
        EXPECT_TRUE(reader.getSettingsBoolValueForKey(key)) << key;
        screen.perform("setSwitch", Value(args({{"key", key}, {"on", false}})));
        EXPECT_FALSE(reader.getSettingsBoolValueForKey(key)) << key;
    }
}

TEST_F(SettingsTabTest, SwitchesShowTheirDefaultUntilTurned) {
    struct Case {
        const char *key;
        std::optional<Value> stored;
        bool on;
    };
    const Case cases[] = {
        {"over_notification", std::nullopt, true},
        {"over_notification", Value(false), false},
        {"over_notification", Value(true), true},
        {"over_notification", Value("NO"), false},
        {"meteredConnectionsAreCellular", std::nullopt, true},
        // Turning a connection off is never done unasked.
        {"turnOffCellularAtQuota", std::nullopt, false},
        {"turnOffCellularAtQuota", Value(true), true},
        {"showStatusIcon", std::nullopt, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + (c.stored ? c.stored->stringValue() : "never"));
        store(c.key, c.stored);
        EXPECT_EQ(shown(c.key).find("on")->boolValue(), c.on);
        EXPECT_EQ(shownField(c.key, "value"), c.on ? "on" : "off");
    }
}

TEST_F(SettingsTabTest, AFreshPeriodIsOfferedOnlyForAnotherSim) {
    auto offered = [&] {
        for (const auto &section : screen.sections())
            for (const auto &r : *section.asDict()->find("rows")->asArray())
                if (r.asDict()->find("key")->stringValue() == "FreshSimPeriod") return true;
        return false;
    };
    env.statistics.set("wwan0", 1000, 100);
    env.network.current.modems = {{"/m/0", {"wwan0"}, {}, "8901", "First", false}};
    AppData first(env.services());
    ASSERT_TRUE(first.performBackgroundUpdateForType(kCellular, "", false));
    EXPECT_FALSE(offered()) << "the figures belong to this SIM";
    env.network.current.modems[0].simIdentifier = "8902";
    EXPECT_TRUE(offered());
    EXPECT_TRUE(screen.perform("tap", Value(args({{"key", std::string("FreshSimPeriod")}}))));
    EXPECT_FALSE(offered()) << "the new period belongs to the SIM in use";
    env.network.current.modems.clear();
    EXPECT_FALSE(offered()) << "no modem, nothing to offer";
}

TEST_F(SettingsTabTest, ChoicesStoreTheirValueOfTheRightKind) {
    struct Case {
        const char *key, *title;
        Value stored;
    };
    const Case cases[] = {
        {"firstDayOfCycle", "Day 15 of the month", Value(15)},
        {"firstDayOfCycle", "Day 31 of the month", Value(31)},
        {"firstDayOfCycleWifi", "Every Sunday", Value(101)},
        {"firstDayOfCycleWifi", "Every Monday", Value(102)},
        {"firstDayOfCycle", "Every Saturday", Value(107)},
        {"firstDayOfCycle", "Every day", Value(1001)},
        {"dataunit_settings", "GB", Value("GB")},
        {"startup_settings", "Wi-Fi", Value("WIFI")},
        {"progressYellow", "Above 90% used", Value("USE90")},
        {"progressRed", "Above 100% used", Value("USE100")},
        {"appBadgeSetting", "Cellular % used", Value("CELLPERCENT")},
        {"appBadgeSetting", "Wi-Fi % projected", Value("WIFI_PROJ_PERCENT")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.title);
        const int index = indexOfTitle(c.key, c.title);
        EXPECT_TRUE(screen.perform("setChoice", Value(args({{"key", c.key}, {"index", index}}))));
        EXPECT_EQ(env.defaults().objectForKey(c.key), c.stored);
        EXPECT_EQ(shownField(c.key, "index"), std::to_string(index));
        EXPECT_EQ(shownField(c.key, "value"), c.title);
    }
}

TEST_F(SettingsTabTest, StoredChoiceIsFoundWhateverKindItWasStoredAs) {
    struct Case {
        std::optional<Value> stored;
        const char *title; // nullptr: none of the choices
        const char *value;
    };
    const Case cases[] = {
        {Value(15), "Day 15 of the month", "Day 15 of the month"},
        {Value("15"), "Day 15 of the month", "Day 15 of the month"},
        {Value(15.0), "Day 15 of the month", "Day 15 of the month"},
        {Value("102"), "Every Monday", "Every Monday"},
        {Value(9999), "Custom length", "Custom length"},
        {Value(42), nullptr, "42"}, // a code no choice offers is shown as it is
        {std::nullopt, nullptr, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored->stringValue() : "never stored");
        store("firstDayOfCycle", c.stored);
        const int index = c.title != nullptr ? indexOfTitle("firstDayOfCycle", c.title) : -1;
        EXPECT_EQ(shownField("firstDayOfCycle", "index"), std::to_string(index));
        EXPECT_EQ(shownField("firstDayOfCycle", "value"), c.value);
    }
}

TEST_F(SettingsTabTest, ChoiceOutsideTheListStoresNothing) {
    store("dataunit_settings", Value("MB"));
    for (const int index : {-1, 3, 1000}) {
        screen.perform("setChoice", Value(args({{"key", "dataunit_settings"}, {"index", index}})));
        EXPECT_EQ(env.defaults().objectForKey("dataunit_settings"), Value("MB")) << index;
    }
}

TEST_F(SettingsTabTest, AmountsAreStoredAsNumbersAndAnythingElseIsRefused) {
    struct Case {
        const char *text;
        std::optional<Value> stored; // empty: refused, the earlier amount stays
    };
    const Case cases[] = {
        {"2048", Value(2048)}, {"2.5", Value(2.5)},     {"0", Value(0)},
        {" 512 ", Value(512)}, {"abc", std::nullopt},   {"-1", std::nullopt},
        {"", std::nullopt},    {"12 MB", std::nullopt}, {"1,5", std::nullopt},
        {"nan", std::nullopt}, {"inf", std::nullopt},   {"1e400", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        store("cellularDataLimit", Value(100));
        const bool accepted = screen.perform(
            "setNumber", Value(args({{"key", "cellularDataLimit"}, {"text", c.text}})));
        EXPECT_EQ(accepted, c.stored.has_value());
        const auto now = env.defaults().objectForKey("cellularDataLimit");
        EXPECT_EQ(now, c.stored.value_or(Value(100)));
        if (c.stored) {
            EXPECT_EQ(now->isInteger(), c.stored->isInteger()) << "kind kept";
        }
    }
}

TEST(SettingsSchema, UnreadableSchemaGivesAnErrorAndNoSections) {
    std::ostringstream shipped;
    shipped << std::ifstream(kSchemaFile).rdbuf();
    const std::string whole = shipped.str();
    ASSERT_GT(whole.size(), 100u);
    const std::pair<const char *, std::string> cases[] = {
        {"empty", ""},
        {"not a property list", "settings = [cellular, wifi]"},
        {"a dictionary, not groups", "<plist version=\"1.0\"><dict/></plist>"},
        {"cut off half-way", whole.substr(0, whole.size() / 2)},
    };
    for (const auto &[name, bytes] : cases) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_TRUE(SettingsViewController::parseSchema(bytes, error).empty());
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_TRUE(
        SettingsViewController::loadSchema(BYTEWARD_TEST_DATA "/no-such-schema.plist", error)
            .empty());
    EXPECT_FALSE(error.empty());
}

TEST_F(SettingsTabTest, ButtonsReachTheirHandler) {
    std::vector<std::string> tapped;
    const std::vector<std::string> buttons = {"AdjustCellularUsage", "ResetCellularUsage",
                                              "AdjustWifiUsage", "ResetWifiUsage", "RateByteward"};
    EXPECT_TRUE(screen.perform("tap", Value(args({{"key", buttons[0]}})))) << "no handler yet";
    controller.onButton = [&](const std::string &key) { tapped.push_back(key); };
    for (const auto &key : buttons)
        EXPECT_TRUE(screen.perform("tap", Value(args({{"key", key}}))));
    EXPECT_EQ(tapped, buttons);
    EXPECT_FALSE(screen.perform("press", Value(args({{"key", buttons[0]}}))));
}

TEST_F(SettingsTabTest, LoadingTheTabIsRecorded) {
    EXPECT_TRUE(screen.perform("viewDidLoad", Value()));
    EXPECT_EQ(analytics.entries(), std::vector<std::string>{"event Viewing Settings tab"});
}

} // namespace
} // namespace byteward
