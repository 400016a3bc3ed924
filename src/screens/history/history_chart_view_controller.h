// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/history.h"
#include "platform/analytics_log.h"
#include "platform/i18n.h"
#include "storage/services.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// A stretch of a chart axis, in axis units.
struct ChartRange {
    double location = 0;
    double length = 0;
    bool operator==(const ChartRange &) const = default;
};

// A text set along an axis at a place of the drawing's choosing.
struct ChartAxisLabel {
    std::string text;
    double location = 0; // axis units
    double rotation = 0; // radians, counter-clockwise (text reads upwards at pi/2)
    double fontSize = 0; // points
    bool operator==(const ChartAxisLabel &) const = default;
};

// The figure written above a bar.
struct ChartValueLabel {
    std::string text;
    double fontSize = 0; // points
    bool operator==(const ChartValueLabel &) const = default;
};

struct ChartBar {
    double location = 0; // centre, x units
    double tip = 0;      // height, display unit
    std::optional<ChartValueLabel> valueLabel;
};

// Room between the chart's edges and its plot area, where the axis labels go. Points.
struct ChartPadding {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    bool operator==(const ChartPadding &) const = default;
};

// Every figure of the history chart, worked out here so the drawing only has to place them.
struct HistoryChart {
    ChartPadding padding;
    ChartRange xRange;
    ChartRange yRange;

    std::string xAxisTitle;
    double xAxisTitleLocation = 0; // x units
    double xAxisTitleOffset = 0;   // points below the axis
    double xMajorTickLength = 0;   // points
    double xLabelOffset = 0;       // points below the axis
    std::vector<ChartAxisLabel> xLabels;

    double yMajorInterval = 0; // display unit; labels and grid lines fall on its multiples
    int yMinorTicksPerInterval = 0;
    double yGridLineWidth = 0; // points
    std::string yLabelFormat;  // the y labels' printf form, such as "%.1f"
    std::vector<ChartAxisLabel> yLabels;

    double barWidth = 0;        // x units
    double barCornerRadius = 0; // points
    std::vector<ChartBar> bars;
};

enum class DeviceOrientation {
    Unknown,
    Portrait,
    PortraitUpsideDown,
    LandscapeLeft,
    LandscapeRight,
    FaceUp,
    FaceDown,
};

// The history chart: one white bar per log with its total above it and its dates under it,
// shown sideways for the billing-cycle logs or for the days of one period. It keeps the logs it
// was handed; later changes to the store do not reach it.
class HistoryChartViewController {
  public:
    static constexpr const char *kNoChartDataText = N_("No Chart Data Available");

    explicit HistoryChartViewController(Services &services, AnalyticsLog *analytics = nullptr)
        : services_(services), analytics_(analytics) {}

    std::vector<History> historyData;
    std::string displayDataUnit = "MB";
    bool isDailyChart = false;
    std::string chartTitle;
    // Tablets get larger date labels and keep value labels phones drop. A device that does not
    // say what it is counts as a phone.
    bool isPad = false;

    // Builds the chart, or the "no data" label when there are no logs.
    void viewDidLoad();
    void renderHistoryChart();
    bool isLoaded() const { return loaded_; }
    // Empty until built, and for an empty list.
    const std::optional<HistoryChart> &chart() const { return chart_; }
    bool showsNoDataLabel() const { return loaded_ && !chart_; }

    // What the bar plot asks per bar.
    std::size_t numberOfRecordsForPlot() const { return historyData.size(); }
    long long barLocation(std::size_t index) const { return static_cast<long long>(index); }
    float barTip(std::size_t index) const;
    std::optional<ChartValueLabel> dataLabelForPlot(std::size_t index) const;

    // The chart lives sideways: turning upright closes it.
    void didRotate(DeviceOrientation orientation);
    // A desktop window has no sensor; one taller than wide is upright.
    static DeviceOrientation orientationOfWindow(double width, double height);
    void dismissView();
    bool isDismissed() const { return dismissed_; }
    // Called once, when the chart closes; the shell takes the page away.
    std::function<void()> onDismiss;

  private:
    float largestTotal() const;
    std::string xLabelText(const History &log) const;
    std::vector<ChartAxisLabel> xAxisLabels() const;
    std::vector<ChartAxisLabel> yAxisLabels(double length, double interval) const;
    double xLabelFontSize() const { return isPad ? 14 : 10; }

    Services &services_;
    AnalyticsLog *analytics_;
    std::optional<HistoryChart> chart_;
    bool loaded_ = false;
    bool dismissed_ = false;
};

} // namespace byteward
