// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "lifecycle/byteward_app_delegate.h"
#include "model/communications.h"
#include "platform/iso8601.h"
#include "screens/settings/settings_view_controller.h"
#include "support/recording_presenter.h"
#include "support/test_env.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr double MB = 1024.0 * 1024.0;
constexpr const char *kGreen = "#3ef28c";
constexpr const char *kYellow = "#ffe347";
constexpr const char *kRed = "#e73e3e";
constexpr const char *kPlainTint = "#46a9cd";
constexpr const char *kLocationTitle = "Enhance Monitoring Accuracy";

// Significant-change monitoring that only remembers whether it is on.
class FakeLocationService final : public LocationService {
  public:
    bool locationServicesEnabled() const override { return true; }
    bool significantLocationChangeMonitoringAvailable() const override { return available; }
    void requestAlwaysAuthorization() override {}
    void startMonitoringSignificantLocationChanges(LocationDelegate &) override {
        monitoring = true;
    }
    void stopMonitoringSignificantLocationChanges() override { monitoring = false; }
    std::unique_ptr<ReverseGeocoder> makeGeocoder() override { return nullptr; }
    bool available = true;
    bool monitoring = false;
};

// A delegate over real files in a private directory, with everything it presents, posts and
// announces recorded. Plans of 1000 MB for both types.
struct Harness {
    Harness() {
        env.clock.current = *parseIso8601("2026-03-20T10:00:00Z", env.calendar);
        // The one-time defaults first, so that cases can change them.
        AppSettings(env.services()).getSettings();
        set("cellularDataLimit", Value(1000));
        set("wifiDataLimit", Value(1000));
        env.statistics.set("wwan0", 0, 0);
        env.statistics.set("wlan0", 0, 0);
    }
    bool launch(BytewardAppDelegate::LaunchOptions options = {},
                const std::string &version = "2.4") {
        delegate = std::make_unique<BytewardAppDelegate>(
            env.services(), ScreenContext{&presenter, &events, &analytics}, sink, location,
            version);
        return delegate->application(options);
    }
    void set(const std::string &key, Value value) {
        env.defaults().setObject(key, std::move(value));
        env.defaults().synchronize();
    }
    // Both usage records exist, as after the first update on this machine.
    void startRecords() { MainViewController(env.services()).backgroundUpdate("", false); }
    // The interfaces move more traffic, and a minute passes.
    void traffic(double cellularMb, double wifiMb = 0) {
        cellularBytes += cellularMb * MB;
        wifiBytes += wifiMb * MB;
        env.statistics.set("wwan0", static_cast<std::uint64_t>(cellularBytes), 0);
        env.statistics.set("wlan0", static_cast<std::uint64_t>(wifiBytes), 0);
        env.clock.current += std::chrono::minutes(1);
    }
    AppData record(const char *type) {
        AppData r(env.services());
        r.getAppData(type);
        return r;
    }
    int eventCount(const std::string &name) const {
        const auto entries = analytics.entries();
        return static_cast<int>(std::count(entries.begin(), entries.end(), "event " + name));
    }
    std::vector<std::string> reminderIds() const {
        std::vector<std::string> ids;
        for (const auto &n : env.notifications.scheduledLocalNotifications())
            if (const Value *id = n.userInfo.find(Communications::kUniqueIdKey))
                ids.push_back(id->stringValue());
        return ids;
    }

    test::TestEnv env;
    test::RecordingSink sink;
    test::RecordingPresenter presenter;
    NotificationCenter events;
    AnalyticsLog analytics{env.paths(), env.clock};
    FakeLocationService locations;
    LocationService *location = &locations;
    std::unique_ptr<BytewardAppDelegate> delegate;
    double cellularBytes = 0;
    double wifiBytes = 0;
};

TEST(AppDelegateLaunch, GreetsAFirstRunOrANewVersionButNeverBoth) {
    const Instant earlier = instantFromSeconds(1'700'000'000);
    struct Case {
        const char *name;
        bool firstRunStored;
        std::optional<Value> version;
        bool legacySettingsFile;
        std::vector<std::string> alerts;
    };
    const Case cases[] = {
        {"first run", false, std::nullopt, false, {"Initial Setup"}},
        {"launch after the first run", true, std::nullopt, false, {"What's New in 2.4"}},
        {"same version again", true, Value("2.4"), false, {}},
        {"new version", true, Value("2.3"), false, {"What's New in 2.4"}},
        {"version never known", true, Value("Undefined"), false, {"What's New in 2.4"}},
        {"upgrade from the earlier settings file",
         false,
         std::nullopt,
         true,
         {"What's New in 2.4"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        if (c.firstRunStored) h.set("firstRun", Value(earlier));
        if (c.version) h.set("version", *c.version);
        if (c.legacySettingsFile)
            test::writeFile(AppSettings(h.env.services()).dataFilePath(),
                            "<plist version=\"1.0\"><dict/></plist>");
        EXPECT_TRUE(h.launch());
        EXPECT_EQ(h.presenter.titles(), c.alerts);

        const auto firstRun = h.env.defaults().objectForKey("firstRun");
        if (c.firstRunStored)
            EXPECT_EQ(firstRun, Value(earlier)) << "the first run date is never rewritten";
        else if (c.legacySettingsFile)
            EXPECT_FALSE(firstRun);
        else
            EXPECT_EQ(firstRun, Value(h.env.clock.current));
        if (!c.alerts.empty() && c.alerts[0] != "Initial Setup") {
            EXPECT_EQ(h.presenter.alerts[0].tag, BytewardAppDelegate::kWhatsNewTag);
            EXPECT_EQ(test::RecordingPresenter::buttons(h.presenter.alerts[0]),
                      std::vector<std::string>{"Got it!"});
            EXPECT_EQ(h.env.defaults().objectForKey("version"), Value("2.4"));
        }
    }
}

TEST(AppDelegateLaunch, GreetingsLeadToSettingsAndToTheLocationQuestionOnce) {
    Harness h;
    h.launch();
    ASSERT_EQ(h.presenter.titles(), std::vector<std::string>{"Initial Setup"});
    EXPECT_EQ(test::RecordingPresenter::buttons(h.presenter.alerts[0]),
              std::vector<std::string>{"OK"});
    h.presenter.answer(0);
    EXPECT_EQ(h.delegate->tabSelectedIndex, BytewardAppDelegate::kSettingsTab);

    h.presenter.clear();
    h.launch();
    h.presenter.answer(0); // "Got it!"
    EXPECT_EQ(h.presenter.titles(),
              (std::vector<std::string>{"What's New in 2.4", kLocationTitle}));
    EXPECT_FALSE(h.locations.monitoring);
    h.presenter.answer(0);
    EXPECT_TRUE(h.locations.monitoring) << "the location alert's button starts monitoring";

    h.presenter.clear();
    h.launch({}, "2.5");
    h.presenter.answer(0);
    EXPECT_EQ(h.presenter.titles(), std::vector<std::string>{"What's New in 2.5"})
        << "the location question is asked once ever";
}

TEST(AppDelegateTransitions, EachRunsOneCycleAndOnlyLeavingResetsSinceLastRun) {
    struct Case {
        const char *name;
        void (BytewardAppDelegate::*transition)();
        bool resetsSinceLastRun;
        bool rendersDashboards;
    };
    const Case cases[] = {
        {"background fetch", &BytewardAppDelegate::performFetch, false, true},
        {"return to the foreground", &BytewardAppDelegate::applicationWillEnterForeground, false,
         true},
        {"entering the background", &BytewardAppDelegate::applicationDidEnterBackground, true,
         false},
        {"termination", &BytewardAppDelegate::applicationWillTerminate, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.startRecords();
        h.launch();
        h.traffic(10, 4);
        ((*h.delegate).*c.transition)();
        for (const char *type : {"cellular", "wifi"}) {
            const AppData r = h.record(type);
            EXPECT_EQ(r.lastUpdate, h.env.clock.current) << type;
            EXPECT_DOUBLE_EQ(r.dataSinceAppLastRun.value_or(-1),
                             c.resetsSinceLastRun ? 0 : (type[0] == 'c' ? 10 : 4) * MB)
                << type;
        }
        EXPECT_EQ(h.delegate->cellularDashboard().lblTitle.text,
                  c.rendersDashboards ? "CELLULAR" : "");
        EXPECT_EQ(h.delegate->wifiDashboard().lblTitle.text, c.rendersDashboards ? "Wi-Fi" : "");
        EXPECT_EQ(h.eventCount("Viewing wifi tab"), c.rendersDashboards ? 1 : 0);
    }
}

TEST(AppDelegateTransitions, BackgroundFetchBadgesTheCellularDashboardsFigureTruncated) {
    struct Case {
        const char *badgeSetting;
        long long cellularLimit;
        double cellularMb, wifiMb;
        long long badge;
    };
    const Case cases[] = {
        {"CELLPERCENT", 1000, 739, 0, 73}, // 73.9 percent
        {"BILLINGRESET", 1000, 739, 0, 0},
        {"CELL_REM_PERCENT", 1000, 739, 0, 26},
        {"CELLQUOTA", 1000, 512.6, 0, 512},
        {"WIFIPERCENT", 1000, 0, 250, 25}, // the cellular dashboard's cycle covers both types
        {"CELLPERCENT", 0, 739, 0, 0},     // no plan, no figure
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.badgeSetting) + " limit " + std::to_string(c.cellularLimit));
        Harness h;
        h.set("appBadgeSetting", Value(c.badgeSetting));
        h.set("cellularDataLimit", Value(c.cellularLimit));
        h.startRecords();
        h.launch();
        h.sink.badges.clear();
        h.traffic(c.cellularMb, c.wifiMb);
        h.delegate->performFetch();
        ASSERT_FALSE(h.sink.badges.empty());
        EXPECT_EQ(h.sink.badges.front(), 0) << "the badge is cleared first";
        EXPECT_EQ(h.sink.badges.back(), c.badge);
        EXPECT_EQ(h.delegate->iconBadge, c.badge);
    }
}

TEST(AppDelegateTransitions, BadgeIsPostedOnLeavingAndClearedOnReturning) {
    Harness h;
    h.set("appBadgeSetting", Value("CELLPERCENT"));
    h.startRecords();
    h.launch();
    h.traffic(739);
    h.delegate->applicationDidEnterBackground();
    EXPECT_EQ(h.sink.badges.back(), 73);
    const auto delivered = h.env.notifications.deliveredNotifications();
    ASSERT_FALSE(delivered.empty());
    EXPECT_EQ(delivered.back().notification.badgeNumber, 73) << "posted through the schedule too";

    h.delegate->applicationWillEnterForeground();
    EXPECT_EQ(h.sink.badges.back(), 0);
    EXPECT_EQ(h.delegate->iconBadge, 0);

    h.set("appBadgeSetting", Value("BILLINGRESET"));
    h.delegate->applicationDidEnterBackground();
    EXPECT_EQ(h.sink.badges.back(), 0);
}

TEST(AppDelegateTransitions, LocationMonitoringFollowsTheBackgroundingSwitch) {
    struct Case {
        const char *name;
        bool backgrounding;
        void (BytewardAppDelegate::*transition)();
        bool monitoring;
    };
    const Case cases[] = {
        {"fetch, backgrounding on", true, &BytewardAppDelegate::performFetch, true},
        {"fetch, backgrounding off", false, &BytewardAppDelegate::performFetch, false},
        {"entering the background", true, &BytewardAppDelegate::applicationDidEnterBackground,
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.set("enableBackgrounding", Value(c.backgrounding));
        h.launch();
        h.locations.monitoring = !c.monitoring;
        ((*h.delegate).*c.transition)();
        EXPECT_EQ(h.locations.monitoring, c.monitoring);
    }
}

TEST(AppDelegateTransitions, RelaunchForALocationChangeUpdatesBadgesAndMonitors) {
    Harness h;
    h.set("appBadgeSetting", Value("CELLPERCENT"));
    h.startRecords();
    h.traffic(739);
    h.launch({.location = true});
    EXPECT_EQ(h.record("cellular").lastUpdate, h.env.clock.current);
    EXPECT_EQ(h.sink.badges.back(), 73);
    EXPECT_TRUE(h.locations.monitoring);
}

TEST(AppDelegateTransitions, BeforeLaunchTheyChangeNothing) {
    Harness h;
    BytewardAppDelegate delegate(h.env.services(), ScreenContext{&h.presenter, &h.events, nullptr},
                                 h.sink, h.location, "2.4");
    delegate.performFetch();
    delegate.applicationDidEnterBackground();
    delegate.applicationWillTerminate();
    delegate.applicationWillEnterForeground();
    delegate.settingsViewController("ResetWifiUsage");
    EXPECT_FALSE(std::filesystem::exists(h.record("cellular").dataFilePath()));
    EXPECT_TRUE(h.presenter.alerts.empty());
}

TEST(AppDelegateMessages, ForegroundNotificationShowsAnAlertOnlyWhenItHasText) {
    for (const char *body : {"Cellular usage exceeded 80.0%", ""}) {
        SCOPED_TRACE(body);
        Harness h;
        h.launch();
        h.presenter.clear();
        LocalNotification notification;
        notification.alertBody = body;
        notification.badgeNumber = 3;
        h.delegate->application(notification);
        if (*body == '\0') {
            EXPECT_TRUE(h.presenter.alerts.empty());
            continue;
        }
        ASSERT_EQ(h.presenter.alerts.size(), 1u);
        EXPECT_EQ(h.presenter.alerts[0].title, "Usage Alert");
        EXPECT_EQ(h.presenter.alerts[0].message, body);
        EXPECT_EQ(test::RecordingPresenter::buttons(h.presenter.alerts[0]),
                  std::vector<std::string>{"Dismiss"});
    }
}

TEST(AppDelegateMessages, OnlyTheBareSchemeUrlIsAccepted) {
    Harness h;
    h.launch();
    const std::pair<const char *, bool> cases[] = {
        {"korvalisbyteward://", true},
        {"korvalisbyteward:///", false},
        {"korvalisbyteward://x", false},
        {"korvalisbyteward://?a=1", false},
        {"korvalisbyteward:// ", false},
        {"korvalisbyteward:", false},
        {"KORVALISBYTEWARD://", false},
        {"https://korvalisbyteward://", false},
        {"", false},
        {"korvalisbyteward://\n", false},
    };
    for (const auto &[url, accepted] : cases)
        EXPECT_EQ(h.delegate->application(std::string(url)), accepted) << "'" << url << "'";
    EXPECT_FALSE(h.delegate->application(std::string("korvalisbyteward://\0", 20)));
}

TEST(AppDelegateMessages, AnAddressReachesTheLogAsOneShortLine) {
    // Any web page can open one: no forged log lines, no megabytes in the journal.
    Harness h;
    h.launch();
    h.env.log.lines.clear();
    h.delegate->application(std::string("korvalisbyteward://x\nByteward: forged\r") +
                            std::string(100'000, 'a'));
    ASSERT_EQ(h.env.log.lines.size(), 1u);
    const std::string &line = h.env.log.lines[0];
    EXPECT_EQ(line.find_first_of("\n\r"), std::string::npos) << line;
    EXPECT_NE(line.find("x\\x0AByteward: forged\\x0D"), std::string::npos) << line;
    EXPECT_LT(line.size(), 400u);
    EXPECT_NE(line.find("(100038 bytes)"), std::string::npos) << line;
}

TEST(AppDelegateSettings, ButtonsOpenTheMatchingDialogOfTheDashboardController) {
    struct Case {
        const char *key;
        const char *alertTitle; // empty: no alert
        const char *url;        // empty: no page opened
    };
    const Case cases[] = {
        {"ResetWifiUsage", "Reset WiFi Usage", ""},
        {"ResetCellularUsage", "Reset Cellular Usage", ""},
        {"AdjustWifiUsage", "enter adjusted WiFi usage", ""},
        {"AdjustCellularUsage", "enter adjusted cellular usage", ""},
        {"RateByteward", "", MainViewController::kRatingUrl},
        {"SomethingElse", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.key);
        Harness h;
        h.launch();
        h.presenter.clear();
        h.delegate->settingsViewController(c.key);
        EXPECT_EQ(h.presenter.titles(), *c.alertTitle ? std::vector<std::string>{c.alertTitle}
                                                      : std::vector<std::string>{});
        EXPECT_EQ(h.presenter.urls,
                  *c.url ? std::vector<std::string>{c.url} : std::vector<std::string>{});
    }
}

TEST(AppDelegateSettings, AnAdjustedFigureReachesTheStoredRecord) {
    Harness h;
    h.startRecords();
    h.launch();
    h.delegate->settingsViewController("AdjustCellularUsage");
    h.presenter.answer(1, "800");
    EXPECT_DOUBLE_EQ(h.record("cellular").dataThisMonth.value_or(0), 800 * MB);
}

TEST(AppDelegateTabs, SecondTapOnTheCurrentTabIsRefused) {
    Harness h;
    h.launch();
    for (int from : {BytewardAppDelegate::kWiFiTab, BytewardAppDelegate::kSettingsTab}) {
        h.delegate->tabSelectedIndex = from;
        for (int to = 0; to <= BytewardAppDelegate::kSettingsTab; ++to)
            EXPECT_EQ(h.delegate->shouldSelectViewController(to), to != from)
                << from << " -> " << to;
    }
}

TEST(AppDelegateTabs, EveryChangeAnnouncesItsDataTypeAndRetintsTheWindow) {
    Harness h;
    h.set("currentProgBarColor", Value("R"));
    h.set("currentProgBarColorWiFi", Value("Y"));
    h.launch();
    EXPECT_EQ(h.delegate->windowTint, kRed) << "the launch tints with the cellular colour";
    h.set("currentProgBarColor", Value("G"));
    h.events.post(NotificationCenter::kProgressBarMileStoneNotification, {});
    EXPECT_EQ(h.delegate->windowTint, kGreen) << "an announcement without a type is cellular";
    h.set("currentProgBarColor", Value("R"));

    std::vector<long long> announced;
    h.events.addObserver(NotificationCenter::kProgressBarMileStoneNotification,
                         [&](const ValueDict &info) {
                             const Value *type = info.find("dataType");
                             announced.push_back(type != nullptr ? type->integerValue() : -1);
                         });
    const struct {
        int tab;
        long long dataType;
        const char *tint;
    } steps[] = {{0, 1, kRed},       {1, 2, kYellow},    {2, 3, kPlainTint},
                 {3, 3, kPlainTint}, {4, 3, kPlainTint}, {0, 1, kRed}};
    std::vector<long long> expected;
    for (const auto &s : steps) {
        SCOPED_TRACE(s.tab);
        h.delegate->didSelectViewController(s.tab);
        expected.push_back(s.dataType);
        EXPECT_EQ(announced, expected);
        EXPECT_EQ(h.delegate->tabSelectedIndex, s.tab);
        EXPECT_EQ(h.delegate->windowTint, s.tint);
    }
}

TEST(AppDelegateTabs, LeavingSettingsAppliesThemAndRepaintsFromTheStoredRecords) {
    struct Case {
        int from, to;
        bool leavesSettings;
    };
    const Case cases[] = {{4, 0, true}, {4, 1, true}, {4, 3, true}, {1, 0, false}, {3, 4, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        Harness h;
        h.startRecords();
        h.launch();
        h.env.notifications.cancelAllLocalNotifications();
        h.delegate->tabSelectedIndex = c.from;
        const int readsBefore = h.env.statistics.reads;
        h.delegate->didSelectViewController(c.to);
        EXPECT_EQ(h.env.statistics.reads, readsBefore) << "a repaint takes no sample";
        const std::vector<std::string> reminders = {AppSettings::kCellularReminderId,
                                                    AppSettings::kWiFiReminderId};
        EXPECT_EQ(h.reminderIds(), c.leavesSettings ? reminders : std::vector<std::string>{});
        EXPECT_EQ(h.delegate->cellularDashboard().lblTitle.text,
                  c.leavesSettings ? "CELLULAR" : "");
        EXPECT_EQ(h.delegate->wifiDashboard().lblTitle.text, c.leavesSettings ? "Wi-Fi" : "");
        EXPECT_EQ(h.delegate->wifiDashboard().lblLastUpdateDate.text.empty(), !c.leavesSettings);
    }
}

TEST(AppDelegateTabs, LeavingSettingsAsksForLocationOnlyWhereMonitoringExists) {
    struct Case {
        const char *name;
        bool haveService, available;
        bool asks;
    };
    const Case cases[] = {
        {"monitoring available", true, true, true},
        {"service without significant-change monitoring", true, false, false},
        {"no location service", false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        h.locations.available = c.available;
        if (!c.haveService) h.location = nullptr;
        h.launch();
        h.presenter.clear();
        h.delegate->tabSelectedIndex = BytewardAppDelegate::kSettingsTab;
        h.delegate->didSelectViewController(BytewardAppDelegate::kCellularTab);
        EXPECT_EQ(h.presenter.titles(),
                  c.asks ? std::vector<std::string>{kLocationTitle} : std::vector<std::string>{})
            << "BUG: leaving the settings tab asks for 'Always' location access even where "
               "significant-change monitoring is unavailable (byteward_app_delegate.cpp, "
               "didSelectViewController)";
    }
}

TEST(AppDelegateTabs, StartupTabFollowsTheStoredScreen) {
    const std::pair<std::optional<Value>, int> cases[] = {
        {std::nullopt, BytewardAppDelegate::kCellularTab},
        {Value("CELL"), BytewardAppDelegate::kCellularTab},
        {Value("WIFI"), BytewardAppDelegate::kWiFiTab},
    };
    for (const auto &[stored, tab] : cases) {
        Harness h;
        h.launch();
        if (stored)
            h.set("startup_settings", *stored);
        else
            h.env.defaults().removeObjectForKey("startup_settings");
        h.delegate->tabSelectedIndex = BytewardAppDelegate::kHistoryTab;
        h.delegate->selectStartupTab();
        EXPECT_EQ(h.delegate->tabSelectedIndex, tab) << (stored ? stored->stringValue() : "none");
    }
}

TEST(AppDelegateTheme, DestroyedDelegateNoLongerHearsAnnouncements) {
    Harness h;
    h.launch();
    h.delegate.reset();
    // Under the sanitizers a leftover observer shows up here as a use after free.
    h.events.post(NotificationCenter::kProgressBarMileStoneNotification, {});
}

TEST(AppDelegateTabs, OpeningTheSettingsTabCountsOneView) {
    Harness h;
    h.launch();
    SettingsViewController settings(h.env.services(), {}, &h.analytics);
    // What the shell does when the user picks the settings tab.
    h.delegate->didSelectViewController(BytewardAppDelegate::kSettingsTab);
    settings.viewDidLoad();
    EXPECT_EQ(h.eventCount("Viewing Settings tab"), 1)
        << "BUG: the settings screen records its view and the delegate's tab handling records "
           "it again (byteward_app_delegate.cpp, didSelectViewController)";
}

} // namespace
} // namespace byteward
