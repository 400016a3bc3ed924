// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/dbus_notifications.h"
#include "platform/iso8601.h"
#include "storage/notification_schedule.h"
#include "support/test_env.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <sdbus-c++/sdbus-c++.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

Instant iso(const test::TestEnv &env, const char *text) {
    return *parseIso8601(text, env.calendar);
}

LocalNotification note(Instant fireDate, std::string body,
                       RepeatInterval repeat = RepeatInterval::None) {
    LocalNotification n;
    n.fireDate = fireDate;
    n.alertBody = std::move(body);
    n.repeatInterval = repeat;
    return n;
}

std::vector<std::string> bodies(const std::vector<LocalNotification> &list) {
    std::vector<std::string> result;
    for (const auto &n : list)
        result.push_back(n.alertBody);
    return result;
}

TEST(NotificationSchedule, DeliversDueOnesOldestFirstLogsThemExactlyAndKeepsTheRest) {
    test::TestEnv env;
    NotificationSchedule &center = env.notifications;
    const Instant now = env.clock.current;
    LocalNotification tricky = note(now, "Tab\there\nnew line \\ back & <b>€</b>");
    tricky.alertAction = "View";
    tricky.badgeNumber = -2;
    tricky.soundDefault = false;
    tricky.timeZone = "Europe/Berlin";
    tricky.userInfo.set("UniqueId", "id\twith tab");
    tricky.userInfo.set("count", 3);
    center.scheduleLocalNotification(tricky);
    center.scheduleLocalNotification(note(now + std::chrono::seconds(1), "later"));
    center.scheduleLocalNotification(note(now - std::chrono::hours(1), "earlier"));
    ASSERT_EQ(center.nextFireDate(), now - std::chrono::hours(1));

    test::RecordingSink sink;
    EXPECT_EQ(center.deliverDueNotifications(sink), 2);
    EXPECT_EQ(bodies(sink.shown), (std::vector<std::string>{"earlier", tricky.alertBody}));
    EXPECT_EQ(sink.badges, (std::vector<std::optional<long long>>{-2}));
    EXPECT_EQ(bodies(center.scheduledLocalNotifications()), (std::vector<std::string>{"later"}));
    EXPECT_EQ(center.deliverDueNotifications(sink), 0);

    const auto delivered = center.deliveredNotifications();
    ASSERT_EQ(delivered.size(), 2u);
    EXPECT_EQ(delivered[1].notification, sink.shown[1]);
    EXPECT_EQ(delivered[1].deliveredAt, now);
    EXPECT_TRUE(delivered[1].shown);
}

struct RepeatCase {
    const char *name;
    const char *zone;
    RepeatInterval repeat;
    const char *firstFire;
    const char *now;
    const char *expectedNext;
};

TEST(NotificationSchedule, RepeatingOnesComeBackOnceAtTheirNextCalendarDate) {
    const RepeatCase cases[] = {
        {"daily", "UTC", RepeatInterval::Day, "2025-12-08T09:00:00Z", "2025-12-08T09:00:00Z",
         "2025-12-09T09:00:00Z"},
        {"daily keeps 09:00 into summer time", "Europe/Berlin", RepeatInterval::Day,
         "2025-03-29T09:00:00+01:00", "2025-03-29T09:00:00+01:00", "2025-03-30T09:00:00+02:00"},
        {"weekly keeps 09:00 into winter time", "Europe/Berlin", RepeatInterval::Week,
         "2025-10-22T09:00:00+02:00", "2025-10-22T10:00:00+02:00", "2025-10-29T09:00:00+01:00"},
        {"monthly from the 31st takes February's last day", "UTC", RepeatInterval::Month,
         "2025-01-31T09:00:00Z", "2025-01-31T09:30:00Z", "2025-02-28T09:00:00Z"},
        {"monthly carries into the next year", "UTC", RepeatInterval::Month, "2025-12-15T09:00:00Z",
         "2025-12-15T09:00:00Z", "2026-01-15T09:00:00Z"},
        {"daily catches up after a long gap", "UTC", RepeatInterval::Day, "2025-01-01T09:00:00Z",
         "2025-12-08T12:00:00Z", "2025-12-09T09:00:00Z"},
        {"monthly catches up after a long gap", "Europe/Berlin", RepeatInterval::Month,
         "2024-01-10T09:00:00+01:00", "2025-06-10T09:00:00+02:00", "2025-07-10T09:00:00+02:00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test::TestEnv env(c.zone);
        env.clock.current = iso(env, c.now);
        env.notifications.scheduleLocalNotification(
            note(iso(env, c.firstFire), "remind", c.repeat));
        test::RecordingSink sink;
        EXPECT_EQ(env.notifications.deliverDueNotifications(sink), 1);
        const auto scheduled = env.notifications.scheduledLocalNotifications();
        ASSERT_EQ(scheduled.size(), 1u);
        EXPECT_EQ(formatIso8601(scheduled[0].fireDate, env.calendar),
                  formatIso8601(iso(env, c.expectedNext), env.calendar));
        EXPECT_EQ(scheduled[0].repeatInterval, c.repeat);
        EXPECT_EQ(env.notifications.deliverDueNotifications(sink), 0);
    }
}

// Delivered at each of its dates in turn, a repeating reminder keeps its day of the month (the
// last day of a shorter month, then back), its weekday, and its time across daylight saving.
TEST(NotificationSchedule, RepeatingOnesKeepTheirDayWeekdayAndTimeForGood) {
    struct Case {
        const char *name;
        const char *zone;
        RepeatInterval repeat;
        const char *first;
        std::vector<const char *> next;
    };
    const Case cases[] = {
        {"monthly on the 31st",
         "Europe/Berlin",
         RepeatInterval::Month,
         "2026-01-31T00:00:00+01:00",
         {"2026-02-28T00:00:00+01:00", "2026-03-31T00:00:00+02:00", "2026-04-30T00:00:00+02:00",
          "2026-05-31T00:00:00+02:00"}},
        {"monthly on the 29th into a leap year",
         "UTC",
         RepeatInterval::Month,
         "2027-12-29T08:00:00Z",
         {"2028-01-29T08:00:00Z", "2028-02-29T08:00:00Z", "2028-03-29T08:00:00Z"}},
        {"weekly on Sunday",
         "Europe/Berlin",
         RepeatInterval::Week,
         "2026-03-22T00:00:00+01:00",
         {"2026-03-29T00:00:00+01:00", "2026-04-05T00:00:00+02:00", "2026-04-12T00:00:00+02:00"}},
        {"daily at midnight",
         "Europe/Berlin",
         RepeatInterval::Day,
         "2026-10-24T00:00:00+02:00",
         {"2026-10-25T00:00:00+02:00", "2026-10-26T00:00:00+01:00", "2026-10-27T00:00:00+01:00"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test::TestEnv env(c.zone);
        env.notifications.scheduleLocalNotification(note(iso(env, c.first), "remind", c.repeat));
        test::RecordingSink sink;
        env.clock.current = iso(env, c.first);
        for (const char *expected : c.next) {
            ASSERT_EQ(env.notifications.deliverDueNotifications(sink), 1);
            const auto scheduled = env.notifications.scheduledLocalNotifications();
            ASSERT_EQ(scheduled.size(), 1u);
            EXPECT_EQ(formatIso8601(scheduled[0].fireDate, env.calendar),
                      formatIso8601(iso(env, expected), env.calendar));
            env.clock.current = scheduled[0].fireDate;
        }
    }
}

TEST(NotificationSchedule, BadgeOnlyGoesToTheBadgeAndAMissingServerStillLogsWithoutRedelivery) {
    struct Case {
        const char *name;
        std::string body;
        std::optional<long long> badge;
        bool serverAnswers;
        std::size_t shownCount;
        std::vector<std::optional<long long>> badges;
    };
    const Case cases[] = {
        {"badge only", "", 7, true, 0, {7}},
        {"badge only, hiding the badge", "", std::nullopt, true, 0, {std::nullopt}},
        {"text and badge", "hello", 3, true, 1, {3}},
        {"text without badge", "hello", std::nullopt, true, 1, {}},
        {"no server for text", "hello", std::nullopt, false, 1, {}},
        {"no server for badge", "", 4, false, 0, {4}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test::TestEnv env;
        LocalNotification n = note(env.clock.current, c.body);
        n.badgeNumber = c.badge;
        env.notifications.scheduleLocalNotification(n);
        test::RecordingSink sink;
        sink.serverAnswers = c.serverAnswers;
        EXPECT_EQ(env.notifications.deliverDueNotifications(sink), 1);
        EXPECT_EQ(sink.shown.size(), c.shownCount);
        EXPECT_EQ(sink.badges, c.badges);
        EXPECT_EQ(env.notifications.deliverDueNotifications(sink), 0);
        EXPECT_TRUE(env.notifications.scheduledLocalNotifications().empty());
        const auto delivered = env.notifications.deliveredNotifications();
        ASSERT_EQ(delivered.size(), 1u);
        EXPECT_EQ(delivered[0].shown, c.serverAnswers);
        // A badge nobody can show is not logged: on a headless machine that would be every update.
        EXPECT_EQ(env.log.contains("was not shown"), !c.serverAnswers && !c.body.empty());
    }
}

// The daemon's badge at each sample goes out with what is due, after it, and never through the
// schedule's file.
TEST(NotificationSchedule, AnImmediateOneGoesOutLastWithoutTouchingTheSchedule) {
    struct Case {
        const char *name;
        std::vector<std::pair<int, const char *>> scheduled; // seconds from now, body
        std::vector<std::string> shown;                      // in order, the immediate one is "now"
        std::vector<std::string> left;
        bool scheduleRewritten;
    };
    const Case cases[] = {
        {"nothing else due", {{60, "later"}}, {"now"}, {"later"}, false},
        {"no schedule yet", {}, {"now"}, {}, false},
        {"others due first",
         {{0, "due"}, {-60, "earlier"}, {60, "later"}},
         {"earlier", "due", "now"},
         {"later"},
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        test::TestEnv env;
        const Instant now = env.clock.current;
        for (const auto &[seconds, body] : c.scheduled)
            env.notifications.scheduleLocalNotification(
                note(now + std::chrono::seconds(seconds), body));
        const fs::path file = env.paths().stateDir / "notifications.plist";
        const auto before = fs::exists(file) ? fs::last_write_time(file) : fs::file_time_type{};
        const auto inode = [&] {
            struct stat info {};
            return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
        };
        const auto inodeBefore = inode();

        test::RecordingSink sink;
        EXPECT_EQ(env.notifications.deliverDueNotifications(sink, note(now, "now")),
                  static_cast<int>(c.shown.size()));
        EXPECT_EQ(bodies(sink.shown), c.shown);
        EXPECT_EQ(inode() != inodeBefore, c.scheduleRewritten);
        EXPECT_EQ(bodies(env.notifications.scheduledLocalNotifications()), c.left);
        if (!c.scheduleRewritten && fs::exists(file)) {
            EXPECT_EQ(fs::last_write_time(file), before);
        }
        const auto delivered = env.notifications.deliveredNotifications();
        ASSERT_EQ(delivered.size(), c.shown.size());
        EXPECT_EQ(delivered.back().notification.alertBody, "now");
        EXPECT_FALSE(delivered.back().notification.identifier.empty());
    }
}

TEST(NotificationSchedule, TwoProcessesShareOneScheduleAndNeverDeliverTheSameOneTwice) {
    test::TestEnv env;
    NotificationSchedule other(env.paths(), env.log, env.clock, env.calendar);
    std::vector<std::string> expected;
    std::string cancelled;
    for (int i = 0; i < 20; ++i) {
        const std::string id =
            env.notifications.scheduleLocalNotification(note(env.clock.current, std::to_string(i)));
        if (i == 7)
            cancelled = id;
        else
            expected.push_back(std::to_string(i));
    }
    other.cancelLocalNotification(cancelled);
    EXPECT_EQ(env.notifications.scheduledLocalNotifications().size(), 19u);

    test::RecordingSink first, second;
    std::thread t1([&] { env.notifications.deliverDueNotifications(first); });
    std::thread t2([&] { other.deliverDueNotifications(second); });
    t1.join();
    t2.join();
    auto shown = bodies(first.shown);
    for (const auto &body : bodies(second.shown))
        shown.push_back(body);
    std::sort(shown.begin(), shown.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);

    env.notifications.scheduleLocalNotification(
        note(env.clock.current + std::chrono::hours(1), "x"));
    other.cancelAllLocalNotifications();
    EXPECT_EQ(env.notifications.nextFireDate(), std::nullopt);
}

TEST(NotificationSchedule, AnUnreadableScheduleIsKeptAsideNotOverwritten) {
    const std::pair<const char *, std::string> cases[] = {
        {"not a property list", "garbage"},
        {"a dictionary", "<plist version=\"1.0\"><dict/></plist>"},
        {"an entry without a date",
         "<plist version=\"1.0\"><array><dict><key>identifier</key><string>x</string></dict>"
         "</array></plist>"},
    };
    for (const auto &[name, contents] : cases) {
        SCOPED_TRACE(name);
        test::TestEnv env;
        const fs::path file = env.paths().stateDir / "notifications.plist";
        test::writeFile(file, contents);
        env.notifications.scheduleLocalNotification(note(env.clock.current, "new"));
        EXPECT_EQ(bodies(env.notifications.scheduledLocalNotifications()),
                  (std::vector<std::string>{"new"}));
        EXPECT_TRUE(env.log.contains("kept it as"));
        std::vector<fs::path> aside;
        for (const auto &entry : fs::directory_iterator(env.paths().stateDir))
            if (entry.path().filename().string().find(".unreadable-") != std::string::npos)
                aside.push_back(entry.path());
        ASSERT_EQ(aside.size(), 1u);
        std::ifstream in(aside[0]);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), contents);
    }
}

TEST(NotificationSchedule, DeliveryLogSkipsDamagedAndUnfinishedRecords) {
    test::TestEnv env;
    env.notifications.scheduleLocalNotification(note(env.clock.current, "one"));
    test::RecordingSink sink;
    env.notifications.deliverDueNotifications(sink);
    const fs::path log = env.paths().stateDir / "delivered.log";
    std::ofstream(log, std::ios::app) << "not a record\n2025-12-08T00:00:00.000000Z\tshown";
    env.notifications.scheduleLocalNotification(note(env.clock.current, "two"));
    env.notifications.deliverDueNotifications(sink);

    std::vector<std::string> read;
    for (const auto &d : env.notifications.deliveredNotifications())
        read.push_back(d.notification.alertBody);
    EXPECT_EQ(read, (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(env.log.contains("skipped 2 unreadable records"));
}

TEST(NotificationSchedule, AnOverlongDeliveryLogKeepsWholeNewestRecords) {
    test::TestEnv env;
    test::RecordingSink sink;
    env.notifications.scheduleLocalNotification(note(env.clock.current, "old"));
    env.notifications.deliverDueNotifications(sink);
    const fs::path log = env.paths().stateDir / "delivered.log";
    std::ifstream in(log);
    const std::string record(std::istreambuf_iterator<char>(in), {});
    std::ofstream out(log, std::ios::app);
    for (std::size_t size = record.size(); size <= std::size_t{1024} * 1024; size += record.size())
        out << record;
    out.close();
    env.notifications.scheduleLocalNotification(note(env.clock.current, "new"));
    env.notifications.deliverDueNotifications(sink);

    const auto delivered = env.notifications.deliveredNotifications();
    EXPECT_LT(fs::file_size(log), 1024u * 1024u);
    EXPECT_GT(delivered.size(), 100u);
    EXPECT_EQ(delivered.back().notification.alertBody, "new");
    EXPECT_FALSE(env.log.contains("unreadable"));
}

// ---- the D-Bus sink ----

TEST(DesktopNotificationSink, EscapesMarkupInDataText) {
    EXPECT_EQ(escapeNotificationMarkup("Tom & Jerry <b> &amp;"),
              "Tom &amp; Jerry &lt;b&gt; &amp;amp;");
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
  public:
    ScopedEnv(const char *name, const std::string &value) : name_(name) {
        if (const char *old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char *name_;
    std::optional<std::string> old_;
};

TEST(DesktopNotificationSink, WithoutASessionBusAnswersFalseAtOnce) {
    test::TempDir dir;
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir.path() / "no-bus").string());
    test::CapturingLog log;
    DesktopNotificationSink sink(&log);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(sink.showNotification(note(Instant{}, "hello")));
    EXPECT_FALSE(sink.setBadge(3));
    EXPECT_FALSE(sink.showNotification(note(Instant{}, "again")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(log.lines.size(), 1u); // the same reason is told once
}

// A private session bus from dbus-daemon, stopped at the end.
class PrivateBus {
  public:
    explicit PrivateBus(const fs::path &dir) {
        int out[2];
        if (::pipe(out) != 0) return;
        const std::string listen = "--address=unix:path=" + (dir / "bus").string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            // It complains about fd limits it may not raise; the test has no use for that.
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDERR_FILENO);
            ::close(out[0]);
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--print-address",
                     listen.c_str(), static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        char buffer[512];
        ssize_t n = 0;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) {
            address_.append(buffer, static_cast<std::size_t>(n));
            if (address_.find('\n') != std::string::npos) break;
        }
        ::close(out[0]);
        address_ = address_.substr(0, address_.find('\n'));
    }
    ~PrivateBus() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    const std::string &address() const { return address_; }

  private:
    pid_t pid_ = -1;
    std::string address_;
};

TEST(DesktopNotificationSink, TalksToTheNotificationServerAndTheLauncherOnTheSessionBus) {
    test::TempDir dir;
    PrivateBus daemon(dir.path());
    if (daemon.address().empty()) GTEST_SKIP() << "dbus-daemon is not available";
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", daemon.address());
    DesktopNotificationSink sink;
    LocalNotification n = note(Instant{}, "Counter <Home & Away>");
    n.alertAction = "View";
    EXPECT_FALSE(sink.showNotification(n)) << "no server has the name yet";

    // A stand-in notification server that records what it was sent, and a listener for the badge.
    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<std::string> badges;
    auto server = sdbus::createSessionBusConnection("org.freedesktop.Notifications");
    auto object = sdbus::createObject(*server, "/org/freedesktop/Notifications");
    object->registerMethod("Notify")
        .onInterface("org.freedesktop.Notifications")
        .implementedAs([&](const std::string &app, std::uint32_t replaces, const std::string &icon,
                           const std::string &summary, const std::string &body,
                           const std::vector<std::string> &actions,
                           const std::map<std::string, sdbus::Variant> &hints,
                           std::int32_t timeout) {
            std::string call = app + "|" + std::to_string(replaces) + "|" + icon + "|" + summary +
                               "|" + body + "|" + std::to_string(timeout);
            for (const auto &a : actions)
                call += "|" + a;
            for (const auto &[key, value] : hints)
                call += "|" + key + "=" + value.get<std::string>();
            std::lock_guard lock(mutex);
            calls.push_back(call);
            return std::uint32_t{1};
        });
    object->finishRegistration();
    server->addMatch(
        "type='signal',interface='com.canonical.Unity.LauncherEntry',member='Update'",
        [&](sdbus::Message &message) {
            std::string uri;
            std::map<std::string, sdbus::Variant> props;
            message >> uri >> props;
            std::lock_guard lock(mutex);
            badges.push_back(uri + " " + std::to_string(props.at("count").get<std::int64_t>()) +
                             " " + (props.at("count-visible").get<bool>() ? "visible" : "hidden"));
        },
        sdbus::floating_slot);
    server->enterEventLoopAsync();

    EXPECT_TRUE(sink.showNotification(n));
    EXPECT_TRUE(sink.setBadge(5));
    EXPECT_TRUE(sink.setBadge(std::nullopt));
    for (int i = 0; i < 100; ++i) {
        {
            std::lock_guard lock(mutex);
            if (badges.size() == 2) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    server->leaveEventLoop();
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "Byteward|0|byteward|Byteward|Counter &lt;Home &amp; Away&gt;|-1|default|"
                         "View|desktop-entry=io.github.byteward.Byteward"}));
    EXPECT_EQ(badges, (std::vector<std::string>{
                          "application://io.github.byteward.Byteward.desktop 5 visible",
                          "application://io.github.byteward.Byteward.desktop 0 hidden"}));
}

} // namespace
} // namespace byteward
