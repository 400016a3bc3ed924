// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"
#include "model/app_usage.h"
#include "platform/iso8601.h"
#include "screens/dashboard/apps_view_controller.h"
#include "screens/dashboard/dashboard_screen.h"
#include "support/recording_navigator.h"
#include "support/test_env.h"

#include <cmath>
#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr double MB = 1048576.0;

Value argument(const char *key, Value value) {
    ValueDict d;
    d.set(key, std::move(value));
    return Value(std::move(d));
}

class AppsViewTest : public ::testing::Test {
  protected:
    AppsViewTest() {
        env.clock.current = date("2026-03-20T10:00:00Z");
        env.defaults().setObject("dataunit_settings", Value("MB"));
    }
    Instant date(const char *text) { return *parseIso8601(text, env.calendar); }
    void storeFigures(DataType type, double periodMB, double todayMB) {
        AppData record(env.services());
        record.getAppData(dataTypeName(type));
        record.lastBillingDate = date("2026-03-01T00:00:00Z");
        record.dataThisMonth = periodMB * MB;
        record.dataToday = todayMB * MB;
        ASSERT_TRUE(record.saveAppData());
    }
    static Traffic mb(double received, double sent = 0) { return {received * MB, sent * MB}; }
    void storeApps(DataType type, AppTraffic period, AppTraffic today = {},
                   std::vector<AppUsage::Span> days = {}) {
        AppUsage usage;
        auto &state = usage.types[type];
        state.periodStart = date("2026-03-01T00:00:00Z");
        state.dayStart = date("2026-03-20T00:00:00Z");
        state.period = std::move(period);
        state.today = std::move(today);
        state.days = std::move(days);
        ASSERT_TRUE(usage.save(env.services()));
    }
    // "name | amount | kind | fraction" for each row, as the page shows them.
    static std::vector<std::string> shown(const AppsViewController &apps) {
        std::vector<std::string> out;
        for (const auto &row : apps.rows()) {
            const char *kind = row.kind == AppsViewController::Kind::App      ? "app"
                               : row.kind == AppsViewController::Kind::System ? "system"
                                                                              : "rest";
            out.push_back(row.name + " | " + row.amount + " | " + kind + " | " +
                          std::to_string(std::lround(row.fraction * 100)));
        }
        return out;
    }
    static bool hidden(const Screen &screen, const char *label) {
        const ValueDict labels = screen.labels();
        const Value *v = labels.find(label);
        return v == nullptr || v->asDict()->find("hidden")->boolValue();
    }

    test::TestEnv env;
    test::RecordingNavigator navigator;
};

// Applications by size, System after them whatever its size, the rest last; the bars measure
// against the largest row of all.
TEST_F(AppsViewTest, RowsShowApplicationsThenSystemThenWhatTheCounterDidNotSee) {
    const AppTraffic period = {{"app:org.example.Browser", mb(500, 100)},
                               {"service:syncthing", mb(150)},
                               {"app:org.example.Mail", mb(200)},
                               {"system", mb(900)}};
    const AppTraffic today = {{"app:org.example.Mail", mb(30)}, {"system", mb(10)}};
    const struct {
        const char *name;
        bool today;
        double figureMB;
        std::vector<std::string> rows;
    } cases[] = {
        {"period with traffic from before the counter",
         false,
         2000,
         {"org.example.Browser | 600.00 MB | app | 67", "org.example.Mail | 200.00 MB | app | 22",
          "syncthing | 150.00 MB | app | 17", "System | 900.00 MB | system | 100",
          "Not attributed | 150.00 MB | rest | 17"}},
        {"the dashboard shows less than the applications sum to",
         false,
         1000,
         {"org.example.Browser | 600.00 MB | app | 67", "org.example.Mail | 200.00 MB | app | 22",
          "syncthing | 150.00 MB | app | 17", "System | 900.00 MB | system | 100"}},
        {"today", true, 50,
         {"org.example.Mail | 30.00 MB | app | 100", "System | 10.00 MB | system | 33",
          "Not attributed | 10.00 MB | rest | 33"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        storeFigures(DataType::Cellular, c.figureMB, c.figureMB);
        storeApps(DataType::Cellular, period, today);
        AppsViewController apps(env.services(), &navigator, DataType::Cellular);
        apps.counterRunning = [] { return true; };
        ASSERT_TRUE(apps.perform("setSpan", argument("today", Value(c.today))));
        EXPECT_EQ(shown(apps), c.rows);
        EXPECT_TRUE(hidden(apps, "lblNote"));
        EXPECT_TRUE(hidden(apps, "lblEmpty"));
    }
}

TEST_F(AppsViewTest, WithoutTheCounterTheHintShowsAboveWhatWasStored) {
    const struct {
        const char *name;
        bool stored;
        std::size_t rows;
    } cases[] = {{"nothing stored", false, 0}, {"rows from before", true, 2}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        storeFigures(DataType::WiFi, 0, 0);
        if (c.stored) storeApps(DataType::WiFi, {{"app:org.example.Mail", mb(3)}, {"system", mb(1)}});
        AppsViewController apps(env.services(), &navigator, DataType::WiFi);
        apps.counterRunning = [] { return false; };
        apps.viewWillAppear();
        EXPECT_EQ(apps.rows().size(), c.rows);
        EXPECT_EQ(apps.note(), appsCounterHint());
        EXPECT_FALSE(hidden(apps, "lblNote"));
        EXPECT_EQ(hidden(apps, "lblEmpty"), c.stored);
    }
}

TEST_F(AppsViewTest, AnApplicationsRowOpensItsDaysNewestFirst) {
    storeFigures(DataType::Cellular, 100, 4);
    storeApps(DataType::Cellular, {{"app:org.example.Mail", mb(12)}}, {{"app:org.example.Mail", mb(4)}},
              {{date("2026-03-18T00:00:00Z"), date("2026-03-19T00:00:00Z"),
                {{"app:org.example.Mail", mb(8)}}},
               {date("2026-03-19T00:00:00Z"), date("2026-03-20T00:00:00Z"), {}}});
    AppsViewController apps(env.services(), &navigator, DataType::Cellular);
    apps.counterRunning = [] { return true; };
    apps.viewWillAppear();
    ASSERT_EQ(apps.rows().back().kind, AppsViewController::Kind::NotAttributed);
    // What the counter did not see belongs to no application: it opens nothing.
    EXPECT_FALSE(apps.perform("select", argument("row", Value(1))));
    EXPECT_FALSE(apps.perform("select", argument("row", Value(7))));
    EXPECT_TRUE(navigator.steps.empty());

    ASSERT_TRUE(apps.perform("select", argument("row", Value(0))));
    ASSERT_EQ(navigator.pages(), std::vector<std::string>{"push AppDaysView"});
    ASSERT_EQ(navigator.top(), apps.days());
    std::vector<std::string> days;
    for (const auto &row : apps.days()->rows())
        days.push_back(row.day + " | " + row.amount + " | " +
                       std::to_string(static_cast<int>(row.fraction * 100)));
    EXPECT_EQ(days, (std::vector<std::string>{"Fri, Mar 20th | 4.00 MB | 50",
                                              "Thu, Mar 19th | 0.00 MB | 0",
                                              "Wed, Mar 18th | 8.00 MB | 100"}));
    const ValueDict labels = apps.days()->labels();
    EXPECT_EQ(labels.find("lblTitle")->asDict()->find("text")->stringValue(), "org.example.Mail");
}

TEST_F(AppsViewTest, EachDashboardOpensTheAppsOfItsOwnType) {
    storeFigures(DataType::Cellular, 10, 0);
    storeFigures(DataType::WiFi, 10, 0);
    storeApps(DataType::WiFi, {{"app:org.example.Browser", mb(7)}});
    for (const bool cellular : {true, false}) {
        SCOPED_TRACE(cellular ? "cellular" : "wifi");
        MainViewController controller(env.services());
        controller.isCellularMode = cellular;
        DashboardScreen screen(controller, env.services());
        // Without a navigator there is nowhere to open it.
        EXPECT_TRUE(screen.perform("showApps", Value()));
        EXPECT_EQ(screen.apps(), nullptr);
        screen.navigator = &navigator;
        ASSERT_TRUE(screen.perform("showApps", Value()));
        ASSERT_NE(screen.apps(), nullptr);
        EXPECT_EQ(navigator.top(), screen.apps());
        EXPECT_EQ(navigator.steps.back().page, "AppsView");
        const bool browserShown = !screen.apps()->rows().empty() &&
                                  screen.apps()->rows().front().name == "org.example.Browser";
        EXPECT_EQ(browserShown, !cellular);
    }
    // The details table keeps its own rows: the Apps row is not one of them.
    MainViewController controller(env.services());
    DashboardScreen screen(controller, env.services());
    const ValueDict values = screen.values();
    EXPECT_EQ(values.find("appsRowTitle")->stringValue(), "Apps");
}

} // namespace
} // namespace byteward
