// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"
#include "model/history.h"
#include "model/update_cycle.h"
#include "platform/iso8601.h"
#include "support/test_env.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

namespace byteward {
namespace {

constexpr double MB = 1024.0 * 1024.0;

class CounterUpdateTest : public ::testing::Test {
  protected:
    CounterUpdateTest() { AppSettings(env.services()).getSettings(); }

    Instant at(const char *iso) { return *parseIso8601(iso, env.calendar); }

    // One update of the cellular record at a time with the modem's counters at rx/tx.
    AppData update(const char *now, double rx, double tx, const std::string &place = "",
                   bool reset = false) {
        env.clock.current = at(now);
        env.statistics.set("wwan0", static_cast<std::uint64_t>(rx), static_cast<std::uint64_t>(tx));
        AppData record(env.services());
        EXPECT_TRUE(record.performBackgroundUpdateForType("cellular", place, reset));
        return record;
    }
    AppData stored() {
        AppData record(env.services());
        record.getAppData("cellular");
        return record;
    }

    test::TestEnv env;
};

TEST_F(CounterUpdateTest, FirstUpdateStartsAllTimeWithEverythingSinceBoot) {
    const AppData r = update("2026-12-08T10:00:00Z", 3 * MB, 2 * MB);
    EXPECT_EQ(*r.dataAllTime, 5 * MB);
    EXPECT_EQ(*r.dataSinceLastBoot, 5 * MB);
    EXPECT_EQ(*r.dataAllTimeSent, 2 * MB);
    EXPECT_EQ(*r.dataSinceLastBootRecd, 3 * MB);
    EXPECT_EQ(*r.dataSinceLastRun, 0);
    EXPECT_EQ(*r.dataSinceAppLastRun, 0);
    EXPECT_TRUE(std::filesystem::exists(r.dataFilePath()));
    const AppData back = stored();
    EXPECT_EQ(*back.dataToday, 0) << "today starts unset and reads 0";
    EXPECT_EQ(back.bootId, "boot-1");
}

TEST_F(CounterUpdateTest, IncrementFollowsRebootsDecreasesAndClockSteps) {
    struct Case {
        const char *name;
        double rx, tx;                     // counters at the second update
        std::optional<std::string> bootId; // the kernel's boot id then
        std::int64_t bootTime;             // the boot instant then
        bool storedBootIdKnown;            // false: a record from before boot ids were kept
        double total, sent, received;      // expected increment
    };
    // First update: 10:00, rx 500, tx 400, booted at 09:00 with boot id "boot-1".
    const std::int64_t bootedAt = 1'796'720'400;   // 2026-12-08T09:00:00Z
    const std::int64_t steppedAt = 1'796'725'000;  // 10:16:40: after the first update
    const std::int64_t sameMinute = 1'796'724'030; // 10:00:30, first update at 10:00:10
    const Case cases[] = {
        {"ordinary", 550, 450, "boot-1", bootedAt, true, 100, 50, 50},
        {"no traffic", 500, 400, "boot-1", bootedAt, true, 0, 0, 0},
        {"counters went down", 200, 100, "boot-1", bootedAt, true, 300, 100, 200},
        {"new boot id", 600, 500, "boot-2", steppedAt, true, 1100, 500, 600},
        {"clock stepped, same boot", 550, 450, "boot-1", steppedAt, true, 100, 50, 50},
        {"old record, boot after last update", 600, 500, "boot-1", steppedAt, false, 1100, 500,
         600},
        {"unknown boot id, boot after last update", 600, 500, std::nullopt, steppedAt, true, 1100,
         500, 600},
        {"boot in the same minute as the last update", 600, 500, std::nullopt, sameMinute, true,
         200, 100, 100},
        {"boot instant unknown, counters went down", 10, 20, std::nullopt, -1, true, 30, 20, 10},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        env.boot.id = "boot-1";
        env.boot.time = bootedAt;
        std::filesystem::remove_all(env.paths().dataDir);
        update("2026-12-08T10:00:10Z", 500, 400);
        if (!c.storedBootIdKnown) {
            AppData r = stored();
            r.bootId.reset();
            EXPECT_TRUE(r.saveAppData());
        }
        env.boot.id = c.bootId;
        env.boot.time = c.bootTime;
        const AppData r = update("2026-12-08T10:30:00Z", c.rx, c.tx);
        EXPECT_EQ(*r.dataSinceLastRun, c.total);
        EXPECT_EQ(*r.dataSinceLastRunSent, c.sent);
        EXPECT_EQ(*r.dataSinceLastRunRecd, c.received);
        EXPECT_EQ(*r.dataAllTime, 900 + c.total);
        EXPECT_EQ(*r.dataSinceLastBoot, c.rx + c.tx);
        EXPECT_EQ(*r.dataToday, c.total);
    }
}

TEST_F(CounterUpdateTest, EachInterfaceIsCountedFromItsOwnLastReading) {
    struct Interface {
        const char *name;
        std::int64_t index; // -1: the tree does not say
        std::uint64_t rx, tx;
    };
    struct Case {
        const char *name;
        std::vector<Interface> after; // the modems at the second update
        bool legacyRecord;            // the record has no per-interface reading
        double sent, received;        // expected increment
    };
    // First update: wwan0 (index 3) rx 1000 tx 100, wwan1 (index 4) rx 500 tx 50.
    const std::vector<Interface> before{{"wwan0", 3, 1000, 100}, {"wwan1", 4, 500, 50}};
    const Case cases[] = {
        {"both count on", {{"wwan0", 3, 1200, 110}, {"wwan1", 4, 600, 60}}, false, 20, 300},
        {"one re-created, its new count past its old one",
         {{"wwan0", 3, 1200, 100}, {"wwan1", 7, 800, 70}},
         false,
         70,
         1000},
        {"one re-created, the tree has no index",
         {{"wwan0", -1, 1700, 100}, {"wwan1", -1, 300, 10}},
         false,
         10,
         1000},
        {"one deleted while the other counts on", {{"wwan0", 3, 1100, 100}}, false, 0, 100},
        {"a new one appears",
         {{"wwan0", 3, 1000, 100}, {"wwan1", 4, 500, 50}, {"wwan2", 9, 40, 10}},
         false,
         10,
         40},
        {"a record from before per-interface readings",
         {{"wwan0", 3, 1100, 100}, {"wwan1", 4, 500, 50}},
         true,
         0,
         100},
    };
    auto setModems = [&](const std::vector<Interface> &modems) {
        env.statistics.snapshot.interfaces.clear();
        for (const auto &m : modems) {
            env.statistics.set(m.name, m.rx, m.tx);
            env.statistics.snapshot.interfaces.back().index = m.index;
        }
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(env.paths().dataDir);
        setModems(before);
        AppData first(env.services());
        ASSERT_TRUE(first.performBackgroundUpdateForType("cellular", "", false));
        if (c.legacyRecord) {
            AppData r = stored();
            r.interfaceReadings.reset();
            EXPECT_TRUE(r.saveAppData());
        }
        setModems(c.after);
        AppData r(env.services());
        ASSERT_TRUE(r.performBackgroundUpdateForType("cellular", "", false));
        EXPECT_EQ(*r.dataSinceLastRunSent, c.sent);
        EXPECT_EQ(*r.dataSinceLastRunRecd, c.received);
        EXPECT_EQ(*r.dataAllTime, 1650 + c.sent + c.received);
        EXPECT_EQ(stored().interfaceReadings->size(), c.after.size());
    }
}

TEST_F(CounterUpdateTest, AnInterfaceThatComesToCountCountsFromItsLastReadingNotFromBoot) {
    using Kind = NetworkDeviceInfo::Kind;
    auto hotspot = [](bool metered) {
        NetworkServicesState s;
        s.networkManager = true;
        s.devices.push_back({"wlan0", Kind::WiFi, true, metered});
        return s;
    };
    struct Case {
        const char *what;
        NetworkServicesState before, after;
        std::vector<std::pair<std::string, double>> countersAfter; // name, rx (tx = rx / 10)
        double cellularReceived, wifiReceived;
    };
    // Both records first see wwan0 at rx 1000 and wlan0 at rx 50000.
    const Case cases[] = {
        {"the Wi-Fi joins a phone's hotspot",
         hotspot(false),
         hotspot(true),
         {{"wwan0", 1100}, {"wlan0", 52000}},
         100 + 2000,
         0},
        {"the Wi-Fi leaves the hotspot",
         hotspot(true),
         hotspot(false),
         {{"wwan0", 1100}, {"wlan0", 52000}},
         100,
         2000},
        {"a carrier gets a data interface on it",
         {},
         {},
         {{"wwan0", 1500}, {"rmnet_data0", 480}},
         480,
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(env.paths().dataDir);
        env.statistics.snapshot.interfaces.clear();
        env.statistics.set("wwan0", 1000, 100);
        env.statistics.snapshot.interfaces.back().index = 2;
        env.statistics.set("wlan0", 50000, 5000, "wlan");
        env.statistics.snapshot.interfaces.back().index = 3;
        env.network.current = c.before;
        for (const char *type : {"cellular", "wifi"}) {
            AppData first(env.services());
            ASSERT_TRUE(first.performBackgroundUpdateForType(type, "", false));
        }
        env.network.current = c.after;
        for (const auto &[name, rx] : c.countersAfter) {
            const auto before = env.statistics.snapshot.interfaces.size();
            env.statistics.set(name, static_cast<std::uint64_t>(rx),
                               static_cast<std::uint64_t>(rx / 10),
                               name == "wlan0" ? "wlan" : "");
            auto &added = env.statistics.snapshot.interfaces.back();
            if (env.statistics.snapshot.interfaces.size() > before && name == "rmnet_data0") {
                added.index = 9;
                added.link = 2;
                added.lowers = {"wwan0"};
            }
        }
        for (const auto &[type, received] :
             {std::pair{"cellular", c.cellularReceived}, std::pair{"wifi", c.wifiReceived}}) {
            AppData r(env.services());
            ASSERT_TRUE(r.performBackgroundUpdateForType(type, "", false));
            EXPECT_EQ(*r.dataSinceLastRunRecd, received) << type;
        }
    }
}

TEST_F(CounterUpdateTest, UnreadableCountersLeaveTheRecordAsItWas) {
    update("2026-12-08T10:00:00Z", 500, 400);
    update("2026-12-08T10:10:00Z", 600, 500);
    std::ifstream before(stored().dataFilePath());
    const std::string bytesBefore{std::istreambuf_iterator<char>(before), {}};

    env.statistics.snapshot = StatsSnapshot{{}, "cannot list network interfaces"};
    env.clock.current = at("2026-12-09T10:20:00Z");
    AppData r(env.services());
    EXPECT_FALSE(r.performBackgroundUpdateForType("cellular", "", false));
    std::ifstream after(r.dataFilePath());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(after), {}), bytesBefore);
    EXPECT_TRUE(env.log.contains("could not be read"));

    // The next good reading counts only what is new, not the whole since-boot reading again.
    env.statistics.snapshot = {};
    const AppData next = update("2026-12-09T10:30:00Z", 650, 550);
    EXPECT_EQ(*next.dataSinceLastRun, 100);
}

// An update whose files cannot all be written says why and leaves what was stored as it was;
// the next update that can write closes the day and the period once and counts the traffic once.
TEST_F(CounterUpdateTest, AnUpdateThatCannotWriteLeavesTheStoredFilesAndIsDoneOnceLater) {
    auto bytesOf = [](const std::filesystem::path &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    struct Case {
        const char *name;
        bool historyWritable; // the logs fit under the limit, the record does not
    };
    for (const Case &c :
         {Case{"nothing can be written", false}, Case{"only the logs could be written", true}}) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(env.paths().dataDir);
        env.defaults().setObject("firstDayOfCycle", Value(1));
        env.defaults().synchronize();
        update("2026-11-30T10:00:00Z", 500, 400);
        update("2026-11-30T11:00:00Z", 600, 500); // 200 bytes today and in November
        const std::string record = bytesOf(stored().dataFilePath());

        env.clock.current = at("2026-12-01T09:00:00Z"); // a new day and a new period
        env.statistics.set("wwan0", 700, 600);
        FileResult result;
        {
            test::FileSizeLimit limit(c.historyWritable ? record.size() / 2 : 0);
            result = AppData(env.services()).performBackgroundUpdateForType("cellular", "", false);
        }
        EXPECT_FALSE(result);
        EXPECT_NE(result.error.find("File too large"), std::string::npos) << result.error;
        EXPECT_EQ(bytesOf(stored().dataFilePath()), record);
        EXPECT_EQ(History::getAllHistoryLogs(env.services()).size(), c.historyWritable ? 2u : 0u);

        const AppData later = update("2026-12-01T09:10:00Z", 700, 600);
        EXPECT_EQ(*later.dataAllTime, 1300) << "the traffic is counted once";
        EXPECT_EQ(*later.dataThisMonth, 0);
        const auto logs = History::getAllHistoryLogs(env.services());
        ASSERT_EQ(logs.size(), 2u) << "one daily and one billing log, not written twice";
        EXPECT_EQ(logs[0].dataTotal, 200);
        EXPECT_EQ(logs[1].dataTotal, 200);
    }
}

TEST_F(CounterUpdateTest, ADayChangeWhoseLogsCannotBeWrittenStoresNeitherRecord) {
    auto bytesOf = [](const std::filesystem::path &path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    auto cycle = [this](const char *now, std::uint64_t bytes) {
        env.clock.current = at(now);
        env.statistics.set("wwan0", bytes, bytes);
        env.statistics.set("wlan0", 2 * bytes, 2 * bytes, "wlan");
        return UpdateCycle(env.services()).backgroundUpdate("", false);
    };
    // A history far larger than a record, so a size limit can stop its write alone.
    std::vector<History> earlier;
    for (int day = 0; day < 300; ++day) {
        const Instant start = at("2025-01-01T00:00:00Z") + std::chrono::hours(24 * day);
        earlier.push_back(History::initWithStartDate(start, start, 1, 2, 3, History::kWiFi,
                                                     History::kDailyLog));
    }
    ASSERT_TRUE(History::saveHistoryLogs(env.services(), earlier));
    ASSERT_TRUE(cycle("2026-11-29T10:00:00Z", 100));
    ASSERT_TRUE(cycle("2026-11-29T11:00:00Z", 200));
    AppData cellular(env.services());
    cellular.getAppData("cellular");
    AppData wifi(env.services());
    wifi.getAppData("wifi");
    const std::string cellularBytes = bytesOf(cellular.dataFilePath());
    const std::string wifiBytes = bytesOf(wifi.dataFilePath());
    const auto historySize = std::filesystem::file_size(History::archivePath(env.services()));
    ASSERT_GT(historySize, 2 * std::max(cellularBytes.size(), wifiBytes.size()));
    {
        const test::FileSizeLimit limit(historySize / 2);
        const FileResult result = cycle("2026-11-30T09:00:00Z", 300);
        EXPECT_FALSE(result);
        EXPECT_NE(result.error.find("File too large"), std::string::npos) << result.error;
    }
    EXPECT_EQ(bytesOf(cellular.dataFilePath()), cellularBytes);
    EXPECT_EQ(bytesOf(wifi.dataFilePath()), wifiBytes);
    EXPECT_EQ(History::getAllHistoryLogs(env.services()).size(), earlier.size());

    ASSERT_TRUE(cycle("2026-11-30T09:10:00Z", 300));
    const auto logs = History::getAllHistoryLogs(env.services());
    ASSERT_EQ(logs.size(), earlier.size() + 2) << "one daily log per type, each written once";
    EXPECT_EQ(logs[earlier.size()].dataType, History::kCellular);
    EXPECT_EQ(logs[earlier.size()].dataTotal, cellular.dataToday);
    EXPECT_EQ(logs[earlier.size() + 1].dataType, History::kWiFi);
    EXPECT_EQ(logs[earlier.size() + 1].dataTotal, wifi.dataToday);
    EXPECT_GT(*wifi.dataToday, *cellular.dataToday);
}

TEST_F(CounterUpdateTest, SinceAppLastRunRestartsOnlyWithTheResetFlag) {
    update("2026-12-08T10:00:00Z", 500, 400);
    EXPECT_EQ(*update("2026-12-08T10:10:00Z", 600, 500).dataSinceAppLastRun, 200);
    EXPECT_EQ(*update("2026-12-08T10:20:00Z", 700, 600, "", true).dataSinceAppLastRun, 0);
    const AppData r = update("2026-12-08T10:30:00Z", 710, 605);
    EXPECT_EQ(*r.dataSinceAppLastRun, 15);
    EXPECT_EQ(*r.dataSinceAppLastRunSent, 5);
}

// A daemon keeps its record between samples; what another process stored in between (a period
// adjusted from the CLI) is what the next update builds on, not what the record last read.
TEST_F(CounterUpdateTest, AKeptRecordBuildsOnWhatAnotherProcessStoredSinceItsLastUpdate) {
    env.defaults().setObject("firstDayOfCycle", Value(1));
    env.defaults().setObject("firstDayOfCycleWifi", Value(1));
    AppData kept(env.services());
    auto updateKept = [&](const char *now, double rx, double tx) {
        env.clock.current = at(now);
        env.statistics.set("wwan0", static_cast<std::uint64_t>(rx), static_cast<std::uint64_t>(tx));
        EXPECT_TRUE(kept.performBackgroundUpdateForType("cellular", "", false));
    };
    updateKept("2026-12-08T10:00:00Z", 500, 400);
    updateKept("2026-12-08T10:10:00Z", 600, 500);
    ASSERT_EQ(*kept.dataThisMonth, 200);

    AppData other = stored();
    other.dataThisMonth = 5000;
    other.dataThisMonthRecd = 3000;
    other.dataThisMonthSent = 2000;
    ASSERT_TRUE(other.saveAppData());

    updateKept("2026-12-08T10:20:00Z", 650, 550);
    EXPECT_EQ(*kept.dataThisMonth, 5100);
    EXPECT_EQ(*kept.dataThisMonthRecd, 3050);
    EXPECT_EQ(*stored().dataThisMonth, 5100);
}

TEST_F(CounterUpdateTest, FirstUpdateOfADayClosesThePreviousDay) {
    struct Case {
        const char *name;
        const char *lastUpdate, *now;
        double dayTotal; // today's counter before the day closes; -1 for none
        const char *endDate;
        double loggedTotal;
        bool usedRange;
    };
    const Case cases[] = {
        {"a day with usage", "2026-12-14T23:50:00Z", "2026-12-15T00:10:00Z", 2 * MB,
         "2026-12-14T00:00:00+00:00", 2 * MB, false},
        {"no usage counted that day", "2026-12-14T23:50:00Z", "2026-12-15T00:10:00Z", -1,
         "2026-12-14T00:00:00+00:00", 1 * MB, true},
        {"a new month", "2026-12-31T22:00:00Z", "2027-01-01T08:00:00Z", 2 * MB,
         "2027-01-01T00:00:00+00:00", 2 * MB, false},
        {"day's total not above the increment", "2026-12-14T23:50:00Z", "2026-12-15T00:10:00Z",
         1 * MB, "2026-12-14T00:00:00+00:00", 1 * MB, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(env.paths().dataDir);
        env.log.lines.clear();
        update(c.lastUpdate, 0, 0);
        AppData r = stored();
        r.dataToday = c.dayTotal;
        r.dataTodaySent = c.dayTotal < 0 ? -1 : c.dayTotal / 4;
        r.dataTodayRecd = c.dayTotal < 0 ? -1 : c.dayTotal * 3 / 4;
        EXPECT_TRUE(r.saveAppData());

        const AppData after = update(c.now, 0.75 * MB, 0.25 * MB);
        EXPECT_EQ(*after.dataToday, -1);
        EXPECT_EQ(*after.dataTodaySent, -1);
        auto logs = History::getAllHistoryLogs(env.services());
        // A new month also closes the billing period; only the day's log matters here.
        std::erase_if(logs,
                      [](const History &log) { return log.historyType != History::kDailyLog; });
        ASSERT_EQ(logs.size(), 1u);
        EXPECT_EQ(logs[0].dataType, History::kCellular);
        EXPECT_EQ(logs[0].startDate, at(c.lastUpdate));
        EXPECT_EQ(formatIso8601(*logs[0].endDate, env.calendar), c.endDate);
        EXPECT_EQ(*logs[0].dataTotal, c.loggedTotal);
        EXPECT_EQ(env.log.contains("Using range value for history"), c.usedRange);
        EXPECT_TRUE(History::clearHistory(env.services()));
    }
}

TEST_F(CounterUpdateTest, AClockSetBackClosesNoDayOrPeriodTwice) {
    struct Case {
        const char *name;
        std::vector<const char *> times; // one update each, 1000 bytes apart
        std::size_t dailyLogs;
        const char *lastUpdate; // as stored after the last update
    };
    const Case cases[] = {
        {"back an hour within the day",
         {"2027-02-10T12:00:00Z", "2027-02-10T23:00:00Z", "2027-02-10T22:00:00Z",
          "2027-02-11T01:00:00Z"},
         1,
         "2027-02-11T01:00:00Z"},
        {"back across midnight and on again",
         {"2027-02-10T12:00:00Z", "2027-02-11T01:00:00Z", "2027-02-10T01:30:00Z",
          "2027-02-10T13:00:00Z", "2027-02-11T02:00:00Z", "2027-02-12T00:30:00Z"},
         2,
         "2027-02-12T00:30:00Z"},
        {"back across a month's first day",
         {"2027-02-28T12:00:00Z", "2027-03-01T06:00:00Z", "2027-02-28T20:00:00Z",
          "2027-03-01T09:00:00Z", "2027-03-02T09:00:00Z"},
         2,
         "2027-03-02T09:00:00Z"},
        {"back further than two days: the new clock is taken as right",
         {"2027-02-10T12:00:00Z", "2027-02-14T12:00:00Z", "2027-02-11T12:00:00Z"},
         2,
         "2027-02-11T12:00:00Z"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(env.paths().dataDir);
        double counter = 0;
        for (const char *when : c.times) {
            const AppData r = update(when, counter, 0);
            EXPECT_GE(r.dataToday.value_or(0), -1) << when;
            EXPECT_GE(r.dataThisMonth.value_or(0), 0) << when;
            counter += 1000;
        }
        const auto logs = History::getAllHistoryLogs(env.services());
        std::vector<Instant> days;
        std::vector<Instant> periods;
        for (const History &log : logs)
            (log.historyType == History::kDailyLog ? days : periods).push_back(*log.startDate);
        EXPECT_EQ(days.size(), c.dailyLogs);
        std::sort(days.begin(), days.end());
        std::sort(periods.begin(), periods.end());
        EXPECT_EQ(std::adjacent_find(days.begin(), days.end()), days.end()) << "a day logged twice";
        EXPECT_EQ(std::adjacent_find(periods.begin(), periods.end()), periods.end())
            << "a period logged twice";
        EXPECT_EQ(stored().lastUpdate, at(c.lastUpdate));
        EXPECT_EQ(*stored().dataAllTime, counter - 1000);
        EXPECT_TRUE(History::clearHistory(env.services()));
    }
}

TEST_F(CounterUpdateTest, TheDayAfterAClosedDayCountsFromZero) {
    update("2026-12-14T23:50:00Z", 0, 0);
    update("2026-12-15T00:10:00Z", 100, 0); // closes the 14th, today -1
    const AppData r = update("2026-12-15T08:00:00Z", 350, 50);
    EXPECT_EQ(*r.dataToday, 300) << "not 299: -1 only marks an empty day";
    EXPECT_EQ(*r.dataTodaySent, 50);
    EXPECT_EQ(*r.dataTodayRecd, 250);
}

TEST_F(CounterUpdateTest, DaysChangeAtLocalMidnight) {
    test::TestEnv tokyo("Asia/Tokyo", "ja_JP");
    AppSettings(tokyo.services()).getSettings();
    auto run = [&](const char *now, double rx) {
        tokyo.clock.current = *parseIso8601(now, tokyo.calendar);
        tokyo.statistics.set("wwan0", static_cast<std::uint64_t>(rx), 0);
        AppData record(tokyo.services());
        EXPECT_TRUE(record.performBackgroundUpdateForType("cellular", "", false));
        return record;
    };
    run("2026-12-08T14:00:00Z", 0);                            // 23:00 in Tokyo
    EXPECT_EQ(*run("2026-12-08T14:50:00Z", 10).dataToday, 10); // 23:50, same day
    EXPECT_EQ(*run("2026-12-08T15:10:00Z", 30).dataToday, -1); // 00:10 the next day
}

TEST_F(CounterUpdateTest, PlaceWhereDataWasUsedFollowsRealPlacesOnly) {
    struct Step {
        const char *place;
        const char *lastLocation, *lastLocationDataUsed;
    };
    const Step steps[] = {
        {"", "", ""}, // first update: both empty
        {"Springfield, IL", "Springfield, IL", ""},
        {"Unknown", "Unknown", "Springfield, IL"},
        {"", "", "Springfield, IL"}, // "Unknown" is not a place
        {"Shelbyville, IL", "Shelbyville, IL", "Springfield, IL"},
        {"", "", "Shelbyville, IL"},
    };
    int minute = 0;
    for (const auto &s : steps) {
        const std::string now = "2026-12-08T10:0" + std::to_string(minute++) + ":00Z";
        const AppData r = update(now.c_str(), 100.0 * minute, 0, s.place);
        EXPECT_EQ(*r.lastLocation, s.lastLocation) << s.place;
        EXPECT_EQ(*r.lastLocationDataUsed, s.lastLocationDataUsed) << s.place;
    }
}

} // namespace
} // namespace byteward
