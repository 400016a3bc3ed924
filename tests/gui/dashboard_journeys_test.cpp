// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The dashboards as a person sees them: adjusting and resetting a period from Settings, the tab
// highlight's colour on every tab, the start tab, the app's own sampling, hiding and showing,
// and a window that keeps answering while another process holds the data.
#include "gui/journey.h"
#include "platform/data_lock.h"
#include "screens/kit/theme.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace byteward::test {
namespace {

class DashboardJourneys : public Journey {
  protected:
    // Settings > Adjust for a type, the amount typed into the alert's field.
    void adjust(bool cellular, const QString &amount) {
        selectTab(4);
        click(cellular ? QStringLiteral("setting_AdjustCellularUsage")
                       : QStringLiteral("setting_AdjustWifiUsage"));
        expectAlert(cellular ? QStringLiteral("enter adjusted cellular usage")
                             : QStringLiteral("enter adjusted WiFi usage"));
        // The field has the keyboard at once.
        QQuickItem *field = find(QStringLiteral("alertField"));
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(field->hasActiveFocus());
        replaceText(amount);
        answer(QStringLiteral("OK"));
    }
    void planQuotas() {
        settingsOfAFirstStart();
        for (const char *key : {"cellularDataLimit", "wifiDataLimit"})
            storeDefault(key, Value(100.0));
        for (const char *key : {"cellularDataLimitUnit", "wifiDataLimitUnit"})
            storeDefault(key, Value(std::string("MB")));
        storeDefault("firstDayOfCycle", Value(1LL));
        storeDefault("firstDayOfCycleWifi", Value(1LL));
        storeDefault("progressYellow", Value(std::string("USE80")));
        storeDefault("progressRed", Value(std::string("USE95")));
    }
};

struct AdjustCase {
    const char *name;
    const char *typed;
    bool understood;
};

class AdjustJourneys : public DashboardJourneys, public ::testing::WithParamInterface<AdjustCase> {};

TEST_P(AdjustJourneys, TheDashboardShowsTheAdjustedAmountOrTheAlertSaysWhyNot) {
    skipGreetings();
    settingsOfAFirstStart();
    start();
    selectTab(0);
    const QString before = shown(QStringLiteral("lblMonthlyUsage"));
    adjust(true, QString::fromUtf8(GetParam().typed));
    if (GetParam().understood) {
        expectNoAlert();
        selectTab(0);
        EXPECT_EQ(shown(QStringLiteral("lblMonthlyUsage")), QStringLiteral("12.50"));
    } else {
        expectAlert(QStringLiteral("Amount not understood"));
        answer(QStringLiteral("OK"));
        expectNoAlert();
        selectTab(0);
        EXPECT_EQ(shown(QStringLiteral("lblMonthlyUsage")), before);
    }
    expectDashboardMatchesController(0);
}

INSTANTIATE_TEST_SUITE_P(Amounts, AdjustJourneys,
                         ::testing::Values(AdjustCase{"Valid", "12.5", true},
                                           AdjustCase{"Unreadable", "twelve", false},
                                           AdjustCase{"Negative", "-5", false},
                                           AdjustCase{"Empty", "", false}),
                         [](const auto &info) { return std::string(info.param.name); });

class ResetJourneys : public DashboardJourneys, public ::testing::WithParamInterface<bool> {};

TEST_P(ResetJourneys, ResetZeroesThePeriodOnTheDashboardAndAddsAHistoryRow) {
    const bool cellular = GetParam();
    skipGreetings();
    settingsOfAFirstStart();
    start();
    adjust(cellular, QStringLiteral("30"));
    selectTab(3);
    const int rowsBefore = app().history()->rows()->count();
    selectTab(4);
    click(cellular ? QStringLiteral("setting_ResetCellularUsage")
                   : QStringLiteral("setting_ResetWifiUsage"));
    expectAlert(cellular ? QStringLiteral("Reset Cellular Usage") : QStringLiteral("Reset WiFi Usage"));
    answer(QStringLiteral("Reset"));
    expectNoAlert();
    selectTab(cellular ? 0 : 1);
    EXPECT_EQ(shown(cellular ? QStringLiteral("lblMonthlyUsage") : QStringLiteral("lblMonthlyUsageWifi")),
              QStringLiteral("0.00"));
    expectDashboardMatchesController(cellular ? 0 : 1);
    selectTab(3);
    EXPECT_NE(findOptional(QStringLiteral("historyRow%1").arg(rowsBefore)), nullptr)
        << "the closed period is not in the History list";
}

INSTANTIATE_TEST_SUITE_P(Types, ResetJourneys, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "Cellular" : "WiFi"; });

QColor colour(const Rgba &c) {
    return QColor(QString::fromStdString(toHex(c)));
}

TEST_F(DashboardJourneys, EveryTabHighlightTakesItsOwnColourAtOnce) {
    skipGreetings();
    planQuotas();
    start();
    adjust(true, QStringLiteral("85"));  // past 80 %: yellow
    adjust(false, QStringLiteral("97")); // past 95 %: red
    const QColor yellow = colour(BytewardColors::progressColor2());
    const QColor red = colour(BytewardColors::progressColor3());
    const QColor plain = colour(BytewardColors::appTintColor());
    // Each dashboard once, so each bar has drawn its colour.
    selectTab(0);
    selectTab(1);
    for (const int tab : {0, 1, 2, 3, 4, 1, 0, 3, 0}) {
        selectTab(tab);
        const QColor expected = tab == 0 ? yellow : tab == 1 ? red : plain;
        const QColor painted = pixelAt(find(QStringLiteral("tabHighlight%1").arg(tab)));
        EXPECT_EQ(painted.name().toStdString(), expected.name().toStdString()) << "tab " << tab;
    }
}

TEST_F(DashboardJourneys, TheStartTabIsChosenAtLaunchAndReturnOnlyNeverBySampling) {
    skipGreetings();
    settingsOfAFirstStart();
    storeDefault("startup_settings", Value(std::string("WIFI")));
    start({.fetchIntervalSeconds = 1});
    EXPECT_EQ(app().currentTab(), 1);
    selectTab(2);
    // The app's own sampling while in front repaints the dashboards, and leaves the person where
    // they are.
    setCounters("wwan0", 1'000'000 + 7 * 1'048'576, 200'000);
    auto allTime = [this] {
        return app().cellular()->label(QStringLiteral("lblAllTime"))->text();
    };
    const QString before = allTime();
    ASSERT_TRUE(QTest::qWaitFor([&] { return allTime() != before; }, 5000));
    EXPECT_EQ(app().currentTab(), 2);
    // Hidden and shown again: the return selects the start tab.
    window()->hide();
    settle(100);
    window()->show();
    settle(200);
    EXPECT_EQ(app().currentTab(), 1);
    EXPECT_EQ(find(QStringLiteral("tabs"))->property("currentIndex").toInt(), 1);
    expectDashboardMatchesController(1);
}

TEST_F(DashboardJourneys, HidingTheWindowTakesASampleAsLeavingTheAppDoes) {
    skipGreetings();
    settingsOfAFirstStart();
    start();
    const double before = recordField("wifi", "dataAllTime")->doubleValue();
    setCounters("wlan0", 5'000'000 + 2'000'000, 700'000);
    window()->hide();
    settle(100);
    EXPECT_DOUBLE_EQ(recordField("wifi", "dataAllTime")->doubleValue(), before + 2'000'000);
    window()->show();
    settle(100);
    selectTab(1);
    expectDashboardMatchesController(1);
}

TEST_F(DashboardJourneys, TheWindowAnswersWhileAnotherProcessHoldsTheDataForSeconds) {
    skipGreetings();
    settingsOfAFirstStart();
    start({.fetchIntervalSeconds = 1});
    const std::string lock = (dataDir() / DataLock::kFileName).string();
    QProcess holder;
    holder.start(QStringLiteral("flock"),
                 {QString::fromStdString(lock), QStringLiteral("sleep"), QStringLiteral("5")});
    ASSERT_TRUE(holder.waitForStarted());
    // Held once a try of our own fails.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const int fd = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
            const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0;
            if (fd >= 0) ::close(fd);
            return held;
        },
        3000));
    setCounters("wwan0", 1'000'000 + 3'000'000, 200'000);
    const double before = recordField("cellular", "dataAllTime")->doubleValue();
    // A person keeps tapping tabs while the samples wait: every tap is answered at once.
    qint64 slowest = 0;
    for (const int tab : {1, 0, 3, 2, 4, 0, 1, 3}) {
        QElapsedTimer tap;
        tap.start();
        selectTab(tab);
        slowest = std::max(slowest, tap.elapsed());
        EXPECT_EQ(app().currentTab(), tab);
        settle(300);
    }
    EXPECT_LT(slowest, 1500) << "a tap waited for the other process";
    // Waiting for another process is no failure to tell the person of.
    EXPECT_TRUE(alert().isEmpty()) << alert().value("title").toString().toStdString();
    ASSERT_TRUE(holder.waitForFinished(10'000));
    // Once the lock is free the postponed sample goes through.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return recordField("cellular", "dataAllTime")->doubleValue() >= before + 3'000'000; },
        5000));
}

// Files no larger than nothing: every write fails as on a full disk.
class NoRoom {
  public:
    NoRoom() {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit none = saved_;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_FSIZE, &none);
    }
    ~NoRoom() { ::setrlimit(RLIMIT_FSIZE, &saved_); }
    NoRoom(const NoRoom &) = delete;
    NoRoom &operator=(const NoRoom &) = delete;

  private:
    rlimit saved_{};
};

TEST_F(DashboardJourneys, AWriteThatFailsIsToldOnceAndTheAppGoesOn) {
    skipGreetings();
    settingsOfAFirstStart();
    start();
    adjust(true, QStringLiteral("20"));
    expectNoAlert();
    {
        NoRoom full;
        adjust(true, QStringLiteral("40"));
        expectAlert(QStringLiteral("Not Saved"));
        answer(QStringLiteral("OK"));
        // The same file failing the same way again is not told again.
        adjust(true, QStringLiteral("50"));
        settle(200);
        expectNoAlert();
    }
    selectTab(0);
    EXPECT_EQ(shown(QStringLiteral("lblMonthlyUsage")), QStringLiteral("20.00"));
    // Room again: the next adjust is stored.
    adjust(true, QStringLiteral("60"));
    expectNoAlert();
    selectTab(0);
    EXPECT_EQ(shown(QStringLiteral("lblMonthlyUsage")), QStringLiteral("60.00"));
}

TEST_F(DashboardJourneys, AMachineWithNothingToCountSaysSoUntilAnInterfaceIsNamed) {
    skipGreetings();
    // A desktop on wired Ethernet only.
    for (const char *name : {"wwan0", "wlan0"})
        std::filesystem::remove_all(root() / "net" / name);
    writeFile(root() / "net" / "eth0" / "uevent", "INTERFACE=eth0\n");
    writeFile(root() / "net" / "eth0" / "flags", "0x1003\n");
    setCounters("eth0", 4'000'000, 1'000'000);
    start();
    selectTab(0);
    QQuickItem *notice = find(QStringLiteral("notice0"));
    ASSERT_NE(notice, nullptr);
    const std::string text = notice->property("modelData").toString().toStdString();
    EXPECT_EQ(text.rfind("NOTHING IS COUNTED: No interface counts", 0), 0u) << text;
    EXPECT_NE(text.find("eth0 (no rule names it)"), std::string::npos) << text;
    EXPECT_NE(text.find("cellularInterfaces -array eth0"), std::string::npos) << text;
    picture(QStringLiteral("nothing-counted"));

    // Settings names the interface; the data limit is off until turned on.
    selectTab(4);
    click(QStringLiteral("list_cellularInterfaces"));
    type(QStringLiteral("eth0"));
    press(Qt::Key_Return);
    ASSERT_TRUE(storedDefault("cellularInterfaces"));
    EXPECT_EQ(storedDefault("cellularInterfaces")->asArray()->at(0).stringValue(), "eth0");
    QQuickItem *limit = find(QStringLiteral("switch_turnOffCellularAtQuota"));
    EXPECT_FALSE(limit->property("checked").toBool());
    click(limit);
    EXPECT_EQ(storedDefault("turnOffCellularAtQuota"), Value(true));
    EXPECT_EQ(findOptional(QStringLiteral("setting_FreshSimPeriod")), nullptr)
        << "no other SIM, nothing to offer";

    selectTab(0);
    EXPECT_EQ(findOptional(QStringLiteral("notice0")), nullptr);
}

} // namespace
} // namespace byteward::test
