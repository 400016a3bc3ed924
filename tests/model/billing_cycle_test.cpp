// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"
#include "model/history.h"
#include "platform/iso8601.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

class BillingCycleTest : public ::testing::Test {
  protected:
    explicit BillingCycleTest(const char *zone = "Europe/Berlin") : env(zone, "de_DE") {
        AppSettings(env.services()).getSettings(); // the one-time conversion, out of the way
    }

    Instant at(const char *isoLocal) { return *parseIso8601(isoLocal, env.calendar); }
    std::string iso(std::optional<Instant> date) {
        return date ? formatIso8601(*date, env.calendar) : "(none)";
    }
    std::string day(std::optional<Instant> date) { return iso(date).substr(0, 10); }

    AppData record(const char *type = "cellular") {
        AppData r(env.services());
        r.getAppData(type);
        return r;
    }
    void setDefault(const char *key, Value value) {
        env.defaults().setObject(key, std::move(value));
        env.defaults().synchronize();
    }

    test::TestEnv env;
};

struct PeriodCase {
    long long code;
    const char *now;
    const char *last;
    const char *next;
};

TEST_F(BillingCycleTest, EveryPlanRuleGivesItsPeriod) {
    const PeriodCase cases[] = {
        // Monthly: the day itself starts the next period.
        {15, "2026-12-14T10:00", "2026-11-15", "2026-12-15"},
        {15, "2026-12-15T00:00", "2026-12-15", "2027-01-15"},
        {15, "2026-12-20T12:00", "2026-12-15", "2027-01-15"},
        {1, "2026-12-31T23:59", "2026-12-01", "2027-01-01"},
        {31, "2026-12-31T08:00", "2026-12-31", "2027-01-31"},
        // February lacks the day: the period runs from the January day to March 1.
        {31, "2026-01-31T09:00", "2026-01-31", "2026-03-01"},
        {30, "2026-01-30T09:00", "2026-01-30", "2026-03-01"},
        {29, "2028-01-29T09:00", "2028-01-29", "2028-02-29"},
        {29, "2026-01-29T09:00", "2026-01-29", "2026-03-01"},
        // Every fourth year counts as a leap year: in 2100 "February 29" carries to March 1, and
        // the period put together from it starts on February 1.
        {29, "2100-01-29T09:00", "2100-02-01", "2100-03-01"},
        {31, "2026-02-10T09:00", "2026-01-31", "2026-03-01"},
        // Lenient carry, no clamping: April 31 is May 1, and the month before that is April 1.
        {31, "2026-04-10T09:00", "2026-04-01", "2026-05-01"},
        {45, "2026-04-10T09:00", "2026-04-15", "2026-05-15"},
        // Weekly: 101 Sunday ... 107 Saturday; 2026-12-07 is a Monday.
        {102, "2026-12-07T10:00", "2026-12-07", "2026-12-14"},
        {102, "2026-12-06T23:59", "2026-11-30", "2026-12-07"},
        {107, "2026-12-12T00:00", "2026-12-12", "2026-12-19"},
        {101, "2026-12-31T12:00", "2026-12-27", "2027-01-03"},
        {108, "2026-12-08T12:00", "2026-12-06", "2026-12-13"}, // other codes above 100: Sunday
        {500, "2026-12-06T12:00", "2026-12-06", "2026-12-13"},
        // Daily.
        {1001, "2026-12-31T23:59", "2026-12-31", "2027-01-01"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " at " + c.now);
        env.clock.current = at(c.now);
        AppData r = record();
        r.setBillingDates(c.code);
        EXPECT_EQ(day(r.lastBillingDate), c.last);
        EXPECT_EQ(day(r.nextBillingDate), c.next);
        EXPECT_EQ(iso(r.lastBillingDate).substr(10, 9), "T00:00:00");
        EXPECT_EQ(iso(r.nextBillingDate).substr(10, 9), "T00:00:00");
    }
    EXPECT_TRUE(env.log.contains("handling feb.."));
}

TEST_F(BillingCycleTest, DayCountsAreCalendarDaysAcrossDaylightSaving) {
    struct Case {
        long long code;
        const char *now;
        long long total;
        long long elapsed;
    };
    const Case cases[] = {
        {15, "2026-03-20T12:00", 31, 5}, // 15 Mar to 15 Apr holds the spring change
        {15, "2026-03-30T00:30", 31, 15}, {101, "2026-03-29T12:00", 7, 0}, // the 23-hour Sunday
        {101, "2026-10-31T23:00", 7, 6}, // a week holding the 25-hour Sunday
        {1001, "2026-03-29T23:30", 1, 0}, {1, "2026-02-28T23:59", 28, 27},
        {1, "2028-02-29T12:00", 29, 28},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " at " + c.now);
        env.clock.current = at(c.now);
        setDefault("firstDayOfCycle", Value(c.code));
        AppData r = record();
        r.udpateBillingCounter(false);
        EXPECT_EQ(r.billingDaysTotal, c.total);
        EXPECT_EQ(r.billingDaysElapsed, c.elapsed);
    }
}

TEST_F(BillingCycleTest, CustomPeriodsFollowTheStoredStartAndLength) {
    struct Case {
        const char *name;
        std::optional<const char *> start;
        std::optional<long long> length, lastLength;
        const char *last, *next;
        std::optional<const char *> storedStart;
        std::optional<long long> storedLastLength;
    };
    // Today is 2026-12-08.
    const Case cases[] = {
        {"current period", "2026-12-01T15:00", 30, 30, "2026-12-01", "2026-12-31", "2026-12-01",
         30},
        {"ended 10 days ago: one period on", "2026-10-29T00:00", 30, 30, "2026-11-28", "2026-12-28",
         "2026-11-28", 30},
        {"ended long ago: straight to the period holding today", "2026-01-01T00:00", 30, 30,
         "2026-11-27", "2026-12-27", "2026-11-27", 30},
        {"shortened: start moved to within one period", "2026-11-28T00:00", 7, 30, "2026-12-02",
         "2026-12-09", "2026-12-02", 7},
        {"lengthened, start in the future: start is now", "2026-12-20T00:00", 60, 30, "2026-12-08",
         "2027-02-06", "2026-12-08T10:00", 60},
        {"no last length yet: taken as unchanged", "2026-12-05T00:00", 10, std::nullopt,
         "2026-12-05", "2026-12-15", "2026-12-05", 10},
        {"no start yet: starts today", std::nullopt, 14, 14, "2026-12-08", "2026-12-22",
         std::nullopt, 14},
        {"one day is the daily plan", "2026-11-01T00:00", 1, 1, "2026-12-08", "2026-12-09",
         "2026-11-01", 1},
    };
    for (const char *type : {"cellular", "wifi"}) {
        const bool wifi = std::string(type) == "wifi";
        const char *startKey = wifi ? "CustomStartDateWiFi" : "CustomStartDate";
        const char *lengthKey = wifi ? "ResetDaysWiFi" : "ResetDays";
        const char *lastLengthKey = wifi ? "LastResetDaysWiFi" : "LastResetDays";
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(type) + ": " + c.name);
            for (const char *key : {"CustomStartDate", "ResetDays", "LastResetDays",
                                    "CustomStartDateWiFi", "ResetDaysWiFi", "LastResetDaysWiFi"})
                env.defaults().removeObjectForKey(key);
            if (c.start) env.defaults().setObject(startKey, Value(at(*c.start)));
            if (c.length) env.defaults().setObject(lengthKey, Value(*c.length));
            if (c.lastLength) env.defaults().setObject(lastLengthKey, Value(*c.lastLength));
            env.defaults().synchronize();
            env.clock.current = at("2026-12-08T10:00");

            AppData r = record(type);
            r.setBillingDates(9999);
            EXPECT_EQ(day(r.lastBillingDate), c.last);
            EXPECT_EQ(day(r.nextBillingDate), c.next);
            auto stored = env.openDefaultsAgain(); // what other processes see
            const auto storedStart = stored->objectForKey(startKey);
            EXPECT_EQ(storedStart.has_value(), c.storedStart.has_value());
            if (c.storedStart && storedStart) {
                const std::string expected = *c.storedStart;
                EXPECT_EQ(iso(*storedStart->asDate()).substr(0, expected.size()), expected);
            }
            EXPECT_EQ(stored->objectForKey(lastLengthKey)->integerValue(), c.storedLastLength);
            EXPECT_FALSE(stored->objectForKey(wifi ? "CustomStartDate" : "CustomStartDateWiFi"));
        }
    }
}

TEST_F(BillingCycleTest, MinimumStartIsOnePeriodBackFromToday) {
    env.clock.current = at("2026-03-30T10:00");
    const AppData r = record();
    EXPECT_EQ(iso(r.getMinDate(30.0)), "2026-03-01T00:00:00+01:00");
    EXPECT_EQ(iso(r.getMinDate(1.0)), "2026-03-30T00:00:00+02:00");
}

class BillingPassTest : public BillingCycleTest {
  protected:
    void SetUp() override {
        setDefault("firstDayOfCycle", Value(1));
        setDefault("firstDayOfCycleWifi", Value(1));
    }
    // A stored record part-way through November's period.
    void storeNovemberRecord(const char *type = "cellular") {
        env.clock.current = at("2026-11-20T12:00");
        AppData r = record(type);
        r.dataThisMonth = 1000;
        r.dataThisMonthSent = 400;
        r.dataThisMonthRecd = 600;
        r.lastBillingDate = at("2026-11-01T00:00");
        r.nextBillingDate = at("2026-12-01T00:00");
        r.lastUpdate = at("2026-11-30T22:00");
        ASSERT_TRUE(r.saveAppData());
    }
    // What an update does: load, count the increment, run the pass, save.
    AppData update(const char *now, double sent, double received, const char *type = "cellular") {
        env.clock.current = at(now);
        AppData r = record(type);
        r.dataSinceLastRun = sent + received;
        r.dataSinceLastRunSent = sent;
        r.dataSinceLastRunRecd = received;
        r.udpateBillingCounter(true);
        r.lastUpdate = env.clock.current;
        EXPECT_TRUE(r.saveAppData());
        return r;
    }
};

TEST_F(BillingPassTest, UpdateInsideThePeriodAddsItsIncrement) {
    storeNovemberRecord();
    const AppData r = update("2026-11-30T23:00", 10, 20);
    EXPECT_EQ(*r.dataThisMonth, 1030);
    EXPECT_EQ(*r.dataThisMonthSent, 410);
    EXPECT_EQ(*r.dataThisMonthRecd, 620);
    EXPECT_FALSE(r.monthlyResetOccured);
    EXPECT_TRUE(History::getAllHistoryLogs(env.services()).empty());
}

TEST_F(BillingPassTest, RolloverWritesOneLogEvenAfterDisplayPasses) {
    storeNovemberRecord("wifi");
    for (const char *now : {"2026-12-01T00:00", "2026-12-01T08:00"}) {
        env.clock.current = at(now);
        AppData shown = record("wifi");
        shown.udpateBillingCounter(false);
        EXPECT_EQ(day(shown.lastBillingDate), "2026-12-01");
        EXPECT_EQ(*shown.dataThisMonth, 0) << "the stored figures belong to November";
        EXPECT_FALSE(shown.monthlyResetOccured);
    }
    EXPECT_TRUE(History::getAllHistoryLogs(env.services()).empty());

    const AppData first = update("2026-12-01T09:00", 10, 20, "wifi");
    EXPECT_TRUE(first.monthlyResetOccured);
    EXPECT_EQ(*first.dataThisMonth, 0)
        << "the increment that found the rollover counts in neither period";
    const AppData second = update("2026-12-01T10:00", 5, 7, "wifi");
    EXPECT_FALSE(second.monthlyResetOccured);
    EXPECT_EQ(*second.dataThisMonth, 12);

    const auto logs = History::getAllHistoryLogs(env.services());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].historyType, History::kBillingCycleLog);
    EXPECT_EQ(logs[0].dataType, History::kWiFi);
    EXPECT_EQ(iso(logs[0].startDate), "2026-11-01T00:00:00+01:00");
    EXPECT_EQ(iso(logs[0].endDate), "2026-11-30T00:00:00+01:00");
    EXPECT_EQ(logs[0].dataTotal, 1000);
    EXPECT_EQ(logs[0].dataSent, 400);
    EXPECT_EQ(logs[0].dataReceived, 600);
}

// An update after an absence closes the period that was in progress at the previous update, once,
// and counts from the period holding now; a display pass before it shows that period from zero.
TEST_F(BillingPassTest, AnAbsenceOfAnyLengthClosesThePeriodOfTheLastUpdateOnce) {
    struct Case {
        const char *plan;
        long long code;
        const char *lastUpdate, *now;
        const char *logStart, *logEnd; // nullptr: still the same period
        const char *last, *next;
    };
    const Case cases[] = {
        // On the 31st: 31 December to 31 January, 31 January to 1 March, then from 1 March.
        {"monthly 31st, just under one period", 31, "2026-01-20T12:00", "2026-01-30T23:00", nullptr,
         nullptr, "2025-12-31", "2026-01-31"},
        {"monthly 31st, just over the boundary", 31, "2026-01-20T12:00", "2026-02-19T11:00",
         "2025-12-31", "2026-01-30", "2026-01-31", "2026-03-01"},
        {"monthly 31st, one period", 31, "2026-01-20T12:00", "2026-02-20T12:00", "2025-12-31",
         "2026-01-30", "2026-01-31", "2026-03-01"},
        {"monthly 31st, into the days March carries", 31, "2026-01-20T12:00", "2026-03-02T08:00",
         "2025-12-31", "2026-01-30", "2026-03-01", "2026-03-31"},
        {"monthly 31st, two periods", 31, "2026-01-20T12:00", "2026-03-20T12:00", "2025-12-31",
         "2026-01-30", "2026-03-01", "2026-03-31"},
        {"monthly 31st, thirteen periods", 31, "2026-01-20T12:00", "2027-02-20T12:00", "2025-12-31",
         "2026-01-30", "2027-01-31", "2027-03-01"},
        // Weekly on Monday; 2026-12-09 is a Wednesday.
        {"weekly, just under one period", 102, "2026-12-09T12:00", "2026-12-16T11:00", "2026-12-07",
         "2026-12-13", "2026-12-14", "2026-12-21"},
        {"weekly, one period", 102, "2026-12-09T12:00", "2026-12-16T12:00", "2026-12-07",
         "2026-12-13", "2026-12-14", "2026-12-21"},
        {"weekly, two periods", 102, "2026-12-09T12:00", "2026-12-23T12:00", "2026-12-07",
         "2026-12-13", "2026-12-21", "2026-12-28"},
        {"weekly, thirteen periods", 102, "2026-12-09T12:00", "2027-03-10T12:00", "2026-12-07",
         "2026-12-13", "2027-03-08", "2027-03-15"},
        {"daily, just under one period", 1001, "2026-12-09T12:00", "2026-12-10T11:00", "2026-12-09",
         "2026-12-09", "2026-12-10", "2026-12-11"},
        {"daily, two periods", 1001, "2026-12-09T12:00", "2026-12-11T12:00", "2026-12-09",
         "2026-12-09", "2026-12-11", "2026-12-12"},
        {"daily, thirteen periods", 1001, "2026-12-09T12:00", "2026-12-22T12:00", "2026-12-09",
         "2026-12-09", "2026-12-22", "2026-12-23"},
        // Ten days from 5 January.
        {"custom, just under one period", 9999, "2026-01-08T12:00", "2026-01-18T11:00",
         "2026-01-05", "2026-01-14", "2026-01-15", "2026-01-25"},
        {"custom, one period", 9999, "2026-01-08T12:00", "2026-01-18T12:00", "2026-01-05",
         "2026-01-14", "2026-01-15", "2026-01-25"},
        {"custom, two periods", 9999, "2026-01-08T12:00", "2026-01-28T12:00", "2026-01-05",
         "2026-01-14", "2026-01-25", "2026-02-04"},
        {"custom, over three periods", 9999, "2026-01-08T12:00", "2026-02-10T12:00", "2026-01-05",
         "2026-01-14", "2026-02-04", "2026-02-14"},
        {"custom, thirteen periods", 9999, "2026-01-08T12:00", "2026-05-18T12:00", "2026-01-05",
         "2026-01-14", "2026-05-15", "2026-05-25"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.plan + std::string(" at ") + c.now);
        std::filesystem::remove(History::archivePath(env.services()));
        std::filesystem::remove(record().dataFilePath());
        setDefault("firstDayOfCycle", Value(c.code));
        setDefault("CustomStartDate", Value(at("2026-01-05T00:00")));
        setDefault("ResetDays", Value(10LL));
        setDefault("LastResetDays", Value(10LL));
        {
            // The last update before the absence, with 30 MB in its period.
            env.clock.current = at(c.lastUpdate);
            AppData r = record();
            r.dataSinceLastRun = r.dataSinceLastRunSent = r.dataSinceLastRunRecd = 0.0;
            r.udpateBillingCounter(true);
            r.dataThisMonth = 30.0 * 1024 * 1024;
            r.dataThisMonthSent = 10.0 * 1024 * 1024;
            r.dataThisMonthRecd = 20.0 * 1024 * 1024;
            r.lastUpdate = env.clock.current;
            ASSERT_TRUE(r.saveAppData());
        }

        env.clock.current = at(c.now);
        AppData shown = record();
        shown.udpateBillingCounter(false);
        EXPECT_EQ(day(shown.lastBillingDate), c.last);
        EXPECT_EQ(*shown.dataThisMonth, c.logStart ? 0 : 30.0 * 1024 * 1024);

        const AppData updated = update(c.now, 1000, 2000);
        EXPECT_EQ(day(updated.lastBillingDate), c.last);
        EXPECT_EQ(day(updated.nextBillingDate), c.next);
        EXPECT_TRUE(
            AppData::date(env.clock.current, *updated.lastBillingDate, *updated.nextBillingDate));
        const auto logs = History::getAllHistoryLogs(env.services());
        if (!c.logStart) {
            EXPECT_TRUE(logs.empty());
            EXPECT_EQ(*updated.dataThisMonth, 30.0 * 1024 * 1024 + 3000);
            continue;
        }
        EXPECT_TRUE(updated.monthlyResetOccured);
        EXPECT_EQ(*updated.dataThisMonth, 0) << "nothing of the old period is carried over";
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(day(logs[0].startDate), c.logStart);
        EXPECT_EQ(day(logs[0].endDate), c.logEnd);
        EXPECT_EQ(logs[0].dataTotal, 30.0 * 1024 * 1024);
        EXPECT_EQ(logs[0].dataSent, 10.0 * 1024 * 1024);
    }
}

TEST_F(BillingPassTest, AnUpdateExactlyAtThePeriodStartClosesThePeriodOnce) {
    // The update at 00:00:00 closes November; the next one must not close the new period again
    // with a second, empty log (the daily plan met this at every midnight).
    storeNovemberRecord();
    EXPECT_TRUE(update("2026-12-01T00:00", 10, 20).monthlyResetOccured);
    const AppData next = update("2026-12-01T01:00", 5, 7);
    EXPECT_FALSE(next.monthlyResetOccured);
    EXPECT_EQ(*next.dataThisMonth, 12);
    const auto logs = History::getAllHistoryLogs(env.services());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].dataTotal, 1000);
}

TEST_F(BillingPassTest, PeriodCountersComeFromTheFileNotFromMemory) {
    storeNovemberRecord();
    env.clock.current = at("2026-11-30T23:00");
    AppData r = record();
    r.dataThisMonth = 999'999; // changed in memory, never saved
    r.dataSinceLastRun = 1;
    r.udpateBillingCounter(true);
    EXPECT_EQ(*r.dataThisMonth, 1001);
}

TEST_F(BillingPassTest, FirstUpdateOfADataTypeStartsItsPeriodAtZero) {
    env.clock.current = at("2026-12-08T10:00");
    AppData r = record();
    r.dataSinceLastRun = 500;
    r.udpateBillingCounter(true);
    EXPECT_EQ(*r.dataThisMonth, 0);
    EXPECT_EQ(*r.billingDaysTotal, 31);
    EXPECT_EQ(*r.billingDaysElapsed, 7);
    EXPECT_FALSE(r.monthlyResetOccured);
}

TEST_F(BillingPassTest, WithoutAPlanThereIsNoPeriod) {
    storeNovemberRecord();
    struct Case {
        const char *name;
        std::optional<Value> cellularCode, wifiCode;
        bool cleared;
    };
    const Case cases[] = {
        {"no cellular code", std::nullopt, Value(1), true},
        {"no Wi-Fi code", Value(1), std::nullopt, true},
        {"code 0", Value(0), Value(1), false},
        {"negative code", Value(-3), Value(1), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto &[key, code] :
             {std::pair{"firstDayOfCycle", c.cellularCode}, {"firstDayOfCycleWifi", c.wifiCode}}) {
            if (code)
                env.defaults().setObject(key, *code);
            else
                env.defaults().removeObjectForKey(key);
        }
        env.defaults().synchronize();
        env.clock.current = at("2026-12-05T10:00");
        AppData r = record();
        r.monthlyResetOccured = true;
        r.udpateBillingCounter(true);
        EXPECT_EQ(r.monthlyResetOccured, c.cleared) << "only a pass with a plan clears the flag";
        EXPECT_EQ(r.lastBillingDate.has_value(), !c.cleared);
        EXPECT_EQ(r.dataThisMonth.has_value(), !c.cleared);
        if (!c.cleared) {
            EXPECT_EQ(day(r.lastBillingDate), "2026-11-01") << "dates keep their loaded values";
            EXPECT_EQ(*r.dataThisMonth, 1000);
        }
    }
    EXPECT_TRUE(History::getAllHistoryLogs(env.services()).empty());
}

} // namespace
} // namespace byteward
