// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/custom_counter.h"
#include "platform/files.h"
#include "storage/keyed_archive.h"
#include "support/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;
using std::chrono::minutes;

CustomCounter counter(const std::string &name, Instant now) {
    CustomCounter c = CustomCounter::initWithName(name, now);
    c.uniqueId = name;
    return c;
}

std::vector<std::string> names(const std::vector<CustomCounter> &counters) {
    std::vector<std::string> result;
    for (const auto &c : counters)
        result.push_back(c.name);
    return result;
}

// The scheduled end-date notifications as (UniqueId, body) pairs.
std::vector<std::pair<std::string, std::string>> endAlerts(test::TestEnv &env) {
    std::vector<std::pair<std::string, std::string>> result;
    for (const auto &n : env.notifications.scheduledLocalNotifications()) {
        const Value *id = n.userInfo.find("UniqueId");
        result.emplace_back(id ? id->stringValue() : "", n.alertBody);
    }
    return result;
}

TEST(CustomCounter, AddsOnlyTheTrackedTypeWhileNotPaused) {
    const struct {
        const char *what;
        bool trackCellular, trackWiFi, isPaused;
        std::int32_t type;
        double cellular[3], wifi[3]; // sent, received, total after two additions
    } cases[] = {
        {"cellular into both", true, true, false, 1, {20, 40, 60}, {0, 0, 0}},
        {"wifi into both", true, true, false, 2, {0, 0, 0}, {20, 40, 60}},
        {"cellular into wifi only", false, true, false, 1, {0, 0, 0}, {0, 0, 0}},
        {"wifi into cellular only", true, false, false, 2, {0, 0, 0}, {0, 0, 0}},
        {"paused", true, true, true, 1, {0, 0, 0}, {0, 0, 0}},
        {"unknown type", true, true, false, 3, {0, 0, 0}, {0, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CustomCounter k = CustomCounter::initWithName("k", {});
        k.trackCellular = c.trackCellular;
        k.trackWiFi = c.trackWiFi;
        k.isPaused = c.isPaused;
        k.addDataToCounterWithDataSent(5, 10, c.type);
        k.addDataToCounterWithDataSent(15, 30, c.type);
        EXPECT_EQ(k.cellularDataSent, c.cellular[0]);
        EXPECT_EQ(k.cellularDataReceived, c.cellular[1]);
        EXPECT_EQ(k.cellularDataTotal, c.cellular[2]);
        EXPECT_EQ(k.wifiDataSent, c.wifi[0]);
        EXPECT_EQ(k.wifiDataReceived, c.wifi[1]);
        EXPECT_EQ(k.wifiDataTotal, c.wifi[2]);
    }
}

TEST(CustomCounter, FirstUpdateOfAFreshInstallCreatesTheSampleCounterWithItsTraffic) {
    test::TestEnv env;
    Services &s = env.services();
    EXPECT_TRUE(
        CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 100, 200, "cellular"));
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 1, 2, "bluetooth"));
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 10, 20, "wifi"));

    const auto stored = CustomCounter::getAllCustomCounters(s);
    ASSERT_EQ(names(stored), std::vector<std::string>{"Sample Counter"});
    CustomCounter expected = CustomCounter::initWithName("Sample Counter", env.clock.current);
    expected.uniqueId = stored[0].uniqueId;
    expected.addDataToCounterWithDataSent(100, 200, 1);
    expected.addDataToCounterWithDataSent(10, 20, 2);
    EXPECT_EQ(stored[0], expected);
    EXPECT_EQ(stored[0].uniqueId.size(), 36u);

    // Deleting every counter is not a fresh install.
    EXPECT_TRUE(CustomCounter::removeCustomCounter(s, stored[0]));
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 1, 2, "wifi"));
    EXPECT_TRUE(CustomCounter::getAllCustomCounters(s).empty());
}

TEST(CustomCounter, UpdatePausesCountersWhoseEndHasComeAfterAddingTheirTraffic) {
    const struct {
        const char *what;
        std::optional<minutes> endFromNow;
        bool paused;
    } cases[] = {
        {"ended a minute ago", minutes(-1), true},
        {"ends right now", minutes(0), true},
        {"ends in a minute", minutes(1), false},
        {"no end", std::nullopt, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::TestEnv env;
        Services &s = env.services();
        CustomCounter k = counter("k", env.clock.current - minutes(60));
        if (c.endFromNow) k.endDate = env.clock.current + *c.endFromNow;
        EXPECT_TRUE(CustomCounter::saveCustomCounterData(s, {k}));

        EXPECT_TRUE(
            CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 1, 2, "cellular"));
        EXPECT_TRUE(
            CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 1, 2, "cellular"));
        const CustomCounter after = CustomCounter::getAllCustomCounters(s).at(0);
        EXPECT_EQ(after.isPaused, c.paused);
        EXPECT_EQ(after.cellularDataTotal, c.paused ? 3 : 6);
    }
}

TEST(CustomCounter, ResumedCounterPastItsEndIsPausedByTheNextUpdateEvenWithoutTraffic) {
    test::TestEnv env;
    Services &s = env.services();
    CustomCounter k = counter("k", env.clock.current);
    k.endDate = env.clock.current - minutes(1);
    k.isPaused = true;
    EXPECT_TRUE(CustomCounter::saveCustomCounterData(s, {k}));
    k.isPaused = false;
    EXPECT_TRUE(CustomCounter::saveCustomCounterData(s, {k}));
    // An unknown type adds nothing but still pauses.
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 1, 2, "other"));
    EXPECT_TRUE(CustomCounter::getAllCustomCounters(s).at(0).isPaused);
}

TEST(CustomCounter, UpdateRewritesTheStoreOnlyWhenACounterChanged) {
    // An atomic rewrite puts a new file in place; an update that changes nothing leaves the old
    // one, and everything else still reaches the disk.
    const struct {
        const char *what;
        double sent, received;
        bool ended;
        bool rewritten;
    } cases[] = {
        {"no traffic", 0, 0, false, false},
        {"traffic", 0, 5, false, true},
        {"no traffic but the end has come", 0, 0, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::TestEnv env;
        Services &s = env.services();
        CustomCounter k = counter("k", env.clock.current);
        if (c.ended) k.endDate = env.clock.current - minutes(1);
        EXPECT_TRUE(CustomCounter::saveCustomCounterData(s, {k}));
        const auto path = CustomCounter::archivePath(s);
        struct stat old {};
        ASSERT_EQ(::stat(path.c_str(), &old), 0);
        EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(
            s, c.sent, c.received, "wifi"));
        struct stat now {};
        ASSERT_EQ(::stat(path.c_str(), &now), 0);
        EXPECT_EQ(now.st_ino != old.st_ino, c.rewritten);
        EXPECT_EQ(CustomCounter::getAllCustomCounters(s).at(0).wifiDataReceived, c.received);
    }
}

TEST(CustomCounter, ListReplacedByAnotherProcessIsReadAfresh) {
    test::TestEnv env;
    Services &s = env.services();
    EXPECT_TRUE(CustomCounter::saveCustomCounterData(s, {counter("a", env.clock.current)}));
    ASSERT_EQ(names(CustomCounter::getAllCustomCounters(s)), std::vector<std::string>{"a"});
    // What another process would save: a list of the same size, put in place the same way.
    test::TestEnv other;
    EXPECT_TRUE(
        CustomCounter::saveCustomCounterData(other.services(), {counter("b", env.clock.current)}));
    const auto bytes = readWholeFile(CustomCounter::archivePath(other.services()));
    ASSERT_TRUE(bytes.has_value());
    ASSERT_TRUE(writeFileAtomically(CustomCounter::archivePath(s), *bytes).ok());
    EXPECT_EQ(names(CustomCounter::getAllCustomCounters(s)), std::vector<std::string>{"b"});
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 1, 2, "cellular"));
    EXPECT_EQ(names(CustomCounter::getAllCustomCounters(s)), std::vector<std::string>{"b"});
}

TEST(CustomCounter, SaveReplacesInPlaceAndSwapsTheEndAlertAndRemoveCancelsIt) {
    test::TestEnv env;
    Services &s = env.services();
    const Instant now = env.clock.current;
    CustomCounter b = counter("B", now);
    b.notifyOnEnd = true;
    b.endDate = now + minutes(60);
    EXPECT_TRUE(CustomCounter::addCustomCounter(s, counter("A", now)));
    EXPECT_TRUE(CustomCounter::addCustomCounter(s, b));
    EXPECT_TRUE(CustomCounter::addCustomCounter(s, counter("C", now)));
    EXPECT_EQ(endAlerts(env),
              (std::vector<std::pair<std::string, std::string>>{{"B", "Custom Counter B Ended!"}}));
    EXPECT_TRUE(env.log.contains("While Adding Custom Counter B will be notified to end on"));

    b.name = "B2";
    b.endDate = now + minutes(120);
    EXPECT_TRUE(CustomCounter::saveCustomCounter(s, b));
    EXPECT_EQ(names(CustomCounter::getAllCustomCounters(s)),
              (std::vector<std::string>{"A", "B2", "C"}));
    EXPECT_EQ(endAlerts(env), (std::vector<std::pair<std::string, std::string>>{
                                  {"B", "Custom counter B2 ended!"}}));
    EXPECT_EQ(env.notifications.scheduledLocalNotifications().at(0).fireDate, *b.endDate);
    EXPECT_TRUE(env.log.contains("Notification cancellled"));

    b.notifyOnEnd = false;
    EXPECT_TRUE(CustomCounter::saveCustomCounter(s, b));
    EXPECT_TRUE(endAlerts(env).empty());
    EXPECT_TRUE(env.log.contains("B2 date is null"));

    // The stored counter asked for an alert even though the copy handed in no longer does.
    b.notifyOnEnd = true;
    EXPECT_TRUE(CustomCounter::saveCustomCounter(s, b));
    b.notifyOnEnd = false;
    EXPECT_TRUE(CustomCounter::removeCustomCounter(s, b));
    EXPECT_EQ(names(CustomCounter::getAllCustomCounters(s)), (std::vector<std::string>{"A", "C"}));
    EXPECT_TRUE(endAlerts(env).empty());
}

TEST(CustomCounter, CountersNotInTheStoreChangeNothing) {
    test::TestEnv env;
    Services &s = env.services();
    CustomCounter a = counter("A", env.clock.current);
    EXPECT_TRUE(CustomCounter::addCustomCounter(s, a));
    for (const std::string id : {"unknown", ""}) {
        CustomCounter stranger = counter("S", env.clock.current);
        stranger.uniqueId = id;
        stranger.notifyOnEnd = true;
        stranger.endDate = env.clock.current + minutes(5);
        EXPECT_TRUE(CustomCounter::saveCustomCounter(s, stranger));
        EXPECT_TRUE(CustomCounter::removeCustomCounter(s, stranger));
    }
    EXPECT_EQ(CustomCounter::getAllCustomCounters(s), std::vector<CustomCounter>{a});
    EXPECT_TRUE(endAlerts(env).empty());
}

TEST(CustomCounter, ReorderMovesOneCounterAndIgnoresIndexesPastTheEnd) {
    const struct {
        std::size_t from, to;
        std::vector<std::string> order;
    } cases[] = {
        {0, 2, {"1", "2", "0"}}, {2, 0, {"2", "0", "1"}}, {1, 1, {"0", "1", "2"}},
        {3, 0, {"0", "1", "2"}}, {0, 3, {"0", "1", "2"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
        test::TestEnv env;
        Services &s = env.services();
        const Instant now = env.clock.current;
        EXPECT_TRUE(CustomCounter::saveCustomCounterData(
            s, {counter("0", now), counter("1", now), counter("2", now)}));
        EXPECT_TRUE(CustomCounter::reorderCustomCounterFromIndex(s, c.from, c.to));
        EXPECT_EQ(names(CustomCounter::getAllCustomCounters(s)), c.order);
        EXPECT_EQ(env.log.contains("Cannot move custom counter"), c.from > 2 || c.to > 2);
    }
}

TEST(CustomCounter, CopyKeepsEveryFieldAndTheUniqueId) {
    CustomCounter k = CustomCounter::initWithName("k", instantFromSeconds(1'765'152'000.5));
    k.trackCellular = false;
    k.direction = 2;
    k.notifyOnEnd = true;
    k.isPaused = true;
    k.endDate = instantFromSeconds(1'765'153'000);
    k.addDataToCounterWithDataSent(1.5, 2.25, 2);
    k.cellularDataSent.reset();
    const auto copy = k.copy();
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(*copy, k);
}

TEST(CustomCounter, DamagedArchiveIsKeptAsideAndNeverOverwritten) {
    test::TestEnv env;
    Services &s = env.services();
    const std::string garbage = "not an archive";
    test::writeFile(CustomCounter::archivePath(s), garbage);
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s, 1, 2, "wifi"));

    EXPECT_EQ(names(CustomCounter::getAllCustomCounters(s)),
              std::vector<std::string>{"Sample Counter"});
    int kept = 0;
    for (const auto &entry : fs::directory_iterator(s.paths.dataDir)) {
        if (entry.path().filename().string().starts_with("customcounters.archive.unreadable-")) {
            ++kept;
            EXPECT_EQ(readWholeFile(entry.path()), garbage);
        }
    }
    EXPECT_EQ(kept, 1);
    EXPECT_TRUE(env.log.contains("kept it as"));
}

TEST(CustomCounter, ArchiveHoldsCustomCounterObjectsWithTheirKeyKinds) {
    test::TestEnv env;
    Services &s = env.services();
    CustomCounter k = counter("k", env.clock.current);
    k.endDate = env.clock.current;
    EXPECT_TRUE(CustomCounter::addCustomCounter(s, k));

    const auto archive = KeyedArchive::decode(*readWholeFile(CustomCounter::archivePath(s)));
    ASSERT_TRUE(archive.has_value());
    const ArchiveObject *list = archive->decodeObject("customcounters");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->className(), "NSMutableArray");
    ASSERT_EQ(list->items().size(), 1u);
    const ArchiveObject &item = list->items()[0];
    EXPECT_EQ(item.className(), "CustomCounter");

    // Booleans and the direction inline, everything else by reference.
    auto kindOf = [](const ArchiveField &f) -> std::string {
        const Value &v = f.object.value();
        if (f.isInline) return v.isBool() ? "inline-bool" : v.isInteger() ? "inline-int" : "?";
        if (f.object.kind() == ArchiveObject::Kind::Date) return "date";
        return v.isString() ? "string" : v.isReal() ? "real" : "?";
    };
    std::string layout;
    for (const auto &f : item.fields())
        layout += f.key + ":" + kindOf(f) + " ";
    EXPECT_EQ(layout, "name:string trackCellular:inline-bool trackWiFi:inline-bool "
                      "startDate:date endDate:date direction:inline-int notifyOnEnd:inline-bool "
                      "cellularDataSent:real cellularDataReceived:real cellularDataTotal:real "
                      "wifiDataSent:real wifiDataReceived:real wifiDataTotal:real "
                      "isPaused:inline-bool uniqueId:string ");
}

} // namespace
} // namespace byteward
