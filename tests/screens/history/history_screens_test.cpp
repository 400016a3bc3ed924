// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"
#include "model/app_usage.h"
#include "platform/iso8601.h"
#include "screens/history/history_export.h"
#include "screens/history/history_view_controller.h"
#include "support/recording_mail_client.h"
#include "support/recording_navigator.h"
#include "support/recording_presenter.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr double MB = 1048576.0;

class HistoryScreensTest : public ::testing::Test {
  protected:
    HistoryScreensTest() {
        env.clock.current = date("2025-12-20T10:00:00Z");
        env.defaults().setObject("dataunit_settings", Value("MB"));
        AppData wifi(env.services());
        wifi.getAppData("wifi");
        wifi.lastBillingDate = date("2025-12-08T00:00:00Z");
        wifi.nextBillingDate = date("2026-01-08T00:00:00Z");
        wifi.dataThisMonth = 3 * MB;
        wifi.dataThisMonthRecd = 2 * MB;
        wifi.dataThisMonthSent = 1 * MB;
        EXPECT_TRUE(wifi.saveAppData());
        for (const History &log : stored)
            EXPECT_TRUE(History::addNewHistoryItemLog(env.services(), log));
    }
    Instant date(const char *text) { return *parseIso8601(text, env.calendar); }
    History log(const char *id, const char *start, const char *end, std::int32_t dataType,
                std::int32_t historyType, double totalMB) {
        History h =
            History::initWithStartDate(date(start), date(end), totalMB * MB / 4,
                                       totalMB * MB * 3 / 4, totalMB * MB, dataType, historyType);
        h.uniqueId = id;
        return h;
    }
    std::vector<std::string> ids(const std::vector<History> &logs) {
        std::vector<std::string> out;
        for (const auto &h : logs)
            out.push_back(h.uniqueId);
        return out;
    }
    std::vector<std::string> rowTexts(const HistoryViewController &list) {
        std::vector<std::string> out;
        for (int row = 0; row < list.numberOfRows(); ++row) {
            const auto r = list.rowAt(row);
            out.push_back(r.title + " | " + r.subtitle + " | " + r.image);
        }
        return out;
    }
    std::vector<std::string> cellTexts(const HistoryDetailViewController &detail) {
        std::vector<std::string> out;
        for (int section = 0; section < HistoryDetailViewController::kSections; ++section) {
            out.push_back("# " + detail.headerForSection(section));
            for (const auto &cell : detail.rowsInSection(section))
                out.push_back(cell.identifier + ": " + cell.title + " = " + cell.value);
        }
        return out;
    }
    std::vector<std::string> events() { return analytics.entries(); }

    test::TestEnv env;
    const std::vector<History> stored = {
        log("cell-cycle", "2025-10-08T00:00:00Z", "2025-11-07T00:00:00Z", History::kCellular,
            History::kBillingCycleLog, 1536),
        log("wifi-before", "2025-11-07T20:00:00Z", "2025-11-08T00:00:00Z", History::kWiFi,
            History::kDailyLog, 0.25),
        log("wifi-early", "2025-12-01T00:00:00Z", "2025-12-02T00:00:00Z", History::kWiFi,
            History::kDailyLog, 1),
        log("wifi-cycle", "2025-11-08T00:00:00Z", "2025-12-07T00:00:00Z", History::kWiFi,
            History::kBillingCycleLog, 512),
        log("wifi-start", "2025-12-07T22:00:00Z", "2025-12-08T00:00:00Z", History::kWiFi,
            History::kDailyLog, 0.5),
        log("wifi-one-day", "2025-12-09T08:00:00Z", "2025-12-09T20:00:00Z", History::kWiFi,
            History::kDailyLog, 2),
        log("cell-day", "2025-12-10T00:00:00Z", "2025-12-11T00:00:00Z", History::kCellular,
            History::kDailyLog, 4),
        log("wifi-latest", "2025-12-19T10:00:00Z", "2025-12-20T00:00:00Z", History::kWiFi,
            History::kDailyLog, 8),
    };
    test::RecordingPresenter presenter;
    test::RecordingNavigator navigator;
    test::RecordingMailClient mail;
    AnalyticsLog analytics{env.paths(), env.clock};
    ScreenContext context{
        .presenter = &presenter, .analytics = &analytics, .mail = &mail, .navigator = &navigator};
    HistoryViewController list{env.services(), context};
};

TEST_F(HistoryScreensTest, ListShowsThePeriodsInProgressThenEveryStoredPeriodOldestFirst) {
    env.defaults().setObject("dataunit_settings", Value("GB"));
    list.perform("viewDidLoad", Value());
    list.perform("viewWillAppear", Value());
    EXPECT_EQ(rowTexts(list), (std::vector<std::string>{
                                  "Current Billing Period |  | mobile_small.png",
                                  "Current Billing Period |  | wifi_small.png",
                                  "10/8/25 to 11/7/25 | 1.50 GB | mobile_small.png",
                                  "11/8/25 to 12/7/25 | 0.50 GB | wifi_small.png",
                              }));
    EXPECT_TRUE(list.actionButtonEnabled);
    EXPECT_EQ(events(), (std::vector<std::string>{"event Viewing history tab"}));

    // A log stored while the tab was away shows on the next visit.
    EXPECT_TRUE(History::addNewHistoryItemLog(
        env.services(), log("new", "2025-12-08T00:00:00Z", "2026-01-07T00:00:00Z",
                            History::kCellular, History::kBillingCycleLog, 0)));
    EXPECT_EQ(list.numberOfRows(), 4);
    list.perform("viewWillAppear", Value());
    EXPECT_EQ(ids(list.historyData), (std::vector<std::string>{"cell-cycle", "wifi-cycle", "new"}));

    EXPECT_TRUE(History::clearHistory(env.services()));
    list.perform("viewWillAppear", Value());
    EXPECT_EQ(list.numberOfRows(), 2);
    EXPECT_FALSE(list.actionButtonEnabled);
    EXPECT_FALSE(list.perform("showActionSheet", Value()));
    EXPECT_TRUE(presenter.alerts.empty());
}

TEST_F(HistoryScreensTest, DeletingARowRemovesOnlyThatLogAndNeverAPeriodInProgress) {
    list.viewWillAppear();
    list.perform("showEditMode", Value());
    EXPECT_TRUE(list.editing);
    for (int fixed : {0, 1, 5, -1}) {
        ValueDict argument;
        argument.set("row", Value(fixed));
        EXPECT_FALSE(list.perform("delete", Value(argument))) << fixed;
    }
    ValueDict first;
    first.set("row", Value(2));
    EXPECT_TRUE(list.perform("delete", Value(first)));

    EXPECT_EQ(ids(list.historyData), (std::vector<std::string>{"wifi-cycle"}));
    std::vector<std::string> left = ids(stored);
    std::erase(left, "cell-cycle");
    EXPECT_EQ(ids(History::getAllHistoryLogs(env.services())), left);
    list.perform("leaveEditMode", Value());
    EXPECT_FALSE(list.editing);
}

TEST_F(HistoryScreensTest, ClearAllRecordsEmptiesTheWholeArchiveOnlyWhenConfirmed) {
    list.viewWillAppear();
    ASSERT_TRUE(list.perform("showActionSheet", Value()));
    ASSERT_EQ(presenter.alerts.size(), 1u);
    EXPECT_EQ(presenter.alerts[0].tag, HistoryViewController::kActionSheetTag);
    EXPECT_TRUE(presenter.alerts[0].actionSheet);
    EXPECT_EQ(test::RecordingPresenter::buttons(presenter.alerts[0]),
              (std::vector<std::string>{"Cancel", "Clear History", "Email History", "Export to CSV",
                                        "View Chart"}));

    presenter.answer(1);
    ASSERT_EQ(presenter.alerts.size(), 2u);
    EXPECT_EQ(presenter.alerts[1].tag, HistoryViewController::kClearSheetTag);
    EXPECT_EQ(test::RecordingPresenter::buttons(presenter.alerts[1]),
              (std::vector<std::string>{"Cancel", "Clear All Records"}));
    presenter.answer(0);
    EXPECT_EQ(History::getAllHistoryLogs(env.services()).size(), stored.size());

    list.showActionSheet();
    presenter.answer(1);
    presenter.answer(1);
    EXPECT_TRUE(History::getAllHistoryLogs(env.services()).empty());
    EXPECT_EQ(list.numberOfRows(), 2);
    EXPECT_FALSE(list.actionButtonEnabled);
    EXPECT_TRUE(mail.composed.empty());
    EXPECT_TRUE(navigator.steps.empty());
}

TEST_F(HistoryScreensTest, SelectingARowOpensItsOwnPeriod) {
    list.viewWillAppear();
    struct Case {
        int row;
        bool cellular, wifi;
        std::optional<std::string> item;
    };
    const Case cases[] = {{0, true, false, std::nullopt},
                          {1, false, true, std::nullopt},
                          {3, false, false, "wifi-cycle"}};
    for (const auto &c : cases) {
        ValueDict argument;
        argument.set("row", Value(c.row));
        ASSERT_TRUE(list.perform("select", Value(argument))) << c.row;
        const HistoryDetailViewController *detail = list.detail();
        ASSERT_NE(detail, nullptr);
        EXPECT_EQ(navigator.top(), detail);
        EXPECT_EQ(detail->showCurrentCellCycle, c.cellular) << c.row;
        EXPECT_EQ(detail->showCurrentWiFiCycle, c.wifi) << c.row;
        if (c.item) {
            EXPECT_EQ(detail->historyItem->uniqueId, *c.item);
        }
        EXPECT_EQ(detail->displayDataUnit, "MB");
    }
    EXPECT_EQ(navigator.pages(),
              (std::vector<std::string>(3, "push " + std::string("HistoryDetailView"))));
    EXPECT_EQ(events(), (std::vector<std::string>(3, "event Viewing history details")));
    ValueDict missing;
    missing.set("row", Value(4));
    EXPECT_FALSE(list.perform("select", Value(missing)));
}

TEST_F(HistoryScreensTest, CurrentWiFiPeriodShowsItsDaysUpToNowNewestFirst) {
    list.viewWillAppear();
    list.didSelectRow(1);
    const HistoryDetailViewController &detail = *list.detail();
    EXPECT_EQ(cellTexts(detail), (std::vector<std::string>{
                                     "# Current Wi-Fi Billing Cycle",
                                     "CellWithStartDate: Start Date = 12/8/25",
                                     // The day before the next billing date, not today.
                                     "CellWithEndDate: End Date = 1/7/26",
                                     "# Wi-Fi Byteward",
                                     "CellWithTotalData: Total Data = 3.00 MB",
                                     "CellWithReceivedData: Received = 2.00 MB",
                                     "CellWithSentData: Sent = 1.00 MB",
                                     "# Usage Breakup",
                                     "DailyCell: 12/19 to 12/20 = 8.00 MB",
                                     "DailyCell: Tue, Dec 9th = 2.00 MB",
                                     "DailyCell: 12/7 to 12/8 = 0.50 MB",
                                 }));
    // The period in progress is never stored.
    EXPECT_EQ(History::getAllHistoryLogs(env.services()).size(), stored.size());

    list.didSelectRow(0);
    EXPECT_EQ(list.detail()->headerForSection(0), "Current Cellular Billing Cycle");
    EXPECT_EQ(list.detail()->headerForSection(1), "Cellular (3G/GPRS/EDGE) Byteward");
}

TEST_F(HistoryScreensTest, PastPeriodListsADayThatEndedInsideIt) {
    list.viewWillAppear();
    list.didSelectRow(3);
    EXPECT_EQ(cellTexts(*list.detail()), (std::vector<std::string>{
                                             "# Past Wi-Fi Billing Cycle",
                                             "CellWithStartDate: Start Date = 11/8/25",
                                             "CellWithEndDate: End Date = 12/7/25",
                                             "# Wi-Fi Byteward",
                                             "CellWithTotalData: Total Data = 512.00 MB",
                                             "CellWithReceivedData: Received = 384.00 MB",
                                             "CellWithSentData: Sent = 128.00 MB",
                                             "# Usage Breakup",
                                             "DailyCell: 12/1 to 12/2 = 1.00 MB",
                                             "DailyCell: 11/7 to 11/8 = 0.25 MB",
                                         }));
    list.didSelectRow(2);
    EXPECT_EQ(list.detail()->headerForSection(0), "Past Cellular Billing Cycle");
    EXPECT_TRUE(list.detail()->dailyLogs.empty());
}

// A past period lists the applications closed with it, the period in progress those of the store's
// period when it is this one; either adds what the counter did not see, and a period without
// applications has no such section.
TEST_F(HistoryScreensTest, DetailListsThePeriodsApplicationsLargestFirst) {
    AppUsage usage;
    usage.types[DataType::WiFi].periodStart = date("2025-12-08T00:00:00Z");
    usage.types[DataType::WiFi].period = {{"app:org.example.Mail", {0.5 * MB, 0.5 * MB}},
                                          {"system", {2 * MB, 0}}};
    usage.closed.push_back({DataType::WiFi,
                            {date("2025-11-08T00:00:00Z"),
                             date("2025-12-08T00:00:00Z"),
                             {{"app:org.example.Browser", {300 * MB, 10 * MB}},
                              {"service:syncthing", {2 * MB, 0}},
                              {"system", {120 * MB, 0}}}}});
    // Another type's period of the same start is not this one's.
    usage.closed.push_back({DataType::Cellular,
                            {date("2025-11-08T00:00:00Z"), date("2025-12-08T00:00:00Z"),
                             {{"app:org.example.Other", {1 * MB, 0}}}}});
    ASSERT_TRUE(usage.save(env.services()));
    auto applications = [this](int row) {
        list.didSelectRow(row);
        std::vector<std::string> out;
        const auto &detail = *list.detail();
        out.push_back("# " + detail.headerForSection(HistoryDetailViewController::kApplicationsSection));
        for (const auto &cell : detail.rowsInSection(HistoryDetailViewController::kApplicationsSection))
            out.push_back(cell.title + " = " + cell.value);
        out.push_back(std::to_string(detail.sections().size()) + " sections");
        return out;
    };
    list.viewWillAppear();
    EXPECT_EQ(applications(3), (std::vector<std::string>{"# Applications",
                                                         "org.example.Browser = 310.00 MB",
                                                         "System = 120.00 MB",
                                                         "syncthing = 2.00 MB",
                                                         "Not attributed = 80.00 MB", "4 sections"}));
    EXPECT_EQ(applications(1), (std::vector<std::string>{"# Applications", "System = 2.00 MB",
                                                         "org.example.Mail = 1.00 MB",
                                                         "4 sections"}));
    EXPECT_EQ(applications(2), (std::vector<std::string>{"# ", "3 sections"}));

    // A store still on the last period shows nothing for this one.
    usage.types[DataType::WiFi].periodStart = date("2025-11-08T00:00:00Z");
    ASSERT_TRUE(usage.save(env.services()));
    EXPECT_EQ(applications(1), (std::vector<std::string>{"# ", "3 sections"}));
}

TEST_F(HistoryScreensTest, DetailMailsExportsAndChartsTheDaysItShows) {
    list.viewWillAppear();
    list.didSelectRow(1);
    HistoryDetailViewController &detail = *list.detail();
    HistoryExport exporter(env.services(), nullptr);

    ASSERT_TRUE(detail.perform("showActionSheet", Value()));
    EXPECT_EQ(test::RecordingPresenter::buttons(presenter.alerts.back()),
              (std::vector<std::string>{"Cancel", "Email History", "Export to CSV", "View Chart"}));
    for (int button : {0, 1, 2, 3}) {
        detail.showActionSheet();
        presenter.answer(button);
    }
    ASSERT_EQ(mail.composed.size(), 2u);
    EXPECT_EQ(mail.composed[0].body, exporter.emailBody(detail.dailyLogs, "MB"));
    EXPECT_EQ(mail.composed[1].attachments.at(0).data, exporter.csvText(detail.dailyLogs, "MB"));
    EXPECT_EQ(events(), (std::vector<std::string>{"event Viewing history details",
                                                  "event Exporting history via email",
                                                  "event Exporting history via csv"}));

    const HistoryChartViewController *chart = detail.chart().controller();
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(navigator.pages().back(), "present HistoryChartView");
    EXPECT_EQ(navigator.top(), detail.chart().screen());
    EXPECT_TRUE(chart->isDailyChart);
    EXPECT_EQ(chart->chartTitle, "WiFi Usage (12/8 - 01/7)");
    EXPECT_EQ(ids(chart->historyData), ids(detail.dailyLogs));

    // Closing the chart takes its page away.
    const_cast<HistoryChartViewController *>(chart)->dismissView();
    EXPECT_EQ(navigator.top(), &detail);
}

TEST_F(HistoryScreensTest, ListMailsExportsAndChartsTheBillingPeriods) {
    list.viewWillAppear();
    for (int button : {2, 3, 4}) {
        list.showActionSheet();
        presenter.answer(button);
    }
    HistoryExport exporter(env.services(), nullptr);
    ASSERT_EQ(mail.composed.size(), 2u);
    EXPECT_EQ(mail.composed[0].body, exporter.emailBody(list.historyData, "MB"));
    EXPECT_EQ(mail.composed[1].attachments.at(0).data, exporter.csvText(list.historyData, "MB"));
    const HistoryChartViewController *chart = list.chart().controller();
    ASSERT_NE(chart, nullptr);
    EXPECT_FALSE(chart->isDailyChart);
    EXPECT_EQ(chart->chartTitle, "");
    EXPECT_EQ(ids(chart->historyData), (std::vector<std::string>{"cell-cycle", "wifi-cycle"}));
    // The list's exports record no events of their own.
    EXPECT_TRUE(events().empty());
}

TEST_F(HistoryScreensTest, AnExportThatReachesNoComposerSaysSoAndWhereTheFileIs) {
    list.viewWillAppear();
    list.didSelectRow(1);
    HistoryDetailViewController &detail = *list.detail();
    const std::string file = HistoryExport::csvPath(env.services()).string();
    const std::string noClient = "No mail client was found. Install Thunderbird, or set up a mail "
                                 "program that xdg-email can open.";
    const std::string refused = "The mail client did not open the message.";
    const std::string written = " The CSV file was written to " + file + ".";
    struct Case {
        const char *name;
        bool onDetail;
        int button;
        bool available, accepts, fileBlocked;
        std::optional<std::pair<std::string, std::string>> alert; // title, message
    };
    const Case cases[] = {
        {"ListMailHandedOver", false, 2, true, true, false, std::nullopt},
        {"ListMailWithoutClient", false, 2, false, true, false,
         std::pair{"Cannot Send Mail", noClient}},
        {"ListCsvWithoutClient", false, 3, false, true, false,
         std::pair{"Cannot Send Mail", noClient + written}},
        {"DetailMailRefused", true, 1, true, false, false, std::pair{"Cannot Send Mail", refused}},
        {"DetailCsvRefused", true, 2, true, false, false,
         std::pair{"Cannot Send Mail", refused + written}},
        {"DetailCsvNotWritten", true, 2, true, true, true,
         std::pair{"Export Failed", "The CSV file could not be written to " + file + "."}},
    };
    for (const auto &c : cases) {
        presenter.clear();
        mail.available = c.available;
        mail.accepts = c.accepts;
        std::filesystem::remove_all(file);
        if (c.fileBlocked) std::filesystem::create_directories(file + "/in-the-way");
        if (c.onDetail)
            detail.showActionSheet();
        else
            list.showActionSheet();
        presenter.answer(c.button);
        if (!c.alert) {
            EXPECT_EQ(presenter.alerts.size(), 1u) << c.name;
            continue;
        }
        ASSERT_EQ(presenter.alerts.size(), 2u) << c.name;
        const Alert &alert = presenter.alerts[1];
        EXPECT_EQ(alert.title, c.alert->first) << c.name;
        EXPECT_EQ(alert.message, c.alert->second) << c.name;
        EXPECT_FALSE(alert.actionSheet) << c.name;
        EXPECT_EQ(test::RecordingPresenter::buttons(alert), std::vector<std::string>{"OK"});
        // Its answer starts nothing.
        const std::size_t mails = mail.composed.size();
        presenter.answer(0);
        EXPECT_EQ(presenter.alerts.size(), 2u) << c.name;
        EXPECT_EQ(mail.composed.size(), mails) << c.name;
    }
}

} // namespace
} // namespace byteward
