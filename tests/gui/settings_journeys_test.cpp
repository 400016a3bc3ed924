// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Each plan setup screen opened from the Settings tab, turned with a person's input, closed with
// its back button: the value it stored, and a settings list that still answers afterwards.
#include "gui/journey.h"

namespace byteward::test {
namespace {

struct PlanScreenCase {
    const char *screen;  // the settings row that opens it
    const char *control; // the row or wheel turned
    int steps;           // arrow presses on a wheel: down when positive; 0 clicks a row
    const char *key;     // the user default it stores
    Value stored;
};

class PlanScreenJourneys : public Journey, public ::testing::WithParamInterface<PlanScreenCase> {};
class SettingsJourneys : public Journey {};

TEST_P(PlanScreenJourneys, TurningAWheelOrTappingARowStoresTheValueShown) {
    const PlanScreenCase &c = GetParam();
    skipGreetings();
    settingsOfAFirstStart();
    storeDefault("cellularDataLimit", Value(100LL));
    storeDefault("cellularDataLimitUnit", Value(std::string("MB")));
    storeDefault("CellularPlanType", Value(0LL));
    start();
    selectTab(4);
    click(QStringLiteral("setting_%1").arg(QLatin1String(c.screen)));
    QQuickItem *control = find(QLatin1String(c.control));
    click(control);
    for (int i = 0; i < std::abs(c.steps); ++i)
        press(c.steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    settle(100);
    click(QStringLiteral("planBackButton"));
    ASSERT_NE(findOptional(QStringLiteral("setting_%1").arg(QLatin1String(c.screen))), nullptr)
        << "the settings list is not back";
    const auto value = storedDefault(c.key);
    ASSERT_TRUE(value.has_value()) << c.key << " was not stored";
    EXPECT_EQ(*value, c.stored) << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    Screens, PlanScreenJourneys,
    ::testing::Values(PlanScreenCase{"PlanType", "planRow1", 0, "CellularPlanType", Value(1LL)},
                      PlanScreenCase{"StartDay", "planWheel0", 3, "firstDayOfCycle", Value(4LL)},
                      PlanScreenCase{"Days", "planWheel0", 5, "ResetDays", Value(7LL)},
                      PlanScreenCase{"Quota", "planWheel2", 2, "cellularDataLimit", Value(120LL)},
                      PlanScreenCase{"Quota", "planWheel4", 1, "cellularDataLimitUnit",
                                     Value(std::string("GB"))}),
    [](const auto &info) { return std::string(info.param.screen) + info.param.control; });

TEST_F(SettingsJourneys, CurrentUsageWheelsGoStraightIntoTheCellularPeriod) {
    skipGreetings();
    settingsOfAFirstStart();
    storeDefault("cellularDataLimit", Value(100LL));
    storeDefault("cellularDataLimitUnit", Value(std::string("MB")));
    start();
    selectTab(4);
    click(QStringLiteral("setting_CurrentUsage"));
    click(find(QStringLiteral("planWheel3")));
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    settle(100);
    const auto used = recordField("cellular", "dataThisMonth");
    ASSERT_TRUE(used.has_value());
    EXPECT_DOUBLE_EQ(used->doubleValue(), 102.0 * 1'048'576);
    click(QStringLiteral("planBackButton"));
    selectTab(0);
    // 100 on the wheels from the quota, two more in the last digit.
    EXPECT_EQ(shown(QStringLiteral("lblMonthlyUsage")), QStringLiteral("102.00"));
    expectDashboardMatchesController(0);
}

TEST_F(SettingsJourneys, ACustomStartDateIsTheDayTheWheelRestsOn) {
    skipGreetings();
    settingsOfAFirstStart();
    storeDefault("ResetDays", Value(30LL));
    start({.now = "1765152000"}); // 2025-12-08
    selectTab(4);
    click(QStringLiteral("setting_StartDate"));
    QQuickItem *days = find(QStringLiteral("planDays"));
    ASSERT_NE(days, nullptr);
    click(days);
    const int shownFirst = days->property("currentIndex").toInt();
    const auto before = storedDefault("CustomStartDate");
    press(shownFirst > 0 ? Qt::Key_Up : Qt::Key_Down);
    settle(100);
    const auto after = storedDefault("CustomStartDate");
    click(QStringLiteral("planBackButton"));
    ASSERT_TRUE(after && after->isDate());
    // The next day up or down the wheel, at the same time of day.
    const double moved = secondsSince1970(*after->asDate()) -
                         (before && before->isDate() ? secondsSince1970(*before->asDate()) : 0);
    EXPECT_DOUBLE_EQ(std::abs(moved), 86'400.0);
}

} // namespace
} // namespace byteward::test
