// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/history.h"
#include "platform/files.h"
#include "storage/keyed_archive.h"
#include "storage/keyed_archive_store.h"
#include "storage/plist_codec.h"
#include "support/test_env.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

const Instant kDay = instantFromSeconds(1'765'152'000); // 2025-12-08T00:00:00Z

Instant at(int hours) {
    return kDay + std::chrono::hours(hours);
}

History log(std::string id, std::optional<Instant> start, std::optional<Instant> end,
            std::int32_t dataType = History::kWiFi, std::int32_t historyType = History::kDailyLog) {
    History h = History::initWithStartDate(start, end, 100.0, 200.5, 300.5, dataType, historyType);
    h.uniqueId = std::move(id);
    return h;
}

std::vector<std::string> ids(const std::vector<History> &logs) {
    std::vector<std::string> result;
    for (const auto &h : logs)
        result.push_back(h.uniqueId);
    return result;
}

TEST(History, DailyQueryKeepsLogsTouchingTheRangeNewestFirstAndBillingLogsKeepFileOrder) {
    test::TestEnv env;
    Services &s = env.services();
    EXPECT_TRUE(History::getDailyHistoryLogsFrom(s, at(10), at(20), History::kWiFi).empty());
    EXPECT_TRUE(History::getAllBillingCycleLogs(s).empty());
    EXPECT_FALSE(fs::exists(History::archivePath(s)));

    const History stored[] = {
        log("bill-wifi", at(11), at(12), History::kWiFi, History::kBillingCycleLog),
        log("starts-before", at(5), at(12)),
        log("ends-after", at(15), at(25)),
        log("spans-range", at(5), at(25)),
        log("ends-on-from", at(2), at(10)),
        log("starts-on-to", at(20), at(30)),
        log("cellular", at(12), at(13), History::kCellular),
        log("bill-cell", at(11), at(12), History::kCellular, History::kBillingCycleLog),
        log("same-start", at(15), at(16)),
        log("outside", at(1), at(2)),
        log("no-dates", std::nullopt, std::nullopt),
    };
    for (const auto &h : stored)
        EXPECT_TRUE(History::addNewHistoryItemLog(s, h));

    EXPECT_EQ(ids(History::getDailyHistoryLogsFrom(s, at(10), at(20), History::kWiFi)),
              (std::vector<std::string>{"starts-on-to", "ends-after", "same-start", "starts-before",
                                        "ends-on-from"}));
    EXPECT_EQ(ids(History::getAllBillingCycleLogs(s)),
              (std::vector<std::string>{"bill-wifi", "bill-cell"}));
    EXPECT_EQ(History::getAllHistoryLogs(s),
              std::vector<History>(std::begin(stored), std::end(stored)));
}

TEST(History, AHistoryKeptDecodedForAnUpdateStillSeesAnotherProcessWrite) {
    // Large enough that it is kept decoded only while the update lasts.
    std::vector<History> years;
    for (int i = 0; i < 1000; ++i)
        years.push_back(log("day-" + std::to_string(i), at(i), at(i + 1)));
    test::TestEnv other;
    ASSERT_TRUE(History::saveHistoryLogs(other.services(), {log("theirs", at(3), at(4))}));
    const auto theirs = readWholeFile(History::archivePath(other.services()));
    ASSERT_TRUE(theirs.has_value());

    test::TestEnv env;
    Services &s = env.services();
    ASSERT_TRUE(History::saveHistoryLogs(s, years));
    ASSERT_GT(fs::file_size(History::archivePath(s)), 64u * 1024);
    const KeepDecodedStores update;
    ASSERT_TRUE(History::addNewHistoryItemLog(s, log("cellular", at(5), at(6))));
    EXPECT_EQ(History::getAllHistoryLogs(s).size(), 1001u);
    // Another process replaces the file between the two data types' logs.
    ASSERT_TRUE(writeFileAtomically(History::archivePath(s), *theirs));
    ASSERT_TRUE(History::addNewHistoryItemLog(s, log("wifi", at(5), at(6))));
    EXPECT_EQ(ids(History::getAllHistoryLogs(s)), (std::vector<std::string>{"theirs", "wifi"}));
}

TEST(History, ABatchWritesTheHistoryOnceAtItsCommitAndNothingWithoutOne) {
    struct Case {
        const char *name;
        bool commit;
        std::vector<std::string> onDisk; // after the batch
    };
    for (const Case &c :
         {Case{"committed", true, {"old", "cellular", "wifi"}}, Case{"given up", false, {"old"}}}) {
        SCOPED_TRACE(c.name);
        test::TestEnv env;
        Services &s = env.services();
        ASSERT_TRUE(History::saveHistoryLogs(s, {log("old", at(1), at(2))}));
        const auto before = readWholeFile(History::archivePath(s));
        {
            ArchiveWriteBatch batch(History::archivePath(s));
            ASSERT_TRUE(History::addNewHistoryItemLogOnce(
                s, log("cellular", at(2), at(3), History::kCellular)));
            ASSERT_TRUE(History::addNewHistoryItemLogOnce(s, log("wifi", at(2), at(3))));
            // The same day again is still found, though nothing is written yet.
            ASSERT_TRUE(History::addNewHistoryItemLogOnce(s, log("again", at(2), at(3))));
            EXPECT_EQ(readWholeFile(History::archivePath(s)), before);
            EXPECT_EQ(ids(History::getAllHistoryLogs(s)),
                      (std::vector<std::string>{"old", "cellular", "wifi"}));
            // Other store files are written as before.
            test::TestEnv elsewhere;
            ASSERT_TRUE(History::saveHistoryLogs(elsewhere.services(), {log("x", at(1), at(2))}));
            EXPECT_TRUE(readWholeFile(History::archivePath(elsewhere.services())).has_value());
            if (c.commit) {
                EXPECT_TRUE(batch.commit());
                EXPECT_NE(readWholeFile(History::archivePath(s)), before);
            }
        }
        EXPECT_EQ(ids(History::getAllHistoryLogs(s)), c.onDisk);
    }
}

TEST(History, AFailedBatchCommitIsReportedAndLeavesTheFile) {
    test::TestEnv env;
    Services &s = env.services();
    ASSERT_TRUE(History::saveHistoryLogs(s, {log("old", at(1), at(2))}));
    ArchiveWriteBatch batch(History::archivePath(s));
    ASSERT_TRUE(History::addNewHistoryItemLog(s, log("new", at(2), at(3))));
    const test::FileSizeLimit limit(0);
    EXPECT_FALSE(batch.commit());
    EXPECT_TRUE(env.log.contains("Writing data to file failed"));
    EXPECT_EQ(ids(History::getAllHistoryLogs(s)), (std::vector<std::string>{"old"}));
}

TEST(History, RemovesByIdentifierThroughACopyAndAnEmptySaveReadsBackEmpty) {
    test::TestEnv env;
    Services &s = env.services();
    const History a = log("A", at(1), at(2));
    const History b = log("B", at(3), std::nullopt);
    EXPECT_TRUE(History::addNewHistoryItemLog(s, a));
    EXPECT_TRUE(History::addNewHistoryItemLog(s, b));
    EXPECT_TRUE(History::addNewHistoryItemLog(s, a));

    const auto copy = a.copy();
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(*copy, a);
    EXPECT_TRUE(History::removeHistoryLog(s, *copy));
    EXPECT_TRUE(
        History::removeHistoryLog(s, log("", std::nullopt, std::nullopt))); // matches nothing
    EXPECT_EQ(History::getAllHistoryLogs(s), std::vector<History>{b});

    EXPECT_TRUE(History::saveHistoryLogs(s, {}));
    EXPECT_GT(fs::file_size(History::archivePath(s)), 0u);
    EXPECT_TRUE(History::getAllHistoryLogs(s).empty());
    EXPECT_FALSE(env.log.contains("could not"));
}

std::string archiveWith(const char *key, ArchiveObject logs) {
    KeyedArchive archive;
    archive.encodeObject(key, std::move(logs));
    return archive.encode();
}

TEST(History, DamagedArchiveIsKeptAsideAndNeverOverwritten) {
    const struct {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"garbage", "not an archive at all"},
        {"no historyLogs", archiveWith("logs", ArchiveObject::list({}))},
        {"logs not a list", archiveWith("historyLogs", ArchiveObject::string("x"))},
        {"a list of strings",
         archiveWith("historyLogs", ArchiveObject::list({ArchiveObject::string("x")}))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::TestEnv env;
        Services &s = env.services();
        test::writeFile(History::archivePath(s), c.bytes);
        EXPECT_TRUE(History::addNewHistoryItemLog(s, log("new", at(1), at(2))));

        EXPECT_EQ(ids(History::getAllHistoryLogs(s)), std::vector<std::string>{"new"});
        EXPECT_TRUE(env.log.contains("kept it as"));
        int kept = 0;
        for (const auto &entry : fs::directory_iterator(s.paths.dataDir)) {
            if (entry.path().filename().string().starts_with("history.archive.unreadable-")) {
                ++kept;
                EXPECT_EQ(readWholeFile(entry.path()), c.bytes);
            }
        }
        EXPECT_EQ(kept, 1);
    }
}

TEST(History, FailedWriteIsLoggedAndReported) {
    test::TestEnv env;
    Services &s = env.services();
    // A non-empty directory where the archive belongs cannot be renamed over.
    test::writeFile(History::archivePath(s) / "inside", "x");
    EXPECT_FALSE(History::saveHistoryLogs(s, {log("A", at(1), at(2))}));
    EXPECT_TRUE(env.log.contains("Writing data to file failed"));
    EXPECT_TRUE(fs::exists(History::archivePath(s) / "inside"));
}

Value entry(std::initializer_list<ValueDict::Entry> fields) {
    ValueDict d;
    for (const auto &[key, value] : fields)
        d.set(key, value);
    return Value(d);
}

TEST(History, ReadsAnArchiveWrittenInAnotherStyle) {
    // Class dictionaries first, an NSArray, a shared date and number, a nil end date, a number
    // inline, an integer by reference, a mutable string and a log without dataType.
    const ValueArray objects{
        "$null",
        entry({{"$classname", "NSArray"}}),
        entry({{"$classname", "History"}}),
        entry({{"$classname", "NSDate"}}),
        entry({{"$classname", "NSMutableString"}, {"$classes", ValueArray{"NSString"}}}),
        entry({{"$class", Uid{1}}, {"NS.objects", ValueArray{Uid{6}, Uid{7}}}}),
        entry({{"$class", Uid{2}},
               {"startDate", Uid{8}},
               {"endDate", Uid{0}},
               {"dataSent", Uid{9}},
               {"dataReceived", 5.5},
               {"dataTotal", Uid{9}},
               {"uniqueId", Uid{10}},
               {"dataType", Uid{11}},
               {"historyType", 2}}),
        entry({{"$class", Uid{2}}, {"startDate", Uid{8}}, {"uniqueId", "B"}, {"historyType", 1}}),
        entry({{"$class", Uid{3}}, {"NS.time", 786'844'800}}),
        1024.0,
        entry({{"$class", Uid{4}}, {"NS.string", "A"}}),
        2,
    };
    test::TestEnv env;
    Services &s = env.services();
    test::writeFile(History::archivePath(s),
                    toBinaryPropertyList(entry(
                        {{"$objects", objects}, {"$top", entry({{"historyLogs", Uid{5}}})}})));

    History a = log("A", kDay, std::nullopt);
    a.dataSent = a.dataTotal = 1024.0;
    a.dataReceived = 5.5;
    History b = log("B", kDay, std::nullopt, 0, History::kBillingCycleLog);
    b.dataSent = b.dataReceived = b.dataTotal = std::nullopt;
    EXPECT_EQ(History::getAllHistoryLogs(s), (std::vector<History>{a, b}));
    // A day closed again is not stored twice, however the stored log was written; a new one goes
    // after the logs as they were.
    EXPECT_TRUE(History::addNewHistoryItemLogOnce(s, log("again", kDay, std::nullopt)));
    const History next = log("C", at(24), at(47));
    EXPECT_TRUE(History::addNewHistoryItemLogOnce(s, next));
    EXPECT_EQ(History::getAllHistoryLogs(s), (std::vector<History>{a, b, next}));
    EXPECT_TRUE(History::removeHistoryLog(s, a));
    EXPECT_EQ(History::getAllHistoryLogs(s), (std::vector<History>{b, next}));
}

// Python's plistlib stands in for another reader of the format.
TEST(History, ArchiveReadsBackWithPlistlib) {
    if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "python3 is not available";
    test::TestEnv env;
    Services &s = env.services();
    EXPECT_TRUE(
        History::addNewHistoryItemLog(s, log("ID-1", kDay, at(24), 1, History::kBillingCycleLog)));
    EXPECT_TRUE(History::addNewHistoryItemLog(s, log("ID-2", at(1), at(2))));
    const fs::path script = env.dir.path() / "check.py";
    test::writeFile(script, R"(import plistlib, sys
a = plistlib.load(open(sys.argv[1], 'rb'))
o = a['$objects']
assert a['$archiver'] == 'NSKeyedArchiver' and a['$version'] == 100000 and o[0] == '$null'
top = a['$top']['historyLogs']
assert isinstance(top, plistlib.UID)
cls = lambda x: o[x['$class'].data]
assert [x.get('$classname') for x in o if isinstance(x, dict)].count('History') == 1
assert cls(o[top.data])['$classes'] == ['NSMutableArray', 'NSArray', 'NSObject']
for r in [o[u.data] for u in o[top.data]['NS.objects']]:
    assert cls(r)['$classes'] == ['History', 'NSObject']
    d = o[r['startDate'].data]
    assert cls(d)['$classes'] == ['NSDate', 'NSObject'] and isinstance(d['NS.time'], float)
    assert isinstance(o[r['dataTotal'].data], float) and isinstance(r['dataType'], int)
    print(o[r['uniqueId'].data], r['dataType'], r['historyType'], d['NS.time'])
)");
    const std::string command =
        "python3 " + script.string() + " " + History::archivePath(s).string() + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    EXPECT_EQ(pclose(pipe), 0) << output;
    EXPECT_EQ(output, "ID-1 1 1 786844800.0\nID-2 2 2 786848400.0\n");
}

} // namespace
} // namespace byteward
