// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/communications.h"
#include "platform/iso8601.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

std::vector<std::string> bodies(const std::vector<LocalNotification> &list) {
    std::vector<std::string> result;
    for (const auto &n : list)
        result.push_back(n.alertBody);
    return result;
}

TEST(Communications, EachFormSchedulesTheFieldsItOwns) {
    test::TestEnv env("Europe/Berlin");
    Services &s = env.services();
    const Instant now = env.clock.current;
    const Instant date = *parseIso8601("2026-01-31T09:00:00+01:00", env.calendar);
    Communications::sendLocalNotificationNowWithAlertBody(s, "Cellular usage", "View");
    Communications::sendLocalNotificationOnDate(s, date, "Counter ended", "Open", "ABC-1");
    Communications::sendBadgeNotification(s, 42);

    auto expected = [&](Instant fireDate, std::string body, std::string action) {
        LocalNotification n;
        n.fireDate = fireDate;
        n.timeZone = "Europe/Berlin";
        n.alertBody = std::move(body);
        n.alertAction = std::move(action);
        return n;
    };
    LocalNotification dated = expected(date, "Counter ended", "Open");
    dated.userInfo.set("UniqueId", "ABC-1");
    LocalNotification badge = expected(now, "", "");
    badge.soundDefault = false;
    badge.badgeNumber = 42;

    auto scheduled = s.notifications.scheduledLocalNotifications();
    ASSERT_EQ(scheduled.size(), 3u);
    for (auto &n : scheduled) {
        EXPECT_FALSE(n.identifier.empty());
        n.identifier.clear();
    }
    EXPECT_EQ(scheduled, (std::vector<LocalNotification>{expected(now, "Cellular usage", "View"),
                                                         dated, badge}));
    EXPECT_TRUE(env.log.contains("unique id:ABC-1"));
    EXPECT_TRUE(env.log.contains("Firedate 2026-01-31T09:00:00+01:00"));

    test::RecordingSink sink;
    EXPECT_EQ(s.notifications.deliverDueNotifications(sink), 2);
    EXPECT_EQ(bodies(sink.shown), (std::vector<std::string>{"Cellular usage"}));
    EXPECT_EQ(sink.badges, (std::vector<std::optional<long long>>{42}));
}

TEST(Communications, CancelByUniqueIdRemovesOnlyTheFirstMatch) {
    test::TestEnv env;
    Services &s = env.services();
    const Instant later = env.clock.current + std::chrono::hours(5);
    Communications::sendLocalNotificationOnDate(s, later, "first", "", "same");
    Communications::sendLocalNotificationNowWithAlertBody(s, "no id", "");
    Communications::sendLocalNotificationOnDate(s, later, "other", "", "different");
    Communications::sendLocalNotificationOnDate(s, later, "second", "", "same");

    Communications::cancelLocationNotification(s, "unknown");
    EXPECT_FALSE(env.log.contains("found notification to cancel"));
    EXPECT_EQ(s.notifications.scheduledLocalNotifications().size(), 4u);

    Communications::cancelLocationNotification(s, "same");
    EXPECT_TRUE(env.log.contains("found notification to cancel"));
    EXPECT_EQ(bodies(s.notifications.scheduledLocalNotifications()),
              (std::vector<std::string>{"no id", "other", "second"}));
}

} // namespace
} // namespace byteward
