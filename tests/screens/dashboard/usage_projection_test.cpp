// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/iso8601.h"
#include "screens/dashboard/main_view_controller.h"
#include "support/test_env.h"

#include <cmath>
#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr double MB = 1024.0 * 1024.0;

class UsageProjectionTest : public ::testing::Test {
  protected:
    UsageProjectionTest() : env("America/New_York", "en_US") {
        AppSettings(env.services()).getSettings();
        controller = std::make_unique<MainViewController>(env.services());
        controller->appSettings().getSettings();
    }
    Instant at(const char *iso) { return *parseIso8601(iso, env.calendar); }

    // A record in a cycle of `total` days that started on Dec 1, `elapsed` days ago.
    AppData record(const char *type, double usedMB, long long total, long long elapsed) {
        AppData r(env.services());
        r.appDataType = type;
        r.lastBillingDate = at("2026-12-01T00:00");
        r.nextBillingDate = env.calendar.addDays(*r.lastBillingDate, static_cast<int>(total));
        r.billingDaysTotal = total;
        r.billingDaysElapsed = elapsed;
        r.dataThisMonth = usedMB * MB;
        r.dataThisMonthSent = usedMB * MB / 4;
        r.dataThisMonthRecd = usedMB * MB * 3 / 4;
        return r;
    }
    void badgeSetting(const char *value) {
        env.defaults().setObject("appBadgeSetting", Value(value));
        env.defaults().synchronize();
        controller->appSettings().getSettings();
    }

    test::TestEnv env;
    std::unique_ptr<MainViewController> controller;
    UsageVisualView bar;
};

TEST_F(UsageProjectionTest, LimitedPlanFiguresStatusAndTexts) {
    struct Case {
        const char *name;
        const char *now;
        double usedMB;
        long long total, elapsed;
        const char *status, *image, *difference, *usage, *ideal, *daysLeft, *suggested, *quotaOver,
            *projected, *remaining;
    };
    const Case cases[] = {
        {"under the ideal pace", "2026-12-11T12:00", 20, 31, 10, "SAFE", "ok.png", "13.9 MB less",
         "20.0%", "33.9 MB (33.9%)", "21", "3.9", "NO", "59 MB", "80"},
        {"exactly on the ideal is not safe", "2026-12-11T00:00", 50, 20, 10, "CAUTION",
         "caution.png", "0.0 MB more", "50.0%", "50.0 MB (50.0%)", "10", "5.0", "NO", "100 MB",
         "50"},
        {"ahead of the pace: the quota runs out", "2026-12-11T00:00", 80, 20, 10, "CAUTION",
         "caution.png", "30.0 MB more", "80.0%", "50.0 MB (50.0%)", "10", "2.0", "YES ON 12/13/26",
         "160 MB", "20"},
        {"exactly the whole plan", "2026-12-11T00:00", 100, 20, 10, "CAUTION", "caution.png",
         "50.0 MB more", "100.0%", "50.0 MB (50.0%)", "10", "0.0", "YES ON 12/11/26", "200 MB",
         "0"},
        {"over the plan", "2026-12-11T00:00", 120, 20, 10, "OVERAGE", "danger.png", "70.0 MB more",
         "120.0%", "50.0 MB (50.0%)", "10", "0.0", "QUOTA OVER", "240 MB", "0"},
        {"first minute of the cycle", "2026-12-01T00:00", 5, 31, 0, "CAUTION", "caution.png",
         "5.0 MB more", "5.0%", "0.0 MB (0.0%)", "31", "3.1", "YES ON 12/1/26", "0 MB", "95"},
        {"less than a day left", "2026-12-31T18:00", 90, 31, 30, "SAFE", "ok.png", "9.2 MB less",
         "90.0%", "99.2 MB (99.2%)", "1", "10.0", "NO", "91 MB", "10"},
        {"past the cycle's end", "2027-01-01T06:00", 90, 31, 31, "SAFE", "ok.png", "10.8 MB less",
         "90.0%", "100.8 MB (100.8%)", "0", "", "NO", "89 MB", "10"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        env.clock.current = at(c.now);
        AppData r = record("cellular", c.usedMB, c.total, c.elapsed);
        controller->renderMonthlyData(r, 100.0f, bar);
        const CycleLabels &l = controller->cellular;
        EXPECT_EQ(l.lblIdealActualDiff.text, c.status);
        EXPECT_EQ(l.statusImage, c.image);
        EXPECT_EQ(controller->detailValuesCell[1], c.difference);
        EXPECT_EQ(bar.usageText, c.usage);
        EXPECT_EQ(bar.diffText, c.difference);
        EXPECT_EQ(l.lblIdealUsage.text, c.ideal);
        EXPECT_EQ(l.lblDays.text, c.daysLeft);
        EXPECT_EQ(l.lblDailySuggested.text, c.suggested);
        EXPECT_EQ(l.lblQuotaOverDate.text, c.quotaOver);
        EXPECT_EQ(controller->detailValuesCell[4], c.quotaOver);
        EXPECT_EQ(l.lblProjected.text, c.projected);
        EXPECT_EQ(l.lblRemainingUsage.text, c.remaining);
        EXPECT_EQ(l.lblAvailable.text, "OF 100.0 MB USED");
        EXPECT_EQ(bar.dataType, 1);
    }
}

TEST_F(UsageProjectionTest, CycleTextsInTheUsersLocale) {
    env.clock.current = at("2026-12-11T12:00");
    AppData r = record("wifi", 20, 31, 10);
    controller->renderMonthlyData(r, 100.0f, bar);
    const CycleLabels &l = controller->wifi;
    EXPECT_EQ(l.lblCurrentPeriod.text, "12/1/26 - 12/31/26");
    EXPECT_EQ(l.lblNextBillingDate.text, "1/1/27");
    EXPECT_EQ(l.lblMonthlyUsage.text, "20.00");
    EXPECT_EQ(l.lblMonthlyUsageSent.text, "5.00 MB");
    EXPECT_EQ(l.lblMonthlyUsageRecd.text, "15.00 MB");
    EXPECT_EQ(controller->detailValuesWiFi[8], "5.00 MB");
    EXPECT_EQ(controller->detailValuesWiFi[7], "15.00 MB");
    EXPECT_EQ(bar.dataType, 2);
}

TEST_F(UsageProjectionTest, OverThePlanWiFiShowsNoneAndCellularZero) {
    env.clock.current = at("2026-12-11T00:00");
    AppData wifi = record("wifi", 120, 20, 10);
    controller->renderMonthlyData(wifi, 100.0f, bar);
    EXPECT_EQ(controller->wifi.lblRemainingUsage.text, "NONE");
}

TEST_F(UsageProjectionTest, UnlimitedPlanShowsPlaceholders) {
    env.clock.current = at("2026-12-11T12:00");
    for (const std::optional<float> limit :
         {std::optional<float>(), std::optional<float>(0.0f), std::optional<float>(-5.0f),
          std::optional<float>(NAN)}) {
        AppData r = record("cellular", 20, 31, 10);
        controller->renderMonthlyData(r, limit, bar);
        const CycleLabels &l = controller->cellular;
        EXPECT_EQ(l.lblAvailable.text, "OF UNLIMITED");
        EXPECT_EQ(l.lblRemainingUsage.text, "NO LIMIT");
        EXPECT_EQ(l.lblDailySuggested.text, "NO LIMIT");
        EXPECT_EQ(l.lblIdealActualDiff.text, "SAFE");
        EXPECT_EQ(controller->detailValuesCell[0], "--");
        EXPECT_EQ(controller->detailValuesCell[5], "--");
        EXPECT_EQ(bar.usageText, "0%");
        EXPECT_EQ(bar.currentUsagePercent, 0.0f);
        EXPECT_EQ(l.lblMonthlyUsage.text, "20.00");
    }
}

TEST_F(UsageProjectionTest, BadgeFigureFollowsTheSettingOfTheRenderedType) {
    struct Case {
        const char *setting;
        const char *type;
        std::optional<float> limit;
        std::optional<float> badge; // starting from 7
    };
    // 20 MB of 100 used, 10.5 of 31 days gone: projected 59.05 MB.
    const Case cases[] = {
        {"CELLQUOTA", "cellular", 100.0f, 20.0f},
        {"CELLQUOTA", "cellular", std::nullopt, 20.0f}, // unlimited plans too
        {"CELLPERCENT", "cellular", 100.0f, 20.0f},
        {"CELL_REM_PERCENT", "cellular", 100.0f, 80.0f},
        {"CELL_PROJ_PERCENT", "cellular", 100.0f, 59.047619f},
        {"CELLPERCENT", "cellular", std::nullopt, std::nullopt},
        {"CELL_PROJ_PERCENT", "cellular", std::nullopt, std::nullopt},
        {"WIFIPERCENT", "cellular", 100.0f, 7.0f}, // the other type's setting leaves it
        {"WIFIQUOTA", "wifi", 100.0f, 20.0f},
        {"WIFI_REM_PERCENT", "wifi", 100.0f, 80.0f},
        {"BILLINGRESET", "wifi", 100.0f, 7.0f},
    };
    env.clock.current = at("2026-12-11T12:00");
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.setting) + " " + c.type);
        badgeSetting(c.setting);
        controller->appBadgeNumber = 7.0f;
        AppData r = record(c.type, 20, 31, 10);
        controller->renderMonthlyData(r, c.limit, bar);
        ASSERT_EQ(controller->appBadgeNumber.has_value(), c.badge.has_value());
        if (c.badge) {
            EXPECT_FLOAT_EQ(*controller->appBadgeNumber, *c.badge);
        }
    }
}

TEST_F(UsageProjectionTest, NoCycleHidesTheCycleLabelsAndLeavesTheWidgetAlone) {
    AppData r(env.services());
    r.appDataType = "cellular";
    controller->renderMonthlyData(r, 100.0f, bar);
    EXPECT_TRUE(controller->cellular.lblNextBillingDate.hidden);
    EXPECT_TRUE(controller->cellular.lblCurrentPeriod.hidden);
    EXPECT_TRUE(controller->cellular.lblDays.hidden);
    EXPECT_FALSE(controller->cellular.lblAvailable.hidden);
    EXPECT_FALSE(env.widgetDefaults().objectForKey("WidgetEnabled"));
}

TEST_F(UsageProjectionTest, OnlyTheCellularDashboardFeedsTheWidget) {
    env.clock.current = at("2026-12-11T12:00");
    AppData wifi = record("wifi", 20, 31, 10);
    controller->renderMonthlyData(wifi, 100.0f, bar);
    ValueDict written = env.widgetDefaults().dictionaryRepresentation();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_TRUE(written.find("WidgetEnabled")->boolValue());

    AppData cellular = record("cellular", 20, 31, 10);
    controller->renderMonthlyData(cellular, 100.0f, bar);
    auto reader = env.openDefaultsAgain(); // another process, such as a widget
    written = env.widgetDefaults().dictionaryRepresentation();
    EXPECT_EQ(written.find("lblMonthlyUsage")->stringValue(), "20.00");
    EXPECT_EQ(written.find("lblAvailable")->stringValue(), "OF 100.0 MB USED");
    EXPECT_EQ(written.find("usageText")->stringValue(), "20.0%");
    EXPECT_FLOAT_EQ(written.find("currentUsagePercent")->floatValue(), 20.0f);
    EXPECT_EQ(written.find("progressYellow")->stringValue(), "AVG");
    EXPECT_EQ(written.find("progressRed")->stringValue(), "USE100");
}

// The widget holds the settings' bar thresholds as they are, a removed one included.
TEST_F(UsageProjectionTest, WidgetThresholdsFollowTheSettings) {
    struct Case {
        std::optional<const char *> yellow, red;
    };
    const Case cases[] = {
        {"USE80", "USE95"},           {std::nullopt, "USE95"}, {"USE90", std::nullopt},
        {std::nullopt, std::nullopt}, {"AVG", "USE100"},
    };
    env.clock.current = at("2026-12-11T12:00");
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.yellow.value_or("none")) + " " + c.red.value_or("none"));
        for (const auto &[key, value] :
             {std::pair{"progressYellow", c.yellow}, {"progressRed", c.red}}) {
            if (value)
                env.defaults().setObject(key, Value(*value));
            else
                env.defaults().removeObjectForKey(key);
        }
        env.defaults().synchronize();
        controller->appSettings().getSettings();
        AppData cellular = record("cellular", 20, 31, 10);
        controller->renderMonthlyData(cellular, 100.0f, bar);
        // As the widget reads the suite.
        const ValueDict written =
            PlistUserDefaults(env.paths().configDir, env.paths().dataDir, env.log, &env.clock,
                              PlistUserDefaults::kWidgetSuite)
                .dictionaryRepresentation();
        for (const auto &[key, value] :
             {std::pair{"progressYellow", c.yellow}, {"progressRed", c.red}}) {
            const Value *stored = written.find(key);
            EXPECT_EQ(stored != nullptr, value.has_value()) << key;
            if (stored != nullptr && value) {
                EXPECT_EQ(stored->stringValue(), *value) << key;
            }
        }
    }
}

TEST_F(UsageProjectionTest, PlainCountersShowAPlaceholderForAnEmptyDay) {
    env.clock.current = at("2026-12-11T12:00");
    AppData r = record("cellular", 0, 31, 10);
    r.dataToday = -1;
    r.dataSinceAppLastRun = 1.5 * MB;
    r.dataSinceLastBoot = 3 * MB;
    r.dataAllTime = 2048 * MB;
    controller->renderStandardCountersForType(r, 100.0f, 10.0f);
    EXPECT_EQ(controller->lblUsedToday.text, "-- MB");
    EXPECT_EQ(controller->detailValues[1], "1.50 MB");
    EXPECT_EQ(controller->detailValues[2], "12/11/26");
    EXPECT_EQ(controller->detailValues[3], "2048.00 MB");
    EXPECT_EQ(controller->detailValues[4], "3.00 MB");
    r.dataToday = 0.25 * MB;
    controller->renderStandardCountersForType(r, std::nullopt, std::nullopt);
    EXPECT_EQ(controller->lblUsedToday.text, "0.25 MB");
}

TEST(UsageVisualView, ColourFollowsTheThresholds) {
    struct Case {
        float used, ideal;
        const char *yellow, *red, *letter;
    };
    const Case cases[] = {
        {50.0f, 50.0f, "AVG", "USE100", "G"},  {50.01f, 50.0f, "AVG", "USE100", "Y"},
        {100.0f, 10.0f, "AVG", "USE100", "Y"}, {100.01f, 10.0f, "AVG", "USE100", "R"},
        {96.0f, 99.0f, "USE90", "USE95", "R"}, {92.0f, 99.0f, "USE90", "USE95", "Y"},
        {90.0f, 10.0f, "USE90", "USE95", "G"}, {80.5f, 99.0f, "USE80", "USE95", "Y"},
        {150.0f, 0.0f, "", "", "G"},           {150.0f, 0.0f, "USE80", "nonsense", "Y"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(UsageVisualView::colourLetter(c.used, c.ideal, c.yellow, c.red), c.letter)
            << c.used << " " << c.yellow << " " << c.red;
}

} // namespace
} // namespace byteward
