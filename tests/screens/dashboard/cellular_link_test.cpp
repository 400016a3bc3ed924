// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/cellular_link.h"
#include "platform/iso8601.h"
#include "screens/dashboard/main_view_controller.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr double MB = 1024.0 * 1024.0;

// A cellular plan of 100 MB from the 1st, a modem on wwan0, and one update cycle a minute.
class CellularLinkTest : public ::testing::Test {
  protected:
    CellularLinkTest() {
        AppSettings(env.services()).getSettings();
        set("firstDayOfCycle", Value(1));
        set("cellularDataLimit", Value(100));
        set("cellularDataLimitUnit", Value("MB"));
        env.clock.current = *parseIso8601("2026-12-11T12:00:00Z", env.calendar);
        modem("89440000000000000001", "Home Net", false);
        cycle();
    }
    void set(const char *key, Value value) {
        env.defaults().setObject(key, std::move(value));
        env.defaults().synchronize();
    }
    void modem(const std::string &sim, const std::string &operatorName, bool roaming) {
        env.network.current.modemManager = true;
        env.network.current.modems = {{"/m/0", {"wwan0"}, {"wwan0"}, sim, operatorName, roaming}};
    }
    MainViewController &cycle(double mb = 0, std::chrono::minutes step = std::chrono::minutes(1)) {
        received += mb * MB;
        env.statistics.set("wwan0", static_cast<std::uint64_t>(received), 0);
        env.clock.current += step;
        controller.backgroundUpdate("", false);
        return controller;
    }
    int posted(const std::string &fragment) {
        int count = 0;
        for (const auto &n : env.notifications.scheduledLocalNotifications())
            if (n.alertBody.find(fragment) != std::string::npos) ++count;
        return count;
    }
    AppData stored() {
        AppData record(env.services());
        record.getAppData(kCellular);
        return record;
    }

    test::TestEnv env;
    MainViewController controller{env.services()};
    double received = 0;
};

TEST_F(CellularLinkTest, AnotherSimIsToldOnceAndAFreshPeriodBelongsToIt) {
    const std::string first = simDigest("89440000000000000001");
    const std::string second = simDigest("89440000000000000002");
    ASSERT_EQ(stored().simHash, first);
    EXPECT_EQ(stored().toDictionary().find("simHash")->stringValue().find("8944"),
              std::string::npos)
        << "the identifier itself never reaches the file";
    EXPECT_NE(first, second) << "the two SIMs of a dual-SIM modem are told apart";
    EXPECT_EQ(first, "1e4d6e59ea89d572594e34af901f34d4")
        << "records written before keep matching the SIM they were counted for";

    modem("89440000000000000002", "Roam Tel", false);
    cycle(5);
    cycle(5);
    EXPECT_EQ(posted("Another SIM is in use (Roam Tel)"), 1);
    EXPECT_EQ(stored().simHash, first) << "the figures still belong to the first SIM";
    controller.repaintView(true);
    ASSERT_EQ(controller.notices().size(), 1u);
    EXPECT_EQ(controller.notices()[0].first, "ANOTHER SIM");

    ASSERT_TRUE(controller.resetCellularUsage());
    EXPECT_EQ(stored().simHash, second);
    EXPECT_EQ(stored().dataThisMonth, 0.0);
    controller.repaintView(true);
    EXPECT_TRUE(controller.notices().empty());

    modem("89440000000000000001", "Home Net", false); // the other slot again
    cycle(1);
    cycle(1);
    EXPECT_EQ(posted("Another SIM is in use (Home Net)"), 1);
}

TEST_F(CellularLinkTest, RoamingTrafficIsCountedApartAndToldOncePerPeriod) {
    struct Step {
        bool roaming;
        double mb;
        std::chrono::minutes after;
    };
    const std::chrono::minutes minute(1);
    const std::chrono::minutes nextMonth(60 * 24 * 21); // from the 11th into January
    const Step steps[] = {
        {false, 10, minute}, {true, 0, minute},    {true, 3, minute}, {true, 2, minute},
        {false, 7, minute},  {true, 4, nextMonth}, {true, 1, minute},
    };
    const double expectedPeriod[] = {0, 0, 3, 5, 5, 0, 1};
    const int expectedNotices[] = {0, 0, 1, 1, 1, 1, 2};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        modem("89440000000000000001", "Home Net", steps[i].roaming);
        cycle(steps[i].mb, steps[i].after);
        EXPECT_EQ(stored().dataRoamingThisMonth.value_or(0), expectedPeriod[i] * MB);
        EXPECT_EQ(posted(kRoamingNotice), expectedNotices[i]);
    }
    // The traffic that found the new period belongs to neither, as for every figure.
    controller.repaintView(true);
    bool shown = false;
    for (const auto &[title, value] : controller.extraDetailRows())
        shown = shown || (title == "ROAMING" && value == "1.00 MB this period, 1.00 MB today");
    EXPECT_TRUE(shown);
}

TEST_F(CellularLinkTest, RoamingQuotaHasTheMilestonesOfAPlan) {
    set(UpdateCycle::kRoamingQuotaKey, Value(10));
    modem("89440000000000000001", "Home Net", true);
    cycle(6);
    cycle(0.5);
    cycle(4);
    EXPECT_EQ(posted("Roaming usage exceeded 60.0%"), 1);
    EXPECT_EQ(posted("Roaming usage exceeded 65.0%"), 1);
    EXPECT_EQ(posted("Roaming usage exceeded 105.0%"), 1);
    EXPECT_EQ(posted("Roaming usage exceeded"), 3);
}

TEST_F(CellularLinkTest, TheDataLimitTurnsCellularOffOncePerPeriod) {
    struct Case {
        const char *what;
        bool enabled;
        std::string failure; // what turning off answers
        int disconnects;
        int notices;
    };
    const Case cases[] = {
        {"off by default", false, "", 0, 0},
        {"on: once, however long the person uses data again", true, "", 1, 1},
        {"a failed switch is tried again and never told as done", true, "no modem", 3, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        env.defaults().removeObjectForKey(UpdateCycle::kDataLimitKey);
        if (c.enabled) set(UpdateCycle::kDataLimitKey, Value(true));
        env.network.switchError = c.failure;
        env.network.disconnects = 0;
        const int before = posted(UpdateCycle::kDataLimitMessage);
        cycle(99);
        EXPECT_EQ(env.network.disconnects, 0) << "not before the quota";
        cycle(2);
        cycle(20); // the person turned data on again and goes on
        cycle(20);
        EXPECT_EQ(env.network.disconnects, c.disconnects);
        EXPECT_EQ(posted(UpdateCycle::kDataLimitMessage) - before, c.notices);
        ASSERT_TRUE(controller.resetCellularUsage()); // the next case starts from zero
        env.defaults().removeObjectForKey(UpdateCycle::kDataLimitKey);
        AppData record = stored();
        record.dataLimitPeriod.reset();
        ASSERT_TRUE(record.saveAppData());
    }
    // The action the notification offers.
    for (const auto &n : env.notifications.scheduledLocalNotifications()) {
        if (n.alertBody != UpdateCycle::kDataLimitMessage) continue;
        EXPECT_EQ(n.userInfo.find(UpdateCycle::kActionKey)->stringValue(),
                  UpdateCycle::kCellularOnAction);
    }
}

TEST_F(CellularLinkTest, ANewPeriodLetsTheDataLimitActAgain) {
    set(UpdateCycle::kDataLimitKey, Value(true));
    cycle(101);
    cycle(1);
    EXPECT_EQ(env.network.disconnects, 1);
    cycle(101, std::chrono::minutes(60 * 24 * 21)); // January; this traffic found the new period
    cycle(101);
    EXPECT_EQ(env.network.disconnects, 2);
}

} // namespace
} // namespace byteward
