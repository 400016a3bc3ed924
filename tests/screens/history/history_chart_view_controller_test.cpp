// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/history/history_chart_screen.h"
#include "screens/history/history_chart_view_controller.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr double kMiB = 1048576.0;
const Instant kFirstOfMarch = instantFromSeconds(1'772'366'400); // 2026-03-01T12:00:00Z

Instant day(int index) {
    return kFirstOfMarch + std::chrono::hours(24 * index);
}

// n daily logs of the 1st, 2nd, ... of March, the i-th moving (i + 1) × 1.2 MiB.
std::vector<History> dailyLogs(int n) {
    std::vector<History> logs;
    for (int i = 0; i < n; ++i)
        logs.push_back(History::initWithStartDate(day(i), day(i), 0, 0, (i + 1) * 1.2 * kMiB,
                                                  History::kWiFi, History::kDailyLog));
    return logs;
}

class HistoryChartTest : public ::testing::Test {
  protected:
    HistoryChartViewController &load(std::vector<History> logs, const std::string &unit = "MB",
                                     bool daily = true, bool pad = false) {
        controller.historyData = std::move(logs);
        controller.displayDataUnit = unit;
        controller.isDailyChart = daily;
        controller.isPad = pad;
        controller.viewDidLoad();
        return controller;
    }
    const HistoryChart &chart() {
        static const HistoryChart none;
        EXPECT_TRUE(controller.chart().has_value());
        return controller.chart() ? *controller.chart() : none;
    }

    test::TestEnv env{"Europe/London", "en_GB"};
    AnalyticsLog analytics{env.paths(), env.clock};
    HistoryChartViewController controller{env.services(), &analytics};
    HistoryChartScreen screen{controller};
};

TEST_F(HistoryChartTest, RangesLabelsAndValueLabelsFollowTheNumberOfLogsUnitAndDevice) {
    struct Case {
        int n;
        const char *unit;
        bool pad;
        double xLength, yLength, leftPadding;
        const char *firstX, *lastX; // date labels of the first and last bar
        double xRotation, xFontSize;
        std::optional<ChartValueLabel> firstValue, lastValue;
    };
    const double upright = 1.5707964;
    const Case cases[] = {
        {1, "MB", false, 2, 1.5, 60, "1/03", "1/03", 0, 10, ChartValueLabel{"1.2 MB", 12},
         ChartValueLabel{"1.2 MB", 12}},
        {11, "MB", false, 12, 16.5, 60, "1/03", "11/03", upright, 10, ChartValueLabel{"1.2", 10},
         ChartValueLabel{"13.2", 10}},
        {25, "MB", false, 26, 37.5, 60, "1/03", "25/03", upright, 10, ChartValueLabel{"1", 8},
         ChartValueLabel{"30", 8}},
        // Kilobytes: no room for the figures on a phone, and a wider margin for the y labels.
        {11, "KB", false, 12, 16.5 * 1024, 90, "1/03", "11/03", upright, 10, {}, {}},
        {1, "KB", true, 2, 1.5 * 1024, 90, "1/03", "1/03", 0, 14, ChartValueLabel{"1228.8 KB", 12},
         ChartValueLabel{"1228.8 KB", 12}},
        // Gigabytes lose their figures on a phone only from 21 logs on.
        {11, "GB", false, 12, 16.5 / 1024, 60, "1/03", "11/03", upright, 10,
         ChartValueLabel{"0.0", 10}, ChartValueLabel{"0.0", 10}},
        {25, "GB", false, 26, 37.5 / 1024, 60, "1/03", "25/03", upright, 10, {}, {}},
        {25, "GB", true, 26, 37.5 / 1024, 60, "1/03", "25/03", upright, 14, ChartValueLabel{"0", 8},
         ChartValueLabel{"0", 8}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.n) + " " + c.unit + (c.pad ? " tablet" : " phone"));
        load(dailyLogs(c.n), c.unit, true, c.pad);
        const HistoryChart &h = chart();
        EXPECT_EQ(h.xRange, (ChartRange{0, c.xLength}));
        EXPECT_EQ(h.yRange.location, 0);
        EXPECT_NEAR(h.yRange.length, c.yLength, c.yLength * 1e-6);
        EXPECT_EQ(h.padding, (ChartPadding{20, c.leftPadding, 55, 10}));
        EXPECT_DOUBLE_EQ(h.xAxisTitleLocation, c.n * 0.5);
        ASSERT_EQ(h.xLabels.size(), static_cast<std::size_t>(c.n));
        ASSERT_EQ(h.bars.size(), static_cast<std::size_t>(c.n));
        EXPECT_EQ(h.xLabels.front().text, c.firstX);
        EXPECT_EQ(h.xLabels.back().text, c.lastX);
        for (int i = 0; i < c.n; ++i) {
            // Each date sits under its own bar, and bar i stands at i + 1.
            EXPECT_EQ(h.bars[i].location, i + 1);
            EXPECT_EQ(h.xLabels[i].location, h.bars[i].location);
            EXPECT_FLOAT_EQ(h.xLabels[i].rotation, c.xRotation);
            EXPECT_EQ(h.xLabels[i].fontSize, c.xFontSize);
        }
        EXPECT_EQ(h.bars.front().valueLabel, c.firstValue);
        EXPECT_EQ(h.bars.back().valueLabel, c.lastValue);
        // The tallest bar reaches four fifths of the height.
        EXPECT_NEAR(h.bars.back().tip / h.yRange.length, 0.8, 1e-6);
    }
}

TEST_F(HistoryChartTest, BillingCycleLabelsNameTheTypeOnASecondLineAndNeverTurn) {
    std::vector<History> logs;
    for (int i = 0; i < 25; ++i)
        logs.push_back(History::initWithStartDate(day(0), day(30), 0, 0, kMiB,
                                                  i % 2 ? History::kWiFi : History::kCellular,
                                                  History::kBillingCycleLog));
    logs.back().startDate.reset(); // a damaged log still gets its label
    load(logs, "MB", false);
    const HistoryChart &h = chart();
    EXPECT_EQ(h.xLabels[0].text, "1/03-31/03\n  (Cellular)");
    EXPECT_EQ(h.xLabels[1].text, "1/03-31/03\n    (WiFi)");
    EXPECT_EQ(h.xLabels[24].text, "-31/03\n  (Cellular)");
    for (const auto &label : h.xLabels)
        EXPECT_EQ(label.rotation, 0);
}

TEST_F(HistoryChartTest, DailyDatesStandUprightOnlyFromSevenDaysOn) {
    for (const auto &[n, rotation] : {std::pair{6, 0.0}, std::pair{7, 1.5707964}}) {
        load(dailyLogs(n));
        EXPECT_FLOAT_EQ(chart().xLabels.front().rotation, rotation) << n << " days";
    }
}

TEST_F(HistoryChartTest, YLabelsFallOnRoundStepsUpToTheTopOfTheRange) {
    struct Case {
        double largestMiB;
        double interval;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {1.2, 0.5, {"0.0", "0.5", "1.0", "1.5"}},              // range 1.5
        {13.2, 5, {"0", "5", "10", "15"}},                     // range 16.5
        {800, 200, {"0", "200", "400", "600", "800", "1000"}}, // range exactly on a step
        {0.01,
         0.005,
         {"0.000", "0.005", "0.010"}}, // range 0.0125: small amounts keep their decimals
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.largestMiB);
        load({History::initWithStartDate(day(0), day(0), 0, 0, c.largestMiB * kMiB,
                                         History::kCellular, History::kDailyLog)});
        const HistoryChart &h = chart();
        EXPECT_DOUBLE_EQ(h.yMajorInterval, c.interval);
        std::vector<std::string> texts;
        for (const auto &label : h.yLabels) {
            texts.push_back(label.text);
            EXPECT_LE(label.location, h.yRange.length * (1 + 1e-9));
        }
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(std::snprintf(nullptr, 0, h.yLabelFormat.c_str(), 1.0),
                  static_cast<int>(texts.front().size()));
    }
}

TEST_F(HistoryChartTest, TotalsOfNothingStillGiveADrawableHeight) {
    // Zero, missing and negative totals all chart as empty bars.
    std::vector<History> logs = dailyLogs(3);
    logs[0].dataTotal = 0.0;
    logs[1].dataTotal.reset();
    logs[2].dataTotal = -5.0;
    load(logs);
    const HistoryChart &h = chart();
    EXPECT_EQ(h.yRange, (ChartRange{0, 1}));
    EXPECT_EQ(h.yLabels.size(), 6u);
    EXPECT_EQ(h.yLabels.back().text, "1.0");
    for (const ChartBar &bar : h.bars) {
        EXPECT_EQ(bar.tip, 0);
        EXPECT_EQ(bar.valueLabel, (ChartValueLabel{"0.0 MB", 12}));
    }
}

TEST_F(HistoryChartTest, AnEmptyListShowsOnlyTheNoDataText) {
    const auto noDataHidden = [this] {
        return screen.labels().find("lblNoData")->asDict()->find("hidden")->boolValue();
    };
    EXPECT_TRUE(noDataHidden()); // nothing is shown before the view loads
    screen.perform("viewDidLoad", {});
    screen.perform("viewDidLoad", {}); // a second load is not a second visit
    EXPECT_FALSE(controller.chart().has_value());
    EXPECT_FALSE(noDataHidden());
    EXPECT_EQ(screen.labels().find("lblNoData")->asDict()->find("text")->stringValue(),
              "No Chart Data Available");
    const ValueDict values = screen.values();
    EXPECT_FALSE(values.find("hasChart")->boolValue());
    EXPECT_FALSE(values.contains("bars"));
    EXPECT_FALSE(values.contains("xLabels"));
    EXPECT_EQ(analytics.entries(), std::vector<std::string>{"event Viewing history graph"});
}

TEST_F(HistoryChartTest, TheScreenHandsOverEveryBarWithItsValueLabel) {
    load(dailyLogs(25), "GB");
    screen.perform("windowResized", Value(ValueDict{}));
    const auto bars = [this] { return *screen.values().find("bars")->asArray(); };
    EXPECT_FALSE(bars()[0].asDict()->find("hasValueLabel")->boolValue());
    // A window grown to tablet size brings the figures back.
    ValueDict tablet;
    tablet.set("tablet", Value(true));
    screen.perform("windowResized", Value(tablet));
    ASSERT_EQ(bars().size(), 25u);
    EXPECT_EQ(bars()[24].asDict()->find("valueText")->stringValue(), "0");
    EXPECT_EQ(bars()[24].asDict()->find("location")->doubleValue(), 25);
    EXPECT_EQ(
        screen.values().find("xLabels")->asArray()->at(0).asDict()->find("fontSize")->doubleValue(),
        14);
}

TEST_F(HistoryChartTest, TurningUprightClosesTheChartOnce) {
    const auto window = [](double width, double height) {
        ValueDict d;
        d.set("width", Value(width));
        d.set("height", Value(height));
        return Value(d);
    };
    struct Step {
        const char *action;
        Value argument;
    };
    struct Case {
        const char *name;
        std::vector<Step> steps;
        int dismissals;
    };
    const Case cases[] = {
        {"portrait", {{"didRotate", "portrait"}}, 1},
        {"upside down", {{"didRotate", "portraitUpsideDown"}}, 1},
        {"other turns", {{"didRotate", "landscapeRight"}, {"didRotate", "faceUp"}}, 0},
        {"opened in a tall window", {{"windowResized", window(400, 800)}}, 0},
        {"wide window made tall",
         {{"windowResized", window(800, 450)}, {"windowResized", window(800, 900)}},
         1},
        {"closed, then turned again", {{"dismissView", {}}, {"didRotate", "portrait"}}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HistoryChartViewController chart(env.services());
        HistoryChartScreen chartScreen(chart);
        int dismissals = 0;
        chart.onDismiss = [&dismissals] { ++dismissals; };
        for (const Step &step : c.steps)
            EXPECT_TRUE(chartScreen.perform(step.action, step.argument));
        EXPECT_EQ(dismissals, c.dismissals);
        EXPECT_EQ(chartScreen.values().find("dismissed")->boolValue(), c.dismissals > 0);
    }
}

} // namespace
} // namespace byteward
