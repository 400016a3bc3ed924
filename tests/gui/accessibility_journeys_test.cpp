// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a screen reader finds on every screen, through the same accessibility tree that Qt hands
// to AT-SPI: every control has a name, and the dashboards' figures are there to be read.
#include "gui/journey.h"
#include "model/history.h"

#include <QAccessible>
#include <QAccessibleInterface>

namespace byteward::test {
namespace {

bool interactive(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::PageTab:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::Slider:
    case QAccessible::ComboBox:
    case QAccessible::Link:
    case QAccessible::MenuItem:
        return true;
    default:
        return false;
    }
}

struct Reading {
    QStringList names;    // everything a screen reader would read out
    QStringList unnamed;  // controls it could not name
};

void walk(QAccessibleInterface *node, const QString &path, Reading &out) {
    if (node == nullptr || !node->isValid() || node->state().invisible) return;
    const QString name = node->text(QAccessible::Name).trimmed();
    if (!name.isEmpty()) out.names.append(name);
    const QAccessible::Role role = node->role();
    QString here = path;
    if (QObject *object = node->object(); object != nullptr && !object->objectName().isEmpty())
        here += QLatin1Char('/') + object->objectName();
    if (interactive(role) && name.isEmpty())
        out.unnamed.append(QStringLiteral("%1 (role %2)").arg(here).arg(int(role)));
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), here, out);
}

class AccessibilityJourneys : public Journey {
  protected:
    // As under a screen reader: accessibility on from the start.
    AccessibilityJourneys() { QAccessible::setActive(true); }
    ~AccessibilityJourneys() override { QAccessible::setActive(false); }
    Reading read() {
        QAccessible::setActive(true);
        settle();
        Reading reading;
        walk(QAccessible::queryAccessibleInterface(window()), QStringLiteral("window"), reading);
        return reading;
    }
    // Every control of the screen in front has a name.
    void expectNamed(const char *screen) {
        const Reading reading = read();
        EXPECT_GT(reading.names.size(), 3) << screen << ": the tree is nearly empty";
        EXPECT_TRUE(reading.unnamed.isEmpty())
            << screen << ": controls without a name:\n"
            << reading.unnamed.join('\n').toStdString();
    }
};

TEST_F(AccessibilityJourneys, EveryControlOnEveryScreenHasAName) {
    skipGreetings();
    settingsOfAFirstStart();
    start({.now = "1765152000"});
    Services &services = app().services();
    ASSERT_TRUE(History::addNewHistoryItemLog(
        services, History::initWithStartDate(Instant(std::chrono::seconds(1'762'560'000)),
                                             Instant(std::chrono::seconds(1'765'152'000)), 1.0e6,
                                             2.0e6, 3.0e6, History::kCellular,
                                             History::kBillingCycleLog)));
    for (int tab = 0; tab < 5; ++tab) {
        selectTab(tab);
        expectNamed("a tab");
        picture(QStringLiteral("tab%1").arg(tab));
    }
    // Settings: the adjust alert and each plan screen.
    click(QStringLiteral("setting_AdjustCellularUsage"));
    expectAlert(QStringLiteral("enter adjusted cellular usage"));
    expectNamed("the adjust alert");
    picture(QStringLiteral("adjust-alert"));
    answer(QStringLiteral("Cancel"));
    for (const char *plan : {"PlanType", "StartDay", "Quota", "StartDate"}) {
        click(QStringLiteral("setting_%1").arg(QLatin1String(plan)));
        expectNamed(plan);
        click(QStringLiteral("planBackButton"));
    }
    click(QStringLiteral("setting_dataunit_settings"));
    expectNamed("a value list");
    click(QStringLiteral("valueBackButton"));

    // Counters: the editor, its text entry and end date, the list in edit mode, the details.
    selectTab(2);
    click(QStringLiteral("addButton"));
    expectNamed("the counter editor");
    picture(QStringLiteral("counter-editor"));
    clickText(QStringLiteral("Name"));
    expectNamed("the text entry");
    click(QStringLiteral("doneButton"));
    clickText(QStringLiteral("End Date"));
    expectNamed("the end date");
    click(QStringLiteral("doneButton"));
    click(QStringLiteral("saveButton"));
    click(QStringLiteral("editButton"));
    expectNamed("the counters in edit mode");
    click(QStringLiteral("editButton"));
    click(QStringLiteral("counterRow0"));
    expectNamed("a counter's details");
    click(QStringLiteral("backButton"));

    // History: the menu and a period.
    selectTab(3);
    click(QStringLiteral("historyActionButton"));
    expectAlert(QString());
    expectNamed("the history menu");
    picture(QStringLiteral("history-menu"));
    answer(QStringLiteral("Cancel"));
    click(QStringLiteral("historyRow2"));
    expectNamed("a period's days");
    click(QStringLiteral("historyBackButton"));
}

TEST_F(AccessibilityJourneys, EveryTargetOnAPhoneIsAThumbWide) {
    skipGreetings();
    settingsOfAFirstStart();
    start({.width = 360, .height = 720});
    auto expectThumbSized = [this](const QString &name) {
        QQuickItem *item = find(name);
        ASSERT_NE(item, nullptr);
        EXPECT_GE(item->height(), 48) << name.toStdString();
        EXPECT_GE(item->width(), 48) << name.toStdString();
    };
    for (int tab = 0; tab < 5; ++tab)
        expectThumbSized(QStringLiteral("tab%1").arg(tab));
    selectTab(2);
    expectThumbSized(QStringLiteral("addButton"));
    expectThumbSized(QStringLiteral("editButton"));
    expectThumbSized(QStringLiteral("counterRow0"));
    selectTab(3);
    expectThumbSized(QStringLiteral("historyActionButton"));
    expectThumbSized(QStringLiteral("historyRow0"));
    selectTab(4);
    expectThumbSized(QStringLiteral("setting_PlanType"));
    click(QStringLiteral("setting_PlanType"));
    expectThumbSized(QStringLiteral("planRow0"));
    expectThumbSized(QStringLiteral("planBackButton"));
}

TEST_F(AccessibilityJourneys, TheDashboardFiguresAreReadOut) {
    skipGreetings();
    settingsOfAFirstStart();
    start();
    for (const int tab : {0, 1}) {
        selectTab(tab);
        const QString suffix = tab == 0 ? QString() : QStringLiteral("Wifi");
        const Reading reading = read();
        for (const QString &expected :
             {QStringLiteral("Used this period: ") + shown("lblMonthlyUsage" + suffix),
              QStringLiteral("Status: ") + shown("lblIdealActualDiff" + suffix),
              QStringLiteral("Updated ") + shown(QStringLiteral("lblLastUpdateDate"))})
            EXPECT_TRUE(reading.names.contains(expected)) << expected.toStdString();
        // The details table, a row at a time.
        const gui::RowModel *rows = (tab == 0 ? app().cellular() : app().wifi())->rows();
        ASSERT_GT(rows->count(), 0);
        const QVariantMap first = rows->get(0);
        EXPECT_TRUE(reading.names.filter(first.value("title").toString() + ": ").size() == 1)
            << first.value("title").toString().toStdString();
    }
}

} // namespace
} // namespace byteward::test
