// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The History tab by pointer: a period's days, deleting a log, clearing everything (the list
// empties at once), the exports with and without a mail client, and the chart opened from the
// menu and closed by turning the window upright.
#include "gui/journey.h"
#include "model/history.h"
#include "platform/files.h"

#include <QFile>
#include <QTest>
#include <sys/stat.h>

namespace byteward::test {
namespace {

class HistoryJourneys : public Journey {
  protected:
    // Three finished cellular periods, then the History tab in front.
    void startWithPeriods() {
        skipGreetings();
        settingsOfAFirstStart();
        start({.now = "1765152000"});
        Services &services = app().services();
        for (int month = 3; month >= 1; --month) {
            const auto end = Instant(std::chrono::seconds(1'765'152'000 - (month - 1) * 30 * 86'400));
            const auto begin = end - std::chrono::hours(24 * 30);
            ASSERT_TRUE(History::addNewHistoryItemLog(
                services, History::initWithStartDate(begin, end, 1'048'576.0 * month,
                                                     2'097'152.0 * month, 3'145'728.0 * month,
                                                     History::kCellular, History::kBillingCycleLog)));
        }
        selectTab(3);
    }
    int rowCount() const { return rowTitles(QStringLiteral("historyRow")).size(); }
    void openMenu() {
        click(QStringLiteral("historyActionButton"));
        expectAlert(QString());
    }
    // A stand-in mail client that keeps its arguments; PATH without one when `present` is false.
    std::filesystem::path mailClient(bool present) {
        const auto bin = root() / "bin";
        auto record = root() / "mailed.txt";
        std::filesystem::create_directories(bin);
        if (present) {
            writeFile(bin / "xdg-email", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record.string() + "'\n");
            ::chmod((bin / "xdg-email").c_str(), 0755);
        }
        ::setenv("PATH", bin.c_str(), 1);
        return record;
    }
};

TEST_F(HistoryJourneys, OpenAPeriodDeleteALogAndClearEverythingAtOnce) {
    startWithPeriods();
    const int rows = rowCount();
    ASSERT_GE(rows, 5); // two periods in progress, three finished
    click(QStringLiteral("historyRow2"));
    click(QStringLiteral("historyBackButton"));

    click(QStringLiteral("historyEditButton"));
    click(find(QStringLiteral("deleteButton"), find(QStringLiteral("historyRow2"))));
    EXPECT_EQ(rowCount(), rows - 1);
    click(QStringLiteral("historyEditButton"));
    EXPECT_EQ(History::getAllBillingCycleLogs(app().services()).size(), 2U);

    openMenu();
    answer(QStringLiteral("Clear History"));
    expectAlert(QString());
    answer(QStringLiteral("Clear All Records"));
    expectNoAlert();
    // Only the periods in progress are left, on screen as in the store.
    EXPECT_EQ(rowCount(), 2);
    EXPECT_TRUE(History::getAllHistoryLogs(app().services()).empty());
}

struct ExportCase {
    const char *name;
    const char *button;
    bool mailClient;
    bool alert; // "Cannot Send Mail"
};

class ExportJourneys : public HistoryJourneys, public ::testing::WithParamInterface<ExportCase> {};

TEST_P(ExportJourneys, AnExportReachesTheMailClientOrSaysWhyNot) {
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
    startWithPeriods();
    const auto mailed = mailClient(GetParam().mailClient);
    openMenu();
    answer(QLatin1String(GetParam().button));
    if (GetParam().alert) {
        expectAlert(QStringLiteral("Cannot Send Mail"));
        answer(QStringLiteral("OK"));
    }
    expectNoAlert();
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(std::filesystem::exists(mailed), GetParam().mailClient);
    if (std::string(GetParam().button) == "Export to CSV") {
        const auto csv = readWholeFile(dataDir() / "byteward.csv");
        ASSERT_TRUE(csv.has_value());
        EXPECT_NE(csv->find("Cellular,"), std::string::npos) << *csv;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Exports, ExportJourneys,
    ::testing::Values(ExportCase{"CsvMailed", "Export to CSV", true, false},
                      ExportCase{"CsvWithoutMail", "Export to CSV", false, true},
                      ExportCase{"EmailMailed", "Email History", true, false},
                      ExportCase{"EmailWithoutMail", "Email History", false, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HistoryJourneys, TheChartOpensFromTheMenuAndClosesWhenTheWindowTurnsUpright) {
    startWithPeriods();
    window()->resize(720, 360);
    settle(100);
    openMenu();
    answer(QStringLiteral("View Chart"));
    ASSERT_NE(findOptional(QStringLiteral("closeButton")), nullptr) << "no chart";
    window()->resize(360, 720);
    EXPECT_TRUE(QTest::qWaitFor([&] { return findOptional(QStringLiteral("closeButton")) == nullptr; },
                                3000))
        << "the chart stayed up";
    settle();
    // The list answers again.
    click(QStringLiteral("historyRow2"));
    click(QStringLiteral("historyBackButton"));
}

} // namespace
} // namespace byteward::test
