// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "appstats/snapshot_directory.h"
#include "appstats/traffic_ledger.h"
#include "appstats/user_snapshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace byteward::appstats {
namespace {

const std::string kApp = "/user.slice/user-1000.slice/user@1000.service/app.slice/app-a-1.scope";
const std::string kOtherUser = "/user.slice/user-1001.slice/session-2.scope";

TEST(AppStats, UidIsTakenFromTheSliceDirectlyBelowUserSliceOnly) {
    const struct {
        std::string path;
        std::optional<uid_t> uid;
    } cases[] = {
        {kApp, 1000},
        {"/user.slice/user-1000.slice", 1000},
        {"/user.slice/user-0.slice/x", 0},
        {"/user.slice/user-1000.slicex/a", std::nullopt},
        {"/user.slice/user-01000.slice", std::nullopt},
        {"/user.slice/user-+5.slice", std::nullopt},
        {"/user.slice/user-.slice", std::nullopt},
        {"/user.slice/user-4294967295.slice", std::nullopt}, // (uid_t)-1 is nobody's
        {"/user.slice/user-99999999999999999999.slice", std::nullopt},
        {"/system.slice/user-1000.slice", std::nullopt},
        {"/system.slice/x/user.slice/user-0.slice", std::nullopt},
        {"/user.slice/user-1000.slice/app/user.slice/user-0.slice", 1000},
    };
    for (const auto &c : cases)
        EXPECT_EQ(uidOfPath(c.path), c.uid) << c.path;
}

// One snapshot interval: what the map holds and what the tree and the interfaces are then.
struct Poll {
    std::vector<Reading> readings;
    TrafficLedger::CgroupPaths live;
    TrafficLedger::InterfaceNames interfaces = {{2, "wlan0"}};
    std::vector<CounterKey> removed = {};
};

struct LedgerCase {
    const char *name;
    std::vector<Poll> polls;
    PathCounts named;
    InterfaceCounts unnamed = {};
};

TEST(AppStats, LedgerKeepsCountsPerPathAndNeverLosesThem) {
    const LedgerCase cases[] = {
        {"ARemovedCgroupIsFoldedAndItsPathGoesOnWhenMadeAgain",
         {{{{{7, 2}, {100, 10}}}, {{7, kApp}}},
          {{{{7, 2}, {150, 20}}}, {}, {{2, "wlan0"}}, {{7, 2}}},
          {{{{9, 2}, {5, 1}}}, {{9, kApp}}}},
         {{kApp, {{"wlan0", {155, 21}}}}}},
        {"PacketsAfterTheFoldStillGoToThePath",
         {{{{{7, 2}, {100, 0}}}, {{7, kApp}}},
          {{{{7, 2}, {100, 0}}}, {}, {{2, "wlan0"}}, {{7, 2}}},
          {{{{7, 2}, {3, 0}}}, {}, {{2, "wlan0"}}, {{7, 2}}}},
         {{kApp, {{"wlan0", {103, 0}}}}}},
        {"ARenamedCgroupKeepsWhatItHadUnderTheOldName",
         {{{{{7, 2}, {100, 0}}}, {{7, "/old"}}}, {{{{7, 2}, {130, 0}}}, {{7, "/new"}}}},
         {{"/old", {{"wlan0", {100, 0}}}}, {"/new", {{"wlan0", {30, 0}}}}}},
        {"AGoneInterfaceKeepsItsLastNameAndAnUnknownOneGetsItsIndex",
         {{{{{7, 2}, {1, 0}}}, {{7, kApp}}},
          {{{{7, 2}, {4, 0}}, {{7, 5}, {0, 9}}}, {{7, kApp}}, {}}},
         {{kApp, {{"wlan0", {4, 0}}, {"ifindex:5", {0, 9}}}}}},
        {"ACgroupNeverSeenCountsAsUnnamedAndIsDropped",
         {{{{{8, 2}, {0, 40}}, {{0, 2}, {1, 1}}}, {}, {{2, "wlan0"}}, {{8, 2}}}},
         {},
         {{"wlan0", {1, 41}}}},
    };
    for (const auto &c : cases) {
        TrafficLedger ledger;
        for (const Poll &poll : c.polls)
            EXPECT_EQ(ledger.update(poll.readings, poll.live, poll.interfaces), poll.removed)
                << c.name;
        const Totals totals = ledger.totals();
        EXPECT_EQ(totals.named, c.named) << c.name;
        EXPECT_EQ(totals.unnamed, c.unnamed) << c.name;
    }
}

TEST(AppStats, AUsersFileShowsTheirCgroupsAndEverythingElseAsOther) {
    const Totals totals{{{kApp, {{"wlan0", {10, 1}}}}, {kOtherUser, {{"wlan0", {5, 5}}}},
                         {"/system.slice/ssh.service", {{"eth0", {7, 0}}}}},
                        {{"wlan0", {2, 0}}}};
    const UserCounts mine = countsForUser(totals, 1000);
    EXPECT_EQ(mine.cgroups, (PathCounts{{kApp, {{"wlan0", {10, 1}}}}}));
    EXPECT_EQ(mine.other, (InterfaceCounts{{"wlan0", {7, 5}}, {"eth0", {7, 0}}}));
    EXPECT_TRUE(countsForUser(totals, 1002).cgroups.empty());
    EXPECT_EQ(usersToWrite(totals, {1002}), (std::set<uid_t>{1000, 1001, 1002}));
}

TEST(AppStats, HostileNamesComeOutAsValidEscapedJson) {
    const std::string hostile =
        "/user.slice/user-1000.slice/app-<b>&amp;\"\\\x01\x1b[31m\t\x7f\xff\xc3-1.scope" +
        std::string(4000, 'y');
    const RunInfo run{"boot", "boot/1", 1.5};
    const std::string text =
        snapshotText(run, 1000, {{{hostile, {{"wlan0", {1, 2}}}}}, {}}, 2.5, std::nullopt);
    EXPECT_EQ(text.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.find('\x01'), std::string::npos);
    EXPECT_EQ(text.find('\t'), std::string::npos);
    const nlohmann::json parsed = nlohmann::json::parse(text); // throws on invalid UTF-8
    EXPECT_EQ(parsed["cgroups"][0]["path"],
              "/user.slice/user-1000.slice/app-<b>&amp;\"\\\x01\x1b[31m\t\x7f\xEF\xBF\xBD\xEF\xBF\xBD-1.scope" +
                  std::string(4000, 'y'));
    EXPECT_EQ(parsed["cgroups"][0]["interfaces"]["wlan0"]["tx"], 2);
    EXPECT_EQ(parsed["epoch"], "boot/1");
    EXPECT_FALSE(parsed.contains("previous"));
}

TEST(AppStats, OnlyAnEarlierRunOfTheSameBootIsCarried) {
    const RunInfo run{"boot", "boot/2", 0};
    const std::string earlier = R"({"boot_id":"boot","epoch":"boot/1","cgroups":[{"path":"/a"}],
        "other":{"wlan0":{"rx":1,"tx":2}},"previous":{"epoch":"boot/0"}})";
    const struct {
        const char *name;
        std::string text;
        bool carried;
    } cases[] = {
        {"EarlierRun", earlier, true},
        {"OtherBoot", R"({"boot_id":"old","epoch":"old/1","cgroups":[],"other":{}})", false},
        {"SameRun", R"({"boot_id":"boot","epoch":"boot/2","cgroups":[],"other":{}})", false},
        {"NoCounts", R"({"boot_id":"boot","epoch":"boot/1"})", false},
        {"Truncated", earlier.substr(0, 40), false},
        {"NotAnObject", "[1,2]", false},
    };
    for (const auto &c : cases) {
        const auto previous = previousRun(c.text, run);
        ASSERT_EQ(previous.has_value(), c.carried) << c.name;
        if (previous) {
            EXPECT_EQ(*previous, nlohmann::json::parse(R"({"epoch":"boot/1",
                "cgroups":[{"path":"/a"}],"other":{"wlan0":{"rx":1,"tx":2}}})"))
                << c.name;
        }
    }
}

class SnapshotDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/appstats-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_;
};

TEST_F(SnapshotDirectoryTest, WritesTheUsersFileAndReadsBackOnlyItsOwnCopy) {
    std::string error;
    {
        SnapshotDirectory out;
        ASSERT_TRUE(out.open(folder_ / "apps", error)) << error;
        ASSERT_TRUE(out.write(getuid(), "first\n", error)) << error;
        ASSERT_TRUE(out.write(getuid(), "second\n", error)) << error;
    }
    const auto user = folder_ / "apps" / std::to_string(getuid());
    struct stat st {};
    ASSERT_EQ(stat(user.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600U);
    EXPECT_EQ(std::filesystem::file_size(user), 7U);
    std::ofstream(user) << "changed by the user";
    SnapshotDirectory again;
    ASSERT_TRUE(again.open(folder_ / "apps", error)) << error;
    EXPECT_EQ(again.savedCopy(getuid()), "second\n");
    EXPECT_EQ(again.savedCopy(getuid() + 1), std::nullopt);
}

TEST_F(SnapshotDirectoryTest, RefusesAFolderOthersMayWrite) {
    std::filesystem::create_directory(folder_ / "open");
    chmod((folder_ / "open").c_str(), 0777);
    SnapshotDirectory out;
    std::string error;
    EXPECT_FALSE(out.open(folder_ / "open", error));
    EXPECT_NE(error.find("writable by no one else"), std::string::npos) << error;
}

} // namespace
} // namespace byteward::appstats
