// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Starting, greeting, quitting: the alerts of the first starts, one after another, and the last
// sample taken however the app is ended.
#include "byteward_version.h"
#include "gui/journey.h"

#include <QProcess>
#include <QQuickItem>
#include <QTest>
#include <csignal>

namespace byteward::test {
namespace {

const QString kWhatsNew = QStringLiteral("What's New in %1").arg(QLatin1String(kVersion));
const QString kLocation = QStringLiteral("Enhance Monitoring Accuracy");

class StartJourneys : public Journey {};

TEST_F(StartJourneys, InitialSetupShowsTheSettingsTabAndItsScreensWork) {
    start();
    expectAlert(QStringLiteral("Initial Setup"));
    answer(QStringLiteral("OK"));
    expectNoAlert();
    EXPECT_EQ(app().currentTab(), 4);
    EXPECT_EQ(find(QStringLiteral("tabs"))->property("currentIndex").toInt(), 4);
    // The settings tab is in front and answers: a plan screen opens and closes.
    click(QStringLiteral("setting_PlanType"));
    click(QStringLiteral("planBackButton"));
    EXPECT_NE(findOptional(QStringLiteral("setting_PlanType")), nullptr);
    // Leaving it is the person's own tap, and only then.
    selectTab(0);
    EXPECT_EQ(app().currentTab(), 0);
    expectNoAlert();
}

TEST_F(StartJourneys, TheSecondStartGreetsThenAsksForLocationOnceWithoutCrashing) {
    start();
    expectAlert(QStringLiteral("Initial Setup"));
    answer(QStringLiteral("OK"));
    quit();

    start();
    expectAlert(kWhatsNew);
    answer(QStringLiteral("Got it!"));
    expectAlert(kLocation);
    answer(QStringLiteral("OK"));
    expectNoAlert();
    quit();

    start();
    settle(200);
    expectNoAlert();
}

TEST_F(StartJourneys, ANewVersionGreetsAgainButNeverAsksForLocationTwice) {
    storeDefault("firstRun", Value(Instant(std::chrono::seconds(1'700'000'000))));
    storeDefault("version", Value(std::string("0.0.1")));
    storeDefault("askedForLocation", Value(true));
    storeDefault("askedForRating", Value(true));
    start();
    expectAlert(kWhatsNew);
    answer(QStringLiteral("Got it!"));
    expectNoAlert();
    EXPECT_EQ(storedDefault("version")->stringValue(), kVersion);
}

TEST_F(StartJourneys, AlertsRaisedTogetherShowOneAtATimeInTheOrderRaised) {
    // Twelve days of use: the rating prompt joins the greeting at this start.
    storeDefault("firstRun", Value(Instant(std::chrono::seconds(1'765'152'000 - 12 * 86'400))));
    start({.now = "1765152000"});
    expectAlert(kWhatsNew);
    EXPECT_EQ(app().presenter()->pending(), 2);
    answer(QStringLiteral("Got it!"));
    expectAlert(QStringLiteral("Rate Byteward"));
    answer(QStringLiteral("No, Thanks"));
    // The greeting's answer asked for location after the prompt that was already waiting.
    expectAlert(kLocation);
    answer(QStringLiteral("OK"));
    expectNoAlert();
}

TEST_F(StartJourneys, TheWindowComesFirstAndShowsNoFigureBeforeItIsRead) {
    storeDefault("firstRun", Value(Instant(std::chrono::seconds(1'700'000'000))));
    storeDefault("version", Value(std::string(kVersion)));
    start({.show = false});
    EXPECT_FALSE(app().launched());
    EXPECT_FALSE(recordField("cellular", "lastUpdate").has_value());
    // The dashboard is blank rather than showing figures no one has read yet.
    EXPECT_EQ(window()->findChild<QQuickItem *>(QStringLiteral("lblMonthlyUsage")), nullptr);

    window()->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app().launched(); }, 5000));
    settle(80);
    EXPECT_TRUE(recordField("cellular", "lastUpdate").has_value());
    QQuickItem *usage = find(QStringLiteral("lblMonthlyUsage"));
    ASSERT_NE(usage, nullptr);
    EXPECT_FALSE(usage->property("text").toString().isEmpty());
}

// The app ended by a signal, as a session's logout ends it, takes its last sample and exits 0.
class SignalJourneys : public Journey, public ::testing::WithParamInterface<int> {};

TEST_P(SignalJourneys, ASignalEndsTheAppAsQuittingDoes) {
    QProcess app;
    app.setProgram(QStringLiteral(BYTEWARD_APP_BINARY));
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start();
    ASSERT_TRUE(app.waitForStarted());
    // Running once the first sample is stored.
    ASSERT_TRUE(QTest::qWaitFor([&] { return recordField("cellular", "lastUpdate").has_value(); },
                                15'000));
    const double before = recordField("cellular", "dataAllTime")->doubleValue();
    setCounters("wwan0", 1'000'000 + 4'000'000, 200'000);
    ::kill(static_cast<pid_t>(app.processId()), GetParam());
    ASSERT_TRUE(app.waitForFinished(15'000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_DOUBLE_EQ(recordField("cellular", "dataAllTime")->doubleValue(), before + 4'000'000);
}

INSTANTIATE_TEST_SUITE_P(TermIntHup, SignalJourneys, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto &info) {
                             return std::string(info.param == SIGTERM  ? "SIGTERM"
                                                : info.param == SIGINT ? "SIGINT"
                                                                       : "SIGHUP");
                         });

} // namespace
} // namespace byteward::test
