// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_usage.h"
#include "model/update_cycle.h"
#include "platform/desktop_entry.h"
#include "platform/iso8601.h"
#include "support/test_env.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace byteward {
namespace {

namespace fs = std::filesystem;

std::string noProcess(const std::string &) {
    return {};
}

TEST(AppKeyForCgroup, NamesApplicationsServicesProcessesAndTheRest) {
    const std::string user = "/user.slice/user-1000.slice/user@1000.service/";
    const struct {
        std::string path;
        std::string key;
    } cases[] = {
        {user + "app.slice/app-gnome-org.gnome.Epiphany-1234.scope", "app:org.gnome.Epiphany"},
        {user + "app.slice/app-flatpak-org.mozilla.firefox-98765.scope", "app:org.mozilla.firefox"},
        {user + "app.slice/app-kde-org.kde.konsole@3f2a.service", "app:org.kde.konsole"},
        {user + "app.slice/app-org.example.NoLauncher-7.scope", "app:org.example.NoLauncher"},
        {user + "app.slice/app-gnome-firefox\\x2desr-31.scope", "app:firefox-esr"},
        {user + "app.slice/app-gnome-firefox\\x2desr-31.scope/tab-2", "app:firefox-esr"},
        {user + "session.slice/pipewire.service", "service:pipewire"},
        {user + "app.slice/syncthing@work.service", "service:syncthing"},
        {user + "init.scope", "system"},
        {"/user.slice/user-1000.slice/session-3.scope", "system"},
        {"/user.slice/user-1000.slice/user@1000.service", "system"},
        {user + "app.slice/run-r1b2c.scope", "system"},
        {"/", "system"},
        {"", "system"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(appKeyForCgroup(c.path, noProcess), c.key);
    }
    EXPECT_EQ(appKeyForCgroup(user + "app.slice/vte-spawn-1.scope",
                              [](const std::string &) { return std::string("curl"); }),
              "process:curl");
}

TEST(AppKeyForCgroup, HostileNamesComeOutBoundedPrintableAndValidUtf8) {
    const std::string user = "/user.slice/user-1000.slice/user@1000.service/app.slice/";
    const std::string hostile[] = {
        "app-gnome-<b>bold<b>\x1b[31m\x01-1.scope",
        "app-gnome-" + std::string(4000, 'x') + "-1.scope",
        "app-gnome-\xff\xfe\xc3-1.scope",
        "app-gnome-\\x0a\\x00evil-1.scope",
        "app-<b>x<b>&amp;\"'\\\x01\x1b[31m\t\x7f\xef\xbf\xbd-4.scope",
    };
    for (const auto &name : hostile) {
        const std::string key = appKeyForCgroup(user + name, noProcess);
        SCOPED_TRACE(key);
        EXPECT_EQ(key.rfind("app:", 0), 0u) << "still the application it names";
        EXPECT_LE(key.size(), 4 + 200u);
        for (const char c : key)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f);
        EXPECT_NO_THROW((void)nlohmann::json(key).dump());
    }
}

AppStatsCounts counts(std::string epoch, std::map<std::string, InterfaceTraffic> cgroups,
                      InterfaceTraffic other = {}) {
    return {std::move(epoch), std::move(cgroups), std::move(other)};
}

AppStatsSnapshot snap(AppStatsCounts current, std::optional<AppStatsCounts> previous = {}) {
    AppStatsSnapshot snapshot;
    snapshot.current = std::move(current);
    snapshot.previous = std::move(previous);
    return snapshot;
}

const std::string kFirefox = "/user.slice/user-1000.slice/user@1000.service/app.slice/"
                             "app-flatpak-org.mozilla.firefox-1.scope";
const std::string kMail =
    "/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-org.gnome.Geary-2.scope";

TEST(AppUsage, CountsEachSnapshotsGrowthOnceAcrossRestartsOfTheCounter) {
    const PerType<std::set<std::string>> interfaces{{"wwan0"}, {"wlan0"}};
    struct Step {
        AppStatsSnapshot snapshot;
        double firefoxCellular; // today, cumulative
        double mailWiFi;
        double systemCellular;
    };
    const AppStatsSnapshot first = snap(counts("e1", {{kFirefox, {{"wwan0", {100, 10}}}}}));
    const AppStatsSnapshot grown = snap(counts(
        "e1",
        {{kFirefox, {{"wwan0", {150, 20}}}}, {kMail, {{"wlan0", {7, 3}}, {"eth0", {1000, 1000}}}}},
        {{"wwan0", {5, 5}}}));
    // The counter stopped at 160/20 (unread) and started again; its snapshot carries the rest.
    const AppStatsSnapshot restarted =
        snap(counts("e2", {{kFirefox, {{"wwan0", {30, 0}}}}}),
             counts("e1", {{kFirefox, {{"wwan0", {160, 20}}}}, {kMail, {{"wlan0", {7, 3}}}}},
                    {{"wwan0", {5, 5}}}));
    // Started again twice: the run before the last one is lost to us, the new one counts whole.
    const AppStatsSnapshot unknown = snap(counts("e4", {{kFirefox, {{"wwan0", {1, 1}}}}}),
                                          counts("e3", {{kFirefox, {{"wwan0", {999, 999}}}}}));
    const Step steps[] = {
        {first, 0, 0, 0},    // where counting starts
        {grown, 60, 10, 10}, // growth only; eth0 counts for neither type
        {grown, 60, 10, 10}, // nothing new
        {restarted, 60 + 10 + 30, 10, 10},
        {unknown, 100 + 2, 10, 10},
    };
    AppUsage usage;
    usage.roll(DataType::Cellular, instantFromSeconds(0), instantFromSeconds(0));
    usage.roll(DataType::WiFi, instantFromSeconds(0), instantFromSeconds(0));
    int n = 0;
    for (const auto &step : steps) {
        SCOPED_TRACE(n++);
        usage.account(step.snapshot, interfaces, noProcess);
        auto total = [](const AppTraffic &apps, const std::string &key) {
            const auto found = apps.find(key);
            return found == apps.end() ? 0.0 : found->second.total();
        };
        EXPECT_EQ(total(usage.types.cellular.today, "app:org.mozilla.firefox"),
                  step.firefoxCellular);
        EXPECT_EQ(total(usage.types.wifi.today, "app:org.gnome.Geary"), step.mailWiFi);
        EXPECT_EQ(total(usage.types.cellular.today, "system"), step.systemCellular);
        EXPECT_EQ(usage.types.cellular.period, usage.types.cellular.today);
    }
}

TEST(AppUsage, ACountThatWentDownStartedAgainAndARecreatedCgroupKeepsItsKey) {
    const PerType<std::set<std::string>> interfaces{{"wwan0"}, {}};
    AppUsage usage;
    usage.account(snap(counts("e", {{kFirefox, {{"wwan0", {500, 0}}}}})), interfaces, noProcess);
    usage.account(snap(counts("e", {{kFirefox, {{"wwan0", {40, 0}}}}})), interfaces, noProcess);
    EXPECT_EQ(usage.types.cellular.today["app:org.mozilla.firefox"].received, 40);
    // A scope whose process name was found keeps the name after the scope has gone.
    const std::string term =
        "/user.slice/user-1000.slice/user@1000.service/app.slice/vte-spawn-9.scope";
    usage.account(snap(counts("e", {{term, {{"wwan0", {1, 0}}}}})), interfaces,
                  [](const std::string &) { return std::string("wget"); });
    usage.account(snap(counts("e", {{term, {{"wwan0", {5, 0}}}}})), interfaces, noProcess);
    EXPECT_EQ(usage.types.cellular.today["process:wget"].received, 5);
    EXPECT_EQ(usage.types.cellular.today.count("system"), 0u);
}

TEST(AppUsage, DaysAndPeriodsCloseWithTheRecordsSpans) {
    AppUsage usage;
    const Instant day1 = instantFromSeconds(1'765'152'000);
    const Instant day2 = day1 + std::chrono::hours(24);
    const Instant day3 = day2 + std::chrono::hours(24);
    const Instant period1 = day1 - std::chrono::hours(24 * 7);
    usage.roll(DataType::Cellular, period1, day1);
    usage.types.cellular.today["app:a"] = {10, 1};
    usage.types.cellular.period["app:a"] = {30, 3};
    usage.roll(DataType::Cellular, period1, day1); // the same day: nothing moves
    EXPECT_TRUE(usage.types.cellular.days.empty());
    usage.roll(DataType::Cellular, period1, day2);
    ASSERT_EQ(usage.types.cellular.days.size(), 1u);
    EXPECT_EQ(usage.types.cellular.days[0].start, day1);
    EXPECT_EQ(usage.types.cellular.days[0].end, day2);
    EXPECT_TRUE(usage.types.cellular.today.empty());
    usage.types.cellular.today["app:a"] = {5, 0};
    usage.types.cellular.period["app:a"] += {5, 0};
    const auto days = usage.daysOf(DataType::Cellular, "app:a");
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0].second.total(), 11);
    EXPECT_EQ(days[1].second.total(), 5);

    usage.roll(DataType::Cellular, day3, day3);
    ASSERT_EQ(usage.closed.size(), 1u);
    EXPECT_EQ(usage.closed[0].span.start, period1);
    EXPECT_EQ(usage.closed[0].span.end, day3);
    EXPECT_EQ(usage.closed[0].span.apps.at("app:a").total(), 38);
    EXPECT_TRUE(usage.types.cellular.period.empty());
    EXPECT_TRUE(usage.types.cellular.days.empty());
    EXPECT_NE(usage.closedPeriod(DataType::Cellular, period1), nullptr);
    EXPECT_EQ(usage.closedPeriod(DataType::WiFi, period1), nullptr);
    // The other type is untouched.
    EXPECT_TRUE(usage.types.wifi.period.empty());
    EXPECT_TRUE(usage.closed[0].type == DataType::Cellular);
}

TEST(AppUsage, ReportSaysWhatTheCounterDidNotSee) {
    AppUsage usage;
    usage.types.wifi.period = {
        {"app:big", {700, 100}}, {"system", {50, 50}}, {"service:x", {1, 0}}};
    const AppUsageReport report = appUsageReport(usage, DataType::WiFi, false, 1000, true, "");
    ASSERT_EQ(report.rows.size(), 3u);
    EXPECT_EQ(report.rows[0].key, "app:big");
    EXPECT_EQ(report.rows[1].key, "system");
    EXPECT_EQ(report.rows[1].name, "System");
    EXPECT_EQ(report.rows[2].name, "x");
    EXPECT_EQ(report.attributed, 901);
    EXPECT_EQ(report.notAttributed, 99);
    // More counted than the dashboard (counted before its first update): nothing negative.
    EXPECT_EQ(appUsageReport(usage, DataType::WiFi, false, 10, true, "").notAttributed, 0);
}

class AppUsageCycleTest : public ::testing::Test {
  protected:
    AppUsageCycleTest() {
        previous_ = std::getenv("BYTEWARD_APPSTATS_DIR");
        setenv("BYTEWARD_APPSTATS_DIR", snapshots.path().c_str(), 1);
    }
    ~AppUsageCycleTest() override {
        if (previous_ != nullptr) setenv("BYTEWARD_APPSTATS_DIR", previous_, 1);
    }
    void snapshot(const nlohmann::json &json) {
        test::writeFile(snapshots.path() / std::to_string(getuid()), json.dump());
    }
    void cycle(const char *when, std::uint64_t rx) {
        env.clock.current = *parseIso8601(when, env.calendar);
        env.statistics.snapshot.interfaces.clear();
        env.statistics.set("wwan0", rx, 0);
        UpdateCycle update(env.services());
        ASSERT_TRUE(update.backgroundUpdate("", false));
    }
    static nlohmann::json firefox(const char *epoch, double rx) {
        return {{"format", 1},
                {"epoch", epoch},
                {"cgroups",
                 {{{"path", kFirefox}, {"interfaces", {{"wwan0", {{"rx", rx}, {"tx", 0}}}}}}}},
                {"other", nlohmann::json::object()}};
    }

    test::TempDir snapshots;
    test::TestEnv env;

  private:
    const char *previous_ = nullptr;
};

TEST_F(AppUsageCycleTest, TheCycleKeepsNoStoreWithoutTheCounterAndFillsItWithOne) {
    cycle("2026-12-08T10:00:00Z", 1000);
    EXPECT_FALSE(fs::exists(AppUsage::filePath(env.services())));
    snapshot(firefox("e1", 100));
    cycle("2026-12-08T10:01:00Z", 1200);
    snapshot(firefox("e1", 300));
    cycle("2026-12-08T10:02:00Z", 1400);
    // A damaged snapshot changes nothing stored.
    test::writeFile(snapshots.path() / std::to_string(getuid()), "{\"format\":1,\"epoch\":");
    cycle("2026-12-08T10:03:00Z", 1500);
    snapshot(firefox("e1", 350));
    cycle("2026-12-09T00:01:00Z", 1600);
    std::string error;
    const AppUsage usage = AppUsage::load(env.services(), &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(usage.types.cellular.period.at("app:org.mozilla.firefox").received, 250);
    EXPECT_EQ(usage.types.cellular.today.at("app:org.mozilla.firefox").received, 50);
    ASSERT_EQ(usage.types.cellular.days.size(), 1u);
    EXPECT_EQ(usage.types.cellular.days[0].apps.at("app:org.mozilla.firefox").received, 200);
    EXPECT_TRUE(usage.types.wifi.period.empty());

    // A damaged store is kept aside and counting starts again.
    test::writeFile(AppUsage::filePath(env.services()), "not json");
    cycle("2026-12-09T00:02:00Z", 1700);
    EXPECT_TRUE(env.log.contains("counting starts again"));
    EXPECT_EQ(AppUsage::load(env.services(), &error).epoch, "e1");
    int aside = 0;
    for (const auto &entry : fs::directory_iterator(env.paths().dataDir))
        aside += entry.path().filename().string().rfind("apps.json", 0) == 0 ? 1 : 0;
    EXPECT_EQ(aside, 2);
}

TEST(DesktopEntry, FoundAsTheDesktopFindsItInTheMessagesLanguage) {
    test::TempDir dir;
    const fs::path home = dir.path() / "home", system = dir.path() / "system";
    test::writeFile(
        system / "org.example.Viewer.desktop",
        "[Desktop Entry]\nType=Application\nName=Viewer\nName[de]=Betrachter\n"
        "Name[de_AT]=Anschauer\nIcon=org.example.Viewer\n[Desktop Action x]\nName=No\n");
    test::writeFile(home / "org.example.Viewer.desktop",
                    "[Desktop Entry]\nType=Application\nName=Mine\\sown\nIcon=/icons/mine.png\n");
    test::writeFile(system / "org.example.Hidden.desktop",
                    "[Desktop Entry]\nType=Application\nName=Gone\nHidden=true\n");
    test::writeFile(system / "kde/org.example.Nested.desktop",
                    "[Desktop Entry]\nType=Application\nName=Nested\n");
    const std::vector<fs::path> both{home, system}, systemOnly{system};
    const struct {
        std::string id;
        const std::vector<fs::path> *dirs;
        std::string locale;
        std::optional<std::string> name;
        std::string icon;
    } cases[] = {
        {"org.example.Viewer", &systemOnly, "C", "Viewer", "org.example.Viewer"},
        {"org.example.Viewer.desktop", &systemOnly, "de_DE.UTF-8", "Betrachter",
         "org.example.Viewer"},
        {"org.example.Viewer", &systemOnly, "de_AT.UTF-8@euro", "Anschauer", "org.example.Viewer"},
        {"org.example.Viewer", &both, "de_DE.UTF-8", "Mine own", "/icons/mine.png"},
        {"org.example.Hidden", &systemOnly, "C", std::nullopt, ""},
        {"kde-org.example.Nested", &systemOnly, "C", "Nested", ""},
        {"../system/org.example.Viewer", &both, "C", std::nullopt, ""},
        {"org.example.Missing", &both, "C", std::nullopt, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id + " " + c.locale);
        const auto entry = findDesktopEntry(c.id, *c.dirs, c.locale);
        ASSERT_EQ(entry.has_value(), c.name.has_value());
        if (!entry) continue;
        EXPECT_EQ(entry->name, *c.name);
        EXPECT_EQ(entry->icon, c.icon);
    }
}

TEST(AppStatsSnapshot, OnlyWholeSnapshotsOfTheKnownFormatAreRead) {
    const char *bad[] = {
        "",
        "[]",
        R"({"format":2,"epoch":"e","cgroups":[]})",
        R"({"format":1,"cgroups":[]})",
        R"({"format":1,"epoch":"e","cgroups":[{"path":"/a"}]})",
        R"({"format":1,"epoch":"e","cgroups":[{"path":"/a","interfaces":{"x":{"rx":-1,"tx":0}}}]})",
        R"({"format":1,"epoch":"e","cgroups":[{"path":"/a","interfaces":{"x":{"rx":"1","tx":0}}}]})",
        R"({"format":1,"epoch":"e","cgroups":[],"previous":{"cgroups":[]}})",
    };
    for (const char *text : bad) {
        SCOPED_TRACE(text);
        std::string error;
        EXPECT_FALSE(parseAppStatsSnapshot(text, &error));
        EXPECT_NE(error, "");
    }
    const auto good = parseAppStatsSnapshot(
        R"({"format":1,"epoch":"e2","boot_id":"b","started":5.5,"cgroups":[
            {"path":"/a","interfaces":{"x":{"rx":1,"tx":2}}},
            {"path":"/a","interfaces":{"x":{"rx":10,"tx":20}}}],
           "other":{"x":{"rx":3,"tx":4}},
           "previous":{"epoch":"e1","cgroups":[],"other":{}}})");
    ASSERT_TRUE(good);
    EXPECT_EQ(good->current.epoch, "e2");
    EXPECT_EQ(good->current.cgroups.at("/a").at("x"), (Traffic{11, 22}));
    EXPECT_EQ(good->current.other.at("x"), (Traffic{3, 4}));
    ASSERT_TRUE(good->previous);
    EXPECT_EQ(good->previous->epoch, "e1");
    EXPECT_EQ(good->started, 5.5);
}

} // namespace
} // namespace byteward
