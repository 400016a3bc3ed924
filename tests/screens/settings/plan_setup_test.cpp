// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"
#include "platform/iso8601.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/settings/plan_setup.h"
#include "screens/settings/plan_setup_screen.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

class PlanSetupTest : public ::testing::Test {
  protected:
    PlanSetupTest() : env("Europe/Berlin", "de_DE") {
        AppSettings(env.services()).getSettings();
        env.clock.current = at("2026-12-08T10:00:00");
    }
    Instant at(const char *iso) { return *parseIso8601(iso, env.calendar); }
    std::string iso(Instant date) { return formatIso8601(date, env.calendar); }
    std::optional<Value> stored(const char *key) {
        return env.openDefaultsAgain()->objectForKey(key);
    }
    void set(const char *key, Value value) {
        env.defaults().setObject(key, std::move(value));
        env.defaults().synchronize();
    }
    test::TestEnv env;
};

TEST_F(PlanSetupTest, StartDayStoresTheCodeOfTheChosenDayOrWeekday) {
    struct Case {
        long long planType;
        int row;
        const char *label;
        long long code;
    };
    const Case cases[] = {
        {0, 0, "1st of the month", 1},    {0, 1, "2nd of the month", 2},
        {0, 2, "3th of the month", 3},    {0, 21, "22th of the month", 22},
        {0, 30, "31th of the month", 31}, {1, 0, "Every Sunday", 101},
        {1, 1, "Every Monday", 102},      {2, 6, "Every Saturday", 107},
    };
    for (const auto &c : cases) {
        set("CellularPlanType", Value(c.planType));
        StartDayViewController screen(env.services());
        screen.viewDidLoad();
        EXPECT_EQ(screen.numberOfRows(), c.planType == 0 ? 31 : 7);
        screen.pickerView(c.row);
        EXPECT_EQ(screen.selectedDate, c.label);
        EXPECT_EQ(stored("firstDayOfCycle")->integerValue(), c.code) << c.label;
    }
}

TEST_F(PlanSetupTest, PlanTypeListMovesItsCheckmarkAndStoresTheRow) {
    PlanTypeViewController list(env.services());
    EXPECT_TRUE(list.isChecked(0));
    list.tableView(1);
    EXPECT_TRUE(list.isChecked(1));
    EXPECT_FALSE(list.isChecked(0));
    EXPECT_EQ(stored("CellularPlanType")->integerValue(), 1);
    EXPECT_TRUE(PlanTypeViewController(env.services()).isChecked(0))
        << "a new list starts at row 0, whatever is stored";
}

TEST_F(PlanSetupTest, CustomLengthMakesTheCustomPlan) {
    DaysViewController screen(env.services());
    screen.viewDidLoad();
    EXPECT_EQ(screen.numberOfRows(), 999);
    EXPECT_EQ(screen.titleForRow(0), "2");
    EXPECT_EQ(screen.titleForRow(998), "1000");
    screen.pickerView(28);
    EXPECT_EQ(screen.selectedDate, "30 Days");
    EXPECT_EQ(stored("ResetDays")->integerValue(), 30);
    EXPECT_EQ(stored("firstDayOfCycle")->integerValue(), 9999);
}

TEST_F(PlanSetupTest, CustomStartIsKeptWithinOnePeriodAndNeverInTheFuture) {
    struct Case {
        const char *name;
        bool wifi;
        std::optional<long long> length;
        std::optional<const char *> start;
        const char *shown;
        std::optional<const char *> storedStart;
        const char *minimum;
    };
    const Case cases[] = {
        {"40 days back, length 30", false, 30, "2026-10-29T00:00:00", "2026-11-09T00:00:00+01:00",
         "2026-11-09T00:00:00+01:00", "2026-11-09T00:00:00+01:00"},
        {"inside the period", true, 30, "2026-11-20T15:00:00", "2026-11-20T15:00:00+01:00",
         "2026-11-20T15:00:00+01:00", "2026-11-09T00:00:00+01:00"},
        {"in the future", false, 30, "2026-12-20T00:00:00", "2026-12-08T10:00:00+01:00",
         "2026-12-08T10:00:00+01:00", "2026-11-09T00:00:00+01:00"},
        {"nothing stored", true, 7, std::nullopt, "2026-12-08T10:00:00+01:00", std::nullopt,
         "2026-12-02T00:00:00+01:00"},
        {"no length: the minimum is tomorrow", false, std::nullopt, "2026-12-01T00:00:00",
         "2026-12-09T00:00:00+01:00", "2026-12-09T00:00:00+01:00", "2026-12-09T00:00:00+01:00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const char *startKey = c.wifi ? "CustomStartDateWiFi" : "CustomStartDate";
        const char *lengthKey = c.wifi ? "ResetDaysWiFi" : "ResetDays";
        env.defaults().removeObjectForKey(startKey);
        env.defaults().removeObjectForKey(lengthKey);
        if (c.length) env.defaults().setObject(lengthKey, Value(*c.length));
        if (c.start) env.defaults().setObject(startKey, Value(at(*c.start)));
        env.defaults().synchronize();

        CustomDatePickerController screen(env.services(), c.wifi);
        screen.viewDidLoad();
        EXPECT_EQ(iso(screen.minimumDate), c.minimum);
        EXPECT_EQ(screen.maximumDate, env.clock.current);
        EXPECT_EQ(iso(screen.date), c.shown);
        const auto start = stored(startKey);
        ASSERT_EQ(start.has_value(), c.storedStart.has_value());
        if (start) {
            EXPECT_EQ(iso(*start->asDate()), *c.storedStart);
        }
    }
    CustomWiFiDatePickerController wifi(env.services());
    wifi.viewDidLoad();
    wifi.setSelectedDate(at("2026-12-01T00:00:00"));
    EXPECT_EQ(stored("firstDayOfCycleWifi")->integerValue(), 9999);
    EXPECT_EQ(iso(*stored("CustomStartDateWiFi")->asDate()), "2026-12-01T00:00:00+01:00");
}

TEST_F(PlanSetupTest, StartDateIsStoredOnTheFirstVisit) {
    StartDateViewController screen(env.services());
    screen.viewDidLoad();
    EXPECT_EQ(*stored("CustomStartDate")->asDate(), env.clock.current);
    screen.setSelectedDate(at("2026-12-03T00:00:00"));
    EXPECT_EQ(screen.selectedDate, "Starting 2026-12-02 23:00:00 +0000");
    EXPECT_TRUE(env.log.contains("Min Date is: "));
}

TEST_F(PlanSetupTest, QuotaWheelsNeverStoreZero) {
    struct Case {
        std::array<int, 5> wheels; // the last is the unit: 0 MB, 1 GB
        long long limit;
        const char *unit;
        const char *label;
    };
    const Case cases[] = {
        {{0, 0, 0, 0, 0}, 1024, "MB", "1024 MB"},
        {{0, 0, 0, 0, 1}, 1024, "GB", "1024 GB"},
        {{2, 0, 4, 8, 1}, 2048, "GB", "2048 GB"},
        {{0, 5, 0, 0, 0}, 500, "MB", "500 MB"},
    };
    for (const auto &c : cases) {
        QuotaViewController screen(env.services());
        screen.viewDidLoad();
        // The wheels as the user left them; the last turn is the unit's.
        screen.selected = c.wheels;
        screen.pickerView(c.wheels[4], DigitWheels::kUnitWheel);
        EXPECT_EQ(screen.selectedQuota, c.label);
        EXPECT_EQ(stored("cellularDataLimit")->integerValue(), c.limit);
        EXPECT_TRUE(stored("cellularDataLimit")->isInteger());
        EXPECT_EQ(stored("cellularDataLimitUnit")->stringValue(), c.unit);
    }
}

TEST_F(PlanSetupTest, QuotaWheelsShowTheStoredQuota) {
    set("cellularDataLimit", Value(2048));
    set("cellularDataLimitUnit", Value("GB"));
    QuotaViewController screen(env.services());
    screen.viewDidLoad();
    EXPECT_EQ(screen.selected, (std::array<int, 5>{2, 0, 4, 8, 1}));
    set("cellularDataLimit", Value(123456)); // more digits than wheels: the last four show
    QuotaViewController wide(env.services());
    wide.viewDidLoad();
    EXPECT_EQ(wide.value(), 3456);
}

TEST_F(PlanSetupTest, CurrentUsageGoesIntoTheCellularPeriod) {
    AppData record(env.services());
    record.getAppData("cellular");
    record.dataAllTime = 7.0;
    record.dataThisMonthSent = 11.0;
    EXPECT_TRUE(record.saveAppData());
    set("cellularDataLimit", Value(1500));

    CurrentUsageViewController screen(env.services());
    screen.viewDidLoad();
    EXPECT_EQ(screen.value(), 1500) << "starts from the plan's quota";
    screen.pickerView(0, DigitWheels::kUnitWheel);
    EXPECT_EQ(screen.selectedQuota, "1500 MB");
    AppData after(env.services());
    after.getAppData("cellular");
    EXPECT_EQ(*after.dataThisMonth, 1'572'864'000.0);
    EXPECT_EQ(*after.dataAllTime, 7.0);
    EXPECT_EQ(*after.dataThisMonthSent, 11.0) << "the split is left as it was";
}

} // namespace
} // namespace byteward

namespace byteward {
namespace {

TEST_F(PlanSetupTest, APlanSetUpThroughTheScreensDrivesTheNextUpdate) {
    // Weekly on Monday, 100 MB: chosen on the screens as a person would.
    PlanSetupScreen(env.services(), PlanSetupScreen::Kind::PlanType).perform("select", Value(ValueDict{}));
    ValueDict weekly;
    weekly.set("row", Value(1));
    PlanSetupScreen(env.services(), PlanSetupScreen::Kind::PlanType).perform("select", Value(weekly));
    ValueDict monday;
    monday.set("row", Value(1));
    PlanSetupScreen(env.services(), PlanSetupScreen::Kind::StartDay).perform("select", Value(monday));
    PlanSetupScreen quota(env.services(), PlanSetupScreen::Kind::Quota);
    for (const auto &[row, component] : {std::pair{1, 1}, {0, 4}}) { // 0100, then MB
        ValueDict turn;
        turn.set("row", Value(row));
        turn.set("component", Value(component));
        quota.perform("select", Value(turn));
    }
    EXPECT_EQ(quota.labels().find("selectedDate")->asDict()->find("text")->stringValue(), "100 MB");

    env.statistics.set("wwan0", 0, 0);
    MainViewController controller(env.services());
    controller.backgroundUpdate("", false); // 2026-12-08 is a Tuesday
    EXPECT_EQ(iso(*controller.appDataCellular().lastBillingDate), "2026-12-07T00:00:00+01:00");
    EXPECT_EQ(iso(*controller.appDataCellular().nextBillingDate), "2026-12-14T00:00:00+01:00");
    env.statistics.set("wwan0", std::uint64_t{60} * 1024 * 1024, 0);
    env.clock.current += std::chrono::minutes(5);
    controller.backgroundUpdate("", false);
    bool alerted = false;
    for (const auto &n : env.notifications.scheduledLocalNotifications())
        alerted = alerted || n.alertBody == "Cellular usage exceeded 60.0%";
    EXPECT_TRUE(alerted) << "the 100 MB quota set on the screen drives the alerts";
}

} // namespace
} // namespace byteward
