// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Apps screens by pointer and keyboard: opened from a dashboard's Apps row, the period's
// applications with their amounts and what the counter did not see, an application's days and
// back; without the counter, the hint that says how to turn it on.
#include "gui/journey.h"
#include "model/app_data.h"
#include "model/app_usage.h"
#include "platform/files.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <unistd.h>

namespace byteward::test {
namespace {

constexpr double MB = 1048576.0;

class AppsJourneys : public Journey {
  protected:
    AppsJourneys() {
        const char *dir = std::getenv("BYTEWARD_APPSTATS_DIR");
        savedCounterDir_ = dir != nullptr ? dir : "";
    }
    ~AppsJourneys() override { ::setenv("BYTEWARD_APPSTATS_DIR", savedCounterDir_.c_str(), 1); }

    // The counter "runs": a snapshot of this user's lies where it leaves them.
    void counterRuns() {
        const auto dir = root() / "appstats";
        writeFile(dir / std::to_string(::getuid()),
                  R"({"format":1,"epoch":"journey","cgroups":[]})");
        ::setenv("BYTEWARD_APPSTATS_DIR", dir.c_str(), 1);
    }
    // A browser and a mail client with desktop entries, a service, and the rest of the system;
    // the dashboard counted more than they did.
    void storeApplications() {
        const auto icon = root() / "data" / "browser.svg";
        writeFile(icon, "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 8 8'>"
                        "<circle cx='4' cy='4' r='4' fill='#3584e4'/></svg>");
        writeFile(root() / "data" / "applications" / "org.example.Browser.desktop",
                  "[Desktop Entry]\nType=Application\nName=Web Browser\nIcon=" + icon.string() +
                      "\n");
        // Anyone can name an application: markup in a name is shown as it is written.
        writeFile(root() / "data" / "applications" / "org.example.Mail.desktop",
                  "[Desktop Entry]\nType=Application\nName=<b>Mail</b>\nIcon=mail\n");
        Services &services = app().services();
        AppData record(services);
        record.getAppData("cellular");
        ASSERT_TRUE(record.lastBillingDate.has_value());
        record.dataThisMonth = 1000 * MB;
        ASSERT_TRUE(record.saveAppData());
        AppUsage usage = AppUsage::load(services);
        auto &state = usage.types[DataType::Cellular];
        state.periodStart = record.lastBillingDate;
        state.dayStart = services.calendar.startOfDay(services.clock.now());
        state.days = {{*state.dayStart - std::chrono::hours(24),
                       *state.dayStart,
                       {{"app:org.example.Browser", {300 * MB, 20 * MB}}}}};
        state.today = {{"app:org.example.Browser", {180 * MB, 0}}};
        state.period = {{"app:org.example.Browser", {480 * MB, 20 * MB}},
                        {"app:org.example.Mail", {60 * MB, 0}},
                        {"service:syncthing", {40 * MB, 0}},
                        {"system", {300 * MB, 0}}};
        ASSERT_TRUE(usage.save(services));
    }
    void startOnTheDashboard() {
        skipGreetings();
        settingsOfAFirstStart();
        start({.now = "1765152000"});
    }
    // Every name a screen reader reads on the window now.
    QStringList accessibleNames() {
        QAccessible::setActive(true);
        settle();
        QStringList names;
        std::function<void(QAccessibleInterface *)> walk = [&](QAccessibleInterface *node) {
            if (node == nullptr || !node->isValid() || node->state().invisible) return;
            if (const QString name = node->text(QAccessible::Name).trimmed(); !name.isEmpty())
                names.append(name);
            for (int i = 0; i < node->childCount(); ++i)
                walk(node->child(i));
        };
        walk(QAccessible::queryAccessibleInterface(window()));
        QAccessible::setActive(false);
        return names;
    }

  private:
    std::string savedCounterDir_;
};

TEST_F(AppsJourneys, TheCellularAppsListTheirAmountsOpenTheirDaysAndGoBack) {
    counterRuns();
    startOnTheDashboard();
    storeApplications();
    click(QStringLiteral("appsRow"));
    EXPECT_EQ(rowTitles(QStringLiteral("appRow")),
              (QStringList{QStringLiteral("Web Browser"), QStringLiteral("<b>Mail</b>"),
                           QStringLiteral("syncthing"), QStringLiteral("System"),
                           QStringLiteral("Not attributed")}));
    EXPECT_EQ(rowDetail(QStringLiteral("Web Browser")), QStringLiteral("500.00 MB"));
    EXPECT_EQ(rowDetail(QStringLiteral("System")), QStringLiteral("300.00 MB"));
    EXPECT_EQ(rowDetail(QStringLiteral("Not attributed")), QStringLiteral("100.00 MB"));
    EXPECT_EQ(findOptional(QStringLiteral("appsNote")), nullptr) << "the counter runs";
    EXPECT_TRUE(accessibleNames().contains(QStringLiteral("<b>Mail</b>: 60.00 MB")));
    // The browser's entry names an icon file, the mail client's a theme icon this machine lacks.
    auto iconOf = [&](const char *row) {
        auto *item = findOptional(QString::fromLatin1(row));
        return item != nullptr ? item->findChild<QQuickItem *>(QStringLiteral("appIcon")) : nullptr;
    };
    ASSERT_NE(iconOf("appRow0"), nullptr);
    for (int i = 0; i < 50 && iconOf("appRow0")->property("status").toInt() == 2; ++i)
        settle();
    EXPECT_EQ(iconOf("appRow0")->property("status").toInt(), 1);
    // The icon's blue, not the row's grey, at its middle.
    const QPointF middle = iconOf("appRow0")->mapToScene(
        QPointF(iconOf("appRow0")->width() / 2, iconOf("appRow0")->height() / 2));
    const QColor drawn =
        window()->grabWindow().pixelColor((middle * window()->devicePixelRatio()).toPoint());
    EXPECT_GT(drawn.blue(), drawn.red() + 80) << drawn.name().toStdString();
    picture(QStringLiteral("apps"));

    click(QStringLiteral("appRow0"));
    EXPECT_EQ(shown(QStringLiteral("appDaysTitle")), QStringLiteral("Web Browser"));
    const QStringList days = rowTitles(QStringLiteral("appDayRow"));
    ASSERT_EQ(days.size(), 2);
    EXPECT_EQ(rowDetail(days[0]), QStringLiteral("180.00 MB"));
    EXPECT_EQ(rowDetail(days[1]), QStringLiteral("320.00 MB"));
    picture(QStringLiteral("appDays"));
    click(QStringLiteral("appDaysBackButton"));

    // Today only.
    click(QStringLiteral("appsSpan0"));
    EXPECT_EQ(rowTitles(QStringLiteral("appRow")), (QStringList{QStringLiteral("Web Browser")}));
    click(QStringLiteral("appsBackButton"));
    ASSERT_NE(findOptional(QStringLiteral("appsRow")), nullptr);
}

TEST_F(AppsJourneys, RowsAreReachedAndOpenedByKeyboard) {
    counterRuns();
    startOnTheDashboard();
    storeApplications();
    click(QStringLiteral("appsRow"));
    // Tab from the page's start until an application's row holds the focus, then Return.
    bool reached = false;
    for (int i = 0; i < 12 && !reached; ++i) {
        press(Qt::Key_Tab);
        QQuickItem *focused = window()->activeFocusItem();
        reached = focused != nullptr && focused->objectName() == QStringLiteral("appRow1");
    }
    ASSERT_TRUE(reached) << "the second application's row never took the focus";
    press(Qt::Key_Return);
    EXPECT_EQ(shown(QStringLiteral("appDaysTitle")), QStringLiteral("<b>Mail</b>"));
}

TEST_F(AppsJourneys, WithoutTheCounterTheScreenSaysHowToEnableIt) {
    startOnTheDashboard();
    selectTab(1);
    click(QStringLiteral("appsRow"));
    QQuickItem *note = find(QStringLiteral("appsNote"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(accessibleNames().contains(QString::fromStdString(appsCounterHint())));
    EXPECT_NE(findOptional(QStringLiteral("appsEmpty")), nullptr);
    picture(QStringLiteral("appsWithoutCounter"));
    click(QStringLiteral("appsBackButton"));
}

} // namespace
} // namespace byteward::test
