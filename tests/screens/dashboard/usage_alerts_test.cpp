// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/custom_counter.h"
#include "platform/iso8601.h"
#include "screens/dashboard/main_view_controller.h"
#include "support/test_env.h"

#include <cmath>
#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr double MB = 1024.0 * 1024.0;

class UsageAlertsTest : public ::testing::Test {
  protected:
    UsageAlertsTest() {
        AppSettings(env.services()).getSettings();
        set("firstDayOfCycle", Value(1));
        set("cellularDataLimit", Value(100));
        set("cellularDataLimitUnit", Value("MB"));
        env.clock.current = *parseIso8601("2026-12-11T12:00:00Z", env.calendar);
        env.statistics.set("wwan0", 0, 0);
        cycle(); // the first update only starts the records
    }
    void set(const char *key, Value value) {
        env.defaults().setObject(key, std::move(value));
        env.defaults().synchronize();
    }
    // One update cycle after the modem moved `mb` more megabytes.
    MainViewController &cycle(double mb = 0) {
        received += mb * MB;
        env.statistics.set("wwan0", static_cast<std::uint64_t>(received), 0);
        env.clock.current += std::chrono::minutes(1);
        controller.backgroundUpdate("", false);
        return controller;
    }
    std::vector<std::string> posted() {
        std::vector<std::string> bodies;
        for (const auto &n : env.notifications.scheduledLocalNotifications())
            if (!n.alertBody.empty()) bodies.push_back(n.alertBody);
        return bodies;
    }

    test::TestEnv env;
    MainViewController controller{env.services()};
    double received = 0;
};

TEST_F(UsageAlertsTest, CascadePostsTheMostSevereMilestoneReachedOncePerCycle) {
    struct Case {
        const char *name;
        std::vector<const char *> switchedOff;
        std::vector<double> usageSteps; // MB moved before each cycle
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"straight to 95.8 percent", {}, {95.8, 0}, {"Cellular usage exceeded 95.8%"}},
        {"exactly 20 percent left fires the 80 percent milestone",
         {},
         {80},
         {"Cellular usage exceeded 80.0%"}},
        {"over the plan", {}, {105}, {"Cellular usage exceeded 105.0%"}},
        {"climbing through every milestone",
         {},
         {50, 15, 15, 10, 5, 5},
         {"Cellular usage exceeded 50.0%", "Cellular usage exceeded 65.0%",
          "Cellular usage exceeded 80.0%", "Cellular usage exceeded 90.0%",
          "Cellular usage exceeded 95.0%", "Cellular usage exceeded 100.0%"}},
        {"only the first switch on",
         {"over_notification", "fifth_notification", "fourth_notification", "third_notification",
          "second_notification"},
         {70, 27},
         {"Cellular usage exceeded 70.0%"}},
        {"every switch off",
         {"over_notification", "fifth_notification", "fourth_notification", "third_notification",
          "second_notification", "first_notification"},
         {99},
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        UsageAlertsTest::TearDown();
        env.notifications.cancelAllLocalNotifications();
        for (const char *key :
             {"over_notification", "fifth_notification", "fourth_notification",
              "third_notification", "second_notification", "first_notification"}) {
            env.defaults().removeObjectForKey(std::string("Cellular") + key);
            env.defaults().removeObjectForKey(key);
        }
        for (const char *key : c.switchedOff)
            env.defaults().setObject(key, Value(false));
        env.defaults().synchronize();
        // Start the period again at zero.
        AppData r(env.services());
        r.getAppData("cellular");
        r.dataThisMonth = r.dataThisMonthRecd = r.dataThisMonthSent = 0.0;
        EXPECT_TRUE(r.saveAppData());

        for (const double mb : c.usageSteps)
            cycle(mb);
        EXPECT_EQ(posted(), c.expected);
    }
}

TEST_F(UsageAlertsTest, NewBillingCycleAnnouncesItselfAndArmsTheMilestonesAgain) {
    cycle(55);
    EXPECT_EQ(posted(), std::vector<std::string>{"Cellular usage exceeded 55.0%"});
    EXPECT_TRUE(env.defaults().objectForKey("Cellularfirst_notification")->boolValue());
    EXPECT_FALSE(env.defaults().objectForKey("Cellularover_notification"))
        << "milder flags stay as they were";

    env.clock.current = *parseIso8601("2027-01-01T00:30:00Z", env.calendar);
    cycle(1); // the rollover: this update's traffic counts in neither period
    cycle(60);
    EXPECT_EQ(posted(), (std::vector<std::string>{"Cellular usage exceeded 55.0%",
                                                  MainViewController::kNewCellularCycleMessage,
                                                  "Cellular usage exceeded 60.0%"}));
}

// A cycle whose counters could not be read updated nothing, so it has nothing to announce: not
// the new period found by an earlier cycle, nor milestones another process already posted.
TEST_F(UsageAlertsTest, ACycleThatUpdatedNothingRaisesNoAlert) {
    cycle(55);
    env.clock.current = *parseIso8601("2027-01-01T00:30:00Z", env.calendar);
    cycle(1); // the rollover, announced once
    {
        MainViewController daemon(env.services()); // another process, in the new period
        received += 60 * MB;
        env.statistics.set("wwan0", static_cast<std::uint64_t>(received), 0);
        env.clock.current += std::chrono::minutes(1);
        daemon.backgroundUpdate("", false);
    }
    const std::vector<std::string> expected{"Cellular usage exceeded 55.0%",
                                            MainViewController::kNewCellularCycleMessage,
                                            "Cellular usage exceeded 60.0%"};
    ASSERT_EQ(posted(), expected);

    env.statistics.snapshot = StatsSnapshot{{}, "cannot list network interfaces"};
    env.clock.current += std::chrono::minutes(1);
    EXPECT_FALSE(controller.backgroundUpdate("", false));
    EXPECT_FALSE(controller.appDataCellular().monthlyResetOccured);
    EXPECT_EQ(posted(), expected);
}

TEST_F(UsageAlertsTest, BadgeFigureOfTheCycle) {
    struct Case {
        const char *setting;
        long long cellularLimit, wifiLimit;
        std::optional<float> badge; // starting from 7
    };
    // 40 MB of 100 used, 10.5 days of 31 gone.
    const Case cases[] = {
        {"CELLPERCENT", 100, 0, 40.0f},
        {"CELL_REM_PERCENT", 100, 0, 60.0f},
        {"CELL_PROJ_PERCENT", 100, 0, 40.0f / 10.5f * 31.0f},
        {"CELL_REM_PERCENT", 0, 0, std::nullopt}, // no plan clears a percent badge
        {"WIFIPERCENT", 100, 200, 0.0f},          // Wi-Fi has a plan and no traffic
        {"WIFIPERCENT", 100, 0, std::nullopt},
        {"BILLINGRESET", 100, 0, 7.0f},
        {"CELLQUOTA", 100, 0, 7.0f}, // the used amount is the dashboard's figure, not the cycle's
    };
    cycle(40);
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.setting) + " " + std::to_string(c.cellularLimit));
        set("appBadgeSetting", Value(c.setting));
        set("cellularDataLimit", Value(c.cellularLimit));
        set("wifiDataLimit", Value(c.wifiLimit));
        controller.appBadgeNumber = 7.0f;
        cycle(0);
        ASSERT_EQ(controller.appBadgeNumber.has_value(), c.badge.has_value());
        if (c.badge) {
            EXPECT_NEAR(*controller.appBadgeNumber, *c.badge, 0.05f);
        }
    }
}

TEST_F(UsageAlertsTest, APlanSmallerThanOneDisplayUnitStillRaisesAlerts) {
    set("dataunit_settings", Value("GB"));
    set("cellularDataLimit", Value(500));
    cycle(480);
    EXPECT_EQ(posted(), std::vector<std::string>{"Cellular usage exceeded 96.0%"});
}

TEST_F(UsageAlertsTest, ResettingATypeClearsOnlyItsStoredFlags) {
    set("Cellularfirst_notification", Value(true));
    set("Cellularover_notification", Value(true));
    set("WiFifirst_notification", Value(true));
    controller.resetCellularNotificationKeys();
    auto stored = env.openDefaultsAgain();
    EXPECT_FALSE(stored->objectForKey("Cellularfirst_notification")->boolValue());
    EXPECT_FALSE(stored->objectForKey("Cellularover_notification")->boolValue());
    EXPECT_FALSE(stored->objectForKey("Cellularthird_notification")) << "missing keys stay missing";
    EXPECT_TRUE(stored->objectForKey("WiFifirst_notification")->boolValue());
}

TEST_F(UsageAlertsTest, NotificationKeyAnswersWhetherTheThresholdIsReached) {
    struct Case {
        float remaining, threshold;
        bool reached;
    };
    const Case cases[] = {
        {20.0f, 20.0f, true}, {20.01f, 20.0f, false}, {-3.0f, 0.0f, true}, {NAN, 50.0f, false}};
    for (const auto &c : cases)
        EXPECT_EQ(controller.sendLocalNotificationForNotificationKey(
                      "third_notification", c.threshold, c.remaining, "Mobile", 0),
                  c.reached)
            << c.remaining;
    // Another type word still keeps its own flag.
    EXPECT_TRUE(env.defaults().objectForKey("Mobilethird_notification")->boolValue());
}

TEST_F(UsageAlertsTest, BillingRemindersAreReplacedAndNothingElseIsCancelled) {
    CustomCounter counter = CustomCounter::initWithName("Trip", env.clock.now());
    counter.endDate = *parseIso8601("2027-02-01T00:00:00Z", env.calendar);
    counter.notifyOnEnd = true;
    EXPECT_TRUE(CustomCounter::addCustomCounter(env.services(), counter));

    struct Case {
        long long cellularCode, wifiCode;
        bool push;
        RepeatInterval cellularRepeat, wifiRepeat;
        const char *cellularFire;
    };
    const Case cases[] = {
        {15, 1001, true, RepeatInterval::Month, RepeatInterval::Day, "2026-12-15T00:00:00+00:00"},
        {103, 9999, true, RepeatInterval::Week, RepeatInterval::Week, "2026-12-15T00:00:00+00:00"},
        {15, 1001, false, RepeatInterval::None, RepeatInterval::None, ""},
    };
    for (const auto &c : cases) {
        set("firstDayOfCycle", Value(c.cellularCode));
        set("firstDayOfCycleWifi", Value(c.wifiCode));
        set("enablePushNotifications", Value(c.push));
        AppSettings settings(env.services());
        settings.applySettings();
        settings.applySettings(); // leaving the settings twice schedules nothing twice

        std::vector<LocalNotification> reminders;
        int counterAlerts = 0;
        for (const auto &n : env.notifications.scheduledLocalNotifications()) {
            if (n.userInfo.find("UniqueId")->stringValue() == counter.uniqueId)
                ++counterAlerts;
            else
                reminders.push_back(n);
        }
        EXPECT_EQ(counterAlerts, 1) << "custom counter end alerts survive";
        ASSERT_EQ(reminders.size(), c.push ? 2u : 0u);
        if (!c.push) continue;
        EXPECT_EQ(reminders[0].alertBody, "open app to reset cellular billing cycle");
        EXPECT_EQ(reminders[0].repeatInterval, c.cellularRepeat);
        EXPECT_EQ(formatIso8601(reminders[0].fireDate, env.calendar), c.cellularFire);
        EXPECT_EQ(reminders[0].badgeNumber, 1);
        EXPECT_EQ(reminders[0].alertAction, "Byteward");
        EXPECT_EQ(reminders[1].alertBody, "open app to reset WiFi billing cycle");
        EXPECT_EQ(reminders[1].repeatInterval, c.wifiRepeat);
    }
}

} // namespace
} // namespace byteward
