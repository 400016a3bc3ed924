// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/iso8601.h"
#include "screens/dashboard/dashboard_screen.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <tuple>

namespace byteward {
namespace {

class DashboardScreenTest : public ::testing::Test {
  protected:
    DashboardScreenTest() {
        env.clock.current = *parseIso8601("2026-03-20T10:00:00Z", env.calendar);
        env.statistics.set("wwan0", 0, 0);
        env.statistics.set("wlan0", 0, 0);
    }
    const ValueDict &field(const ValueDict &dict, const std::string &name) {
        const Value *v = dict.find(name);
        static const ValueDict none;
        EXPECT_NE(v, nullptr) << name;
        return v != nullptr && v->isDict() ? *v->asDict() : none;
    }
    std::string text(const ValueDict &dict, const std::string &name) {
        const Value *v = dict.find(name);
        return v != nullptr ? v->stringValue() : "<absent>";
    }

    test::TestEnv env;
    MainViewController controller{env.services()};
    DashboardScreen screen{controller, env.services()};
};

TEST_F(DashboardScreenTest, LabelsOfBothTypesAppearUnderTheirOwnNames) {
    const std::pair<const char *, Label CycleLabels::*> cycle[] = {
        {"lblMonthlyUsage", &CycleLabels::lblMonthlyUsage},
        {"lblMonthlyUsageSent", &CycleLabels::lblMonthlyUsageSent},
        {"lblMonthlyUsageRecd", &CycleLabels::lblMonthlyUsageRecd},
        {"lblCurrentPeriod", &CycleLabels::lblCurrentPeriod},
        {"lblDays", &CycleLabels::lblDays},
        {"lblNextBillingDate", &CycleLabels::lblNextBillingDate},
        {"lblAvailable", &CycleLabels::lblAvailable},
        {"lblIdealUsage", &CycleLabels::lblIdealUsage},
        {"lblIdealActualDiff", &CycleLabels::lblIdealActualDiff},
        {"lblDailySuggested", &CycleLabels::lblDailySuggested},
        {"lblQuotaOverDate", &CycleLabels::lblQuotaOverDate},
        {"lblProjected", &CycleLabels::lblProjected},
        {"lblRemainingUsage", &CycleLabels::lblRemainingUsage},
    };
    const std::pair<const char *, Label MainViewController::*> plain[] = {
        {"lblTitle", &MainViewController::lblTitle},
        {"lblPlaceUsed", &MainViewController::lblPlaceUsed},
        {"lblLastUpdateDate", &MainViewController::lblLastUpdateDate},
        {"lblUsedToday", &MainViewController::lblUsedToday},
        {"lblSinceLastRun", &MainViewController::lblSinceLastRun},
        {"lblToday", &MainViewController::lblToday},
        {"lblAllTime", &MainViewController::lblAllTime},
        {"lblSinceLastBoot", &MainViewController::lblSinceLastBoot},
    };
    // Every label a different text, the Wi-Fi set hidden, so a crossed wire shows.
    for (const auto &[name, member] : cycle) {
        controller.cellular.*member = {name, false};
        controller.wifi.*member = {std::string(name) + "Wifi", true};
    }
    for (const auto &[name, member] : plain)
        controller.*member = {name, false};
    controller.cellular.statusImage = "ok.png";
    controller.wifi.statusImage = "danger.png";

    const ValueDict labels = screen.labels();
    auto expectLabel = [&](const std::string &name, bool hidden) {
        SCOPED_TRACE(name);
        const ValueDict &label = field(labels, name);
        EXPECT_EQ(text(label, "text"), name);
        EXPECT_EQ(text(label, "hidden"), hidden ? "1" : "0");
    };
    for (const auto &[name, member] : cycle) {
        expectLabel(name, false);
        expectLabel(std::string(name) + "Wifi", true);
    }
    for (const auto &[name, member] : plain)
        expectLabel(name, false);
    EXPECT_EQ(text(field(labels, "statusImage"), "text"), "ok.png");
    EXPECT_EQ(text(field(labels, "statusImageWifi"), "text"), "danger.png");
}

TEST_F(DashboardScreenTest, DetailRowsFollowTheShownTypeInTableOrder) {
    // Where each row's value comes from: 'T' the shown type's array, 'D' the shared one.
    const std::tuple<const char *, char, int> rows[] = {
        {"IDEAL USAGE", 'T', 0},
        {"USAGE STATUS", 'T', 1},
        {"USED TODAY", 'D', 0},
        {"PROJECTED USE", 'T', 5},
        {"OVERAGE LIKELY", 'T', 4},
        {"NEXT BILL DATE", 'T', 3},
        {"TODAY", 'D', 2},
        {"BILLING PERIOD", 'T', 2},
        {"LAST PLACE", 'T', 6},
        {"RECEIVED", 'T', 7},
        {"SENT", 'T', 8},
        {"SINCE LAST RUN", 'D', 1},
        {"SINCE APP INSTALL", 'D', 3},
        {"SINCE LAST BOOT", 'D', 4},
    };
    for (std::size_t i = 0; i < 9; ++i) {
        controller.detailValuesCell[i] = "cell" + std::to_string(i);
        controller.detailValuesWiFi[i] = "wifi" + std::to_string(i);
    }
    for (std::size_t i = 0; i < 5; ++i)
        controller.detailValues[i] = "day" + std::to_string(i);

    for (const bool cellular : {true, false}) {
        SCOPED_TRACE(cellular ? "cellular" : "wifi");
        controller.isCellularMode = cellular;
        const ValueArray sections = screen.sections();
        ASSERT_EQ(sections.size(), 1u);
        const Value *list = sections[0].asDict()->find("rows");
        ASSERT_TRUE(list != nullptr && list->isArray());
        ASSERT_EQ(list->asArray()->size(), 14u);
        for (std::size_t i = 0; i < 14; ++i) {
            const auto &[title, source, index] = rows[i];
            const ValueDict &row = *(*list->asArray())[i].asDict();
            const std::string expected = (source == 'D' ? "day"
                                          : cellular    ? "cell"
                                                        : "wifi") +
                                         std::to_string(index);
            EXPECT_EQ(text(row, "title"), title) << i;
            EXPECT_EQ(text(row, "value"), expected) << title;
        }
    }
}

TEST_F(DashboardScreenTest, BarsAndColoursAreThoseOfTheirOwnType) {
    controller.visualView.currentUsagePercent = 73.5f;
    controller.visualView.idealUsagePercent = 40.0f;
    controller.visualView.usageText = "73.5%";
    controller.visualView.dataType = 1;
    controller.visualViewWifi.dataType = 2;
    controller.isCellularMode = false;
    env.defaults().setObject(UsageVisualView::kCellularColourKey, Value("R"));
    env.defaults().setObject(UsageVisualView::kWiFiColourKey, Value("Y"));

    const ValueDict values = screen.values();
    EXPECT_EQ(text(values, "cellularProgressColor"), "#e73e3e");
    EXPECT_EQ(text(values, "wifiProgressColor"), "#ffe347");
    EXPECT_EQ(text(values, "tint"), "#ffe347") << "the Wi-Fi dashboard's tint";
    const ValueDict &bar = field(values, "visualView");
    EXPECT_DOUBLE_EQ(bar.find("currentUsagePercent")->doubleValue(), 73.5);
    EXPECT_DOUBLE_EQ(bar.find("idealUsagePercent")->doubleValue(), 40.0);
    EXPECT_EQ(text(bar, "usageText"), "73.5%");
    const ValueDict &wifiBar = field(values, "visualViewWifi");
    EXPECT_DOUBLE_EQ(wifiBar.find("currentUsagePercent")->doubleValue(), 0.0) << "unset reads 0";
    EXPECT_EQ(text(wifiBar, "dataType"), "2");
}

TEST_F(DashboardScreenTest, OnlyARenderOfTheAppTakesASample) {
    struct Case {
        const char *action;
        bool sampleOnRender, cellularMode;
        Value argument;
        bool samples;
        const char *title;
    };
    const Case cases[] = {
        {"render", true, true, Value(), true, "CELLULAR"},
        {"render", true, false, Value(), true, "Wi-Fi"},
        {"render", false, false, Value(), false, "Wi-Fi"},
        {"repaint", true, true, Value(), false, "CELLULAR"},
        {"repaint", true, true, Value(false), false, "Wi-Fi"},
        {"repaint", true, false, Value(true), false, "CELLULAR"},
    };
    controller.backgroundUpdate("", false); // the records exist
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.action) + (c.sampleOnRender ? " sampling" : " stored") +
                     (c.cellularMode ? " cellular" : " wifi"));
        screen.sampleOnRender = c.sampleOnRender;
        controller.isCellularMode = c.cellularMode;
        controller.lblTitle.text.clear();
        int changed = 0;
        screen.onChanged = [&] { ++changed; };
        const int readsBefore = env.statistics.reads;
        env.clock.current += std::chrono::minutes(1);

        EXPECT_TRUE(screen.perform(c.action, c.argument));
        EXPECT_EQ(env.statistics.reads > readsBefore, c.samples);
        AppData cellular(env.services());
        cellular.getAppData("cellular");
        EXPECT_EQ(cellular.lastUpdate == env.clock.current, c.samples);
        EXPECT_EQ(controller.lblTitle.text, c.title);
        EXPECT_EQ(changed, 1);
    }
    int changed = 0;
    screen.onChanged = [&] { ++changed; };
    EXPECT_FALSE(screen.perform("redraw", Value()));
    EXPECT_EQ(changed, 0);
}

} // namespace
} // namespace byteward
