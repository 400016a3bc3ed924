// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"
#include "storage/plist_codec.h"
#include "support/test_env.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

std::string fixture(const std::string &name) {
    std::ifstream in(fs::path(BYTEWARD_TEST_DATA) / "records" / name);
    return {std::istreambuf_iterator<char>(in), {}};
}

class AppDataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // What the interfaces say now, for fields an old file lacks: 500 sent, 3000 received.
        env.statistics.set("wwan0", 3000, 500);
        env.statistics.set("wlan0", 70, 30);
    }
    AppData load(const std::string &type) {
        AppData record(env.services());
        record.getAppData(type);
        return record;
    }
    test::TestEnv env;
};

TEST_F(AppDataTest, OlderFilesLoadWithEveryFillRule) {
    struct Expected {
        const char *file;
        double thisMonthSent, thisMonthRecd, allTimeSent, allTimeRecd, sinceBootSent, sinceBootRecd;
        double sinceAppLastRun, today;
        long long daysTotal;
        const char *place;
    };
    const Expected cases[] = {
        // 400 × 250 / 1000 and 400 × 3000 / 1000; since-app-last-run falls back to since-last-run.
        {"before_split.plist", 100, 1200, 250, 3000, 500, 3000, 77, 0, 30, "Not Available."},
        // Nothing all time: sent 0, and received takes the whole period.
        {"nothing_this_cycle.plist", 0, 400, 8, 9, 8, 9, 12, -1, 0, "Springfield, IL"},
        {"empty.plist", 0, 0, 500, 3000, 500, 3000, 0, 0, 0, "Not Available."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        test::writeFile(env.paths().dataDir / "app_data_cellular.plist", fixture(c.file));
        const AppData r = load("cellular");
        EXPECT_DOUBLE_EQ(*r.dataThisMonthSent, c.thisMonthSent);
        EXPECT_DOUBLE_EQ(*r.dataThisMonthRecd, c.thisMonthRecd);
        EXPECT_DOUBLE_EQ(*r.dataAllTimeSent, c.allTimeSent);
        EXPECT_DOUBLE_EQ(*r.dataAllTimeRecd, c.allTimeRecd);
        EXPECT_DOUBLE_EQ(*r.dataSinceLastBootSent, c.sinceBootSent);
        EXPECT_DOUBLE_EQ(*r.dataSinceLastBootRecd, c.sinceBootRecd);
        EXPECT_DOUBLE_EQ(*r.dataSinceAppLastRun, c.sinceAppLastRun);
        EXPECT_DOUBLE_EQ(*r.dataToday, c.today);
        EXPECT_EQ(*r.billingDaysTotal, c.daysTotal);
        EXPECT_EQ(*r.lastLocation, c.place);
        EXPECT_EQ(*r.lastLocationDataUsed, "Not Available.");
        EXPECT_DOUBLE_EQ(*r.dataSinceLastRunSent, 0);
    }
}

TEST_F(AppDataTest, DatesOfAnOldFileSurviveAndMissingOnesStayAbsent) {
    test::writeFile(env.paths().dataDir / "app_data_cellular.plist", fixture("before_split.plist"));
    const AppData r = load("cellular");
    EXPECT_EQ(secondsSince1970(*r.lastUpdate), 1'336'126'830);
    EXPECT_EQ(secondsSince1970(*r.lastBillingDate), 1'335'830'400);
    test::writeFile(env.paths().dataDir / "app_data_cellular.plist", fixture("empty.plist"));
    const AppData e = load("cellular");
    EXPECT_FALSE(e.lastUpdate || e.nextBillingDate || e.lastBillingDate);
}

TEST_F(AppDataTest, WithoutAFileEveryFieldStaysAbsent) {
    const AppData r = load("wifi");
    EXPECT_EQ(r.appDataType, "wifi");
    EXPECT_FALSE(r.dataAllTime || r.dataToday || r.lastLocation || r.lastUpdate ||
                 r.dataSinceLastBootSent);
    EXPECT_TRUE(r.appSettings.has_value());
    EXPECT_EQ(env.statistics.reads, 0) << "a first run reads no counters while loading";
}

TEST_F(AppDataTest, SaveWritesEachKeyWithItsKindAndLeavesAbsentFieldsOut) {
    AppData r = load("wifi");
    r.dataAllTime = 1.5e10;
    r.dataToday = -1;
    r.billingDaysTotal = 31;
    r.lastBillingDate = instantFromSeconds(1'764'547'200);
    r.lastLocation = std::nullopt;
    r.lastLocationDataUsed = "Springfield, IL";
    r.monthlyResetOccured = true;
    ASSERT_TRUE(r.saveAppData());

    std::ifstream in(env.paths().dataDir / "app_data_wifi.plist");
    const auto stored = parsePropertyList(std::string(std::istreambuf_iterator<char>(in), {}));
    ASSERT_TRUE(stored && stored->isDict());
    const ValueDict &d = *stored->asDict();
    EXPECT_TRUE(d.find("dataAllTime")->isReal());
    EXPECT_TRUE(d.find("billingDaysTotal")->isInteger());
    EXPECT_TRUE(d.find("lastBillingDate")->isDate());
    EXPECT_FALSE(d.contains("lastLocation"));
    EXPECT_FALSE(d.contains("dataThisMonth"));
    EXPECT_FALSE(d.contains("monthlyResetOccured"));
    EXPECT_FALSE(d.contains("appDataType"));
    EXPECT_EQ(d.size(), 5u);

    const AppData back = load("wifi");
    EXPECT_EQ(*back.lastLocation, "Not Available.");
    EXPECT_EQ(*back.dataAllTime, 1.5e10);
    EXPECT_EQ(*back.dataToday, -1);
    EXPECT_EQ(*back.lastBillingDate, *r.lastBillingDate);
    EXPECT_FALSE(back.monthlyResetOccured);
}

TEST_F(AppDataTest, FullRecordRoundTripsThroughItsFile) {
    AppData r = load("cellular");
    double value = 1;
    for (auto *field : {&r.dataAllTime, &r.dataThisMonth, &r.dataSinceLastBoot, &r.dataSinceLastRun,
                        &r.dataSinceAppLastRun, &r.dataToday, &r.dataAllTimeSent,
                        &r.dataAllTimeRecd, &r.dataThisMonthSent, &r.dataThisMonthRecd,
                        &r.dataSinceLastBootSent, &r.dataSinceLastBootRecd, &r.dataSinceLastRunSent,
                        &r.dataSinceLastRunRecd, &r.dataSinceAppLastRunSent,
                        &r.dataSinceAppLastRunRecd, &r.dataTodaySent, &r.dataTodayRecd})
        *field = (value *= 3.7);
    r.lastUpdate = instantFromSeconds(1'796'689'514);
    r.nextBillingDate = instantFromSeconds(1'798'761'600);
    r.lastBillingDate = instantFromSeconds(1'796'083'200);
    r.billingDaysElapsed = 7;
    r.billingDaysTotal = 31;
    r.lastLocation = "Köln, NRW";
    r.lastLocationDataUsed = "<Home & Away>";
    ASSERT_TRUE(r.saveAppData());
    const AppData back = load("cellular");
    EXPECT_EQ(back.toDictionary(), r.toDictionary());
    EXPECT_EQ(back.toDictionary().size(), 25u);
}

TEST_F(AppDataTest, UnreadableFileLoadsEmptyAndIsKeptAsideForTheUser) {
    const fs::path file = env.paths().dataDir / "app_data_cellular.plist";
    test::writeFile(file, "<plist><dict><key>dataAllTime</key><real>12");
    AppData r = load("cellular");
    EXPECT_EQ(*r.dataAllTime, 0);
    EXPECT_EQ(*r.dataSinceLastBootRecd, 3000) << "since-boot values come from the interfaces";
    EXPECT_TRUE(env.log.contains("kept it as"));
    r.dataAllTime = 5;
    ASSERT_TRUE(r.saveAppData());

    int kept = 0;
    for (const auto &entry : fs::directory_iterator(env.paths().dataDir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("app_data_cellular.plist.unreadable-", 0) == 0) {
            ++kept;
            std::ifstream in(entry.path());
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
                      "<plist><dict><key>dataAllTime</key><real>12");
        }
    }
    EXPECT_EQ(kept, 1);
}

TEST_F(AppDataTest, CurrentReadingFollowsTheRecordsOwnTypeAndDirection) {
    AppData wifi = load("wifi");
    AppData cellular = load("cellular");
    struct Case {
        const AppData &record;
        int direction;
        double expected;
    };
    const Case cases[] = {
        {wifi, 1, 30},       {wifi, 2, 70},       {wifi, 3, 100},
        {wifi, 0, 0},        {wifi, 4, 0},        {cellular, 1, 500},
        {cellular, 2, 3000}, {cellular, 3, 3500}, {cellular, 4, 0},
    };
    for (const auto &c : cases) {
        // The type argument is not consulted.
        EXPECT_EQ(c.record.getCurrentDataUsageForDataType("cellular", c.direction), c.expected)
            << c.record.appDataType << " " << c.direction;
    }
}

TEST(AppDataNumbers, MissingKeyReadsZero) {
    ValueDict d;
    d.set("a", Value(2));
    d.set("b", Value("3.5"));
    EXPECT_EQ(AppData::getNumberForKey("a", d), 2.0);
    EXPECT_EQ(AppData::getNumberForKey("b", d), 3.5);
    EXPECT_EQ(AppData::getNumberForKey("c", d), 0.0);
}

} // namespace
} // namespace byteward
