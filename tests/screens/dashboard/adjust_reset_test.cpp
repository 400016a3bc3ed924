// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/history.h"
#include "platform/iso8601.h"
#include "screens/dashboard/main_view_controller.h"
#include "support/test_env.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace byteward {
namespace {

constexpr double MB = 1024.0 * 1024.0;

// Keeps what a screen presented and the pages it opened.
struct RecordingPresenter final : Presenter {
    void presentAlert(const Alert &alert, AlertDelegate *) override { alerts.push_back(alert); }
    void openUrl(const std::string &url) override { urls.push_back(url); }
    std::vector<Alert> alerts;
    std::vector<std::string> urls;
};

struct Period {
    double received, sent, total; // MB
};

// A controller over real files in a private directory; every flag of both types set.
struct Fixture {
    explicit Fixture(const std::string &locale = "en_US") : env("UTC", locale) {
        env.clock.current = *parseIso8601("2026-03-20T10:00:00Z", env.calendar);
        for (const char *key : {"Cellularfirst_notification", "WiFifirst_notification"})
            env.defaults().setObject(key, Value(true));
        controller.screens.presenter = &presenter;
    }
    void store(const char *type, Period period) {
        AppData r = load(type);
        r.dataThisMonthRecd = period.received * MB;
        r.dataThisMonthSent = period.sent * MB;
        r.dataThisMonth = period.total * MB;
        r.dataAllTime = 9000 * MB;
        r.lastBillingDate = *parseIso8601("2026-03-01T00:00:00Z", env.calendar);
        EXPECT_TRUE(r.saveAppData());
    }
    AppData load(const char *type) {
        AppData record(env.services());
        record.getAppData(type);
        return record;
    }
    std::string fileBytes(const char *type) {
        std::ostringstream out;
        out << std::ifstream(load(type).dataFilePath(), std::ios::binary).rdbuf();
        return out.str();
    }
    bool flag(const char *key) { return env.defaults().objectForKey(key)->boolValue(); }
    // Answers the last alert shown with a button, and the text typed into it.
    void answer(int button, const std::string &text = {}) {
        Alert alert = presenter.alerts.back();
        alert.text = text;
        controller.alertView(alert, button);
    }

    test::TestEnv env;
    RecordingPresenter presenter;
    MainViewController controller{env.services()};
};

TEST(AdjustUsageTest, NewTotalKeepsTheStoredSplitAndReadsTheUsersLocale) {
    struct Case {
        const char *locale, *type;
        Period before;
        const char *text;
        Period after;
    };
    // clang-format off
    const Case cases[] = {
        {"en_US", "cellular", {300, 100, 400}, "800",     {600, 200, 800}},
        {"en_US", "wifi",     {0, 0, 0},       "50",      {50, 0, 50}},      // all received
        {"de_DE", "cellular", {0, 0, 0},       "1.024,5", {1024.5, 0, 1024.5}},
        {"en_US", "cellular", {0, 0, 0},       "1,234.5", {1234.5, 0, 1234.5}},
        {"de_DE", "wifi",     {0, 0, 0},       " 1.50 ",  {1.5, 0, 1.5}},    // not 150
        {"en_US", "cellular", {30, 10, 0},     "20",      {0, 0, 20}},       // no total, no shares
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.type + " '" + c.text + "'");
        Fixture f(c.locale);
        f.store(c.type, c.before);
        std::string(c.type) == "wifi" ? f.controller.adjustWifiUsage()
                                      : f.controller.adjustCellularUsage();
        f.answer(1, c.text);
        const AppData record = f.load(c.type);
        EXPECT_DOUBLE_EQ(*record.dataThisMonthRecd, c.after.received * MB);
        EXPECT_DOUBLE_EQ(*record.dataThisMonthSent, c.after.sent * MB);
        EXPECT_DOUBLE_EQ(*record.dataThisMonth, c.after.total * MB);
        EXPECT_DOUBLE_EQ(*record.dataAllTime, 9000 * MB);
    }
}

TEST(AdjustUsageTest, DialogOffersThePeriodInTheUsersLocaleAndRearmsOnlyItsType) {
    Fixture f("de_DE");
    f.store("wifi", {1000, 536.25, 1536.25});
    f.controller.adjustWifiUsage();
    EXPECT_EQ(f.presenter.alerts.at(0).title, "enter adjusted WiFi usage");
    EXPECT_EQ(f.presenter.alerts[0].text, "1536,25") << "two decimals, not the whole number";
    EXPECT_FALSE(f.flag("WiFifirst_notification"));
    EXPECT_TRUE(f.flag("Cellularfirst_notification"));
}

TEST(AdjustUsageTest, UnreadableNegativeOrCancelledAnswersLeaveTheRecordAsItWas) {
    const std::pair<const char *, int> answers[] = {
        {"", 1}, {"abc", 1}, {"12 MB", 1}, {"-5", 1}, {"1,2", 1}, {"1e400", 1}, {"800", 0}};
    for (const auto &[text, button] : answers) {
        SCOPED_TRACE(std::string("'") + text + "' button " + std::to_string(button));
        Fixture f;
        f.store("cellular", {300, 100, 400});
        const std::string before = f.fileBytes("cellular");
        f.controller.adjustCellularUsage();
        f.env.defaults().setObject("Cellularfirst_notification", Value(true)); // reached meanwhile
        f.answer(button, text);
        EXPECT_EQ(f.fileBytes("cellular"), before);
        EXPECT_TRUE(f.flag("Cellularfirst_notification"));
        EXPECT_EQ(f.presenter.alerts.back().title,
                  button == 0 ? "enter adjusted cellular usage" : "Amount not understood");
    }
}

TEST(ResetUsageTest, ClosesThePeriodIntoOneBillingCycleLogAndZeroesOnlyThePeriod) {
    for (const bool cellular : {true, false}) {
        SCOPED_TRACE(cellular ? "cellular" : "wifi");
        Fixture f;
        const char *type = cellular ? "cellular" : "wifi";
        f.store(type, {300, 100, 400});
        f.store(cellular ? "wifi" : "cellular", {20, 10, 30});
        cellular ? f.controller.askResetCellularUsage() : f.controller.askResetWifiUsage();
        f.answer(0);
        EXPECT_TRUE(History::getAllHistoryLogs(f.env.services()).empty());
        f.answer(1);

        const auto logs = History::getAllHistoryLogs(f.env.services());
        ASSERT_EQ(logs.size(), 1u);
        const AppData record = f.load(type);
        EXPECT_EQ(logs[0].startDate, record.lastBillingDate);
        EXPECT_EQ(logs[0].endDate, f.env.clock.current);
        EXPECT_EQ(logs[0].dataSent, 100 * MB);
        EXPECT_EQ(logs[0].dataReceived, 300 * MB);
        EXPECT_EQ(logs[0].dataTotal, 400 * MB);
        EXPECT_EQ(logs[0].dataType, cellular ? History::kCellular : History::kWiFi);
        EXPECT_EQ(logs[0].historyType, History::kBillingCycleLog);
        EXPECT_EQ(record.dataThisMonth, 0.0);
        EXPECT_EQ(record.dataThisMonthRecd, 0.0);
        EXPECT_EQ(record.dataThisMonthSent, 0.0);
        EXPECT_EQ(record.dataAllTime, 9000 * MB);
        EXPECT_EQ(f.load(cellular ? "wifi" : "cellular").dataThisMonth, 30 * MB);
        EXPECT_EQ(f.flag("Cellularfirst_notification"), !cellular);
        EXPECT_EQ(f.flag("WiFifirst_notification"), cellular);
    }
}

TEST(RatingTest, AsksOnceElevenDaysAfterTheFirstLaunchAndOnlyRateItOpensThePage) {
    const std::pair<std::chrono::hours, int> cases[] = {{std::chrono::hours(10 * 24 + 23), 0},
                                                        {std::chrono::hours(11 * 24), 1}};
    for (const auto &[sinceFirstRun, prompts] : cases) {
        Fixture f;
        f.env.defaults().setObject("firstRun", Value(f.env.clock.current - sinceFirstRun));
        f.controller.solicitRating();
        f.controller.solicitRating();
        EXPECT_EQ(f.presenter.alerts.size(), static_cast<std::size_t>(prompts));
        if (f.presenter.alerts.empty()) continue;
        f.answer(0); // "No, Thanks"
        EXPECT_TRUE(f.presenter.urls.empty());
        f.answer(1);
        EXPECT_EQ(f.presenter.urls, std::vector<std::string>{MainViewController::kRatingUrl});
    }

    // A render with nowhere to show the prompt keeps it for the next one.
    Fixture headless;
    headless.env.defaults().setObject(
        "firstRun", Value(headless.env.clock.current - std::chrono::hours(12 * 24)));
    headless.controller.screens.presenter = nullptr;
    headless.controller.solicitRating();
    headless.controller.screens.presenter = &headless.presenter;
    headless.controller.solicitRating();
    EXPECT_EQ(headless.presenter.alerts.size(), 1u);
}

} // namespace
} // namespace byteward
