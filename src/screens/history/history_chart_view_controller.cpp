// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/history/history_chart_view_controller.h"

#include "model/data_formatter.h"
#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/kit/string_formatter.h"

#include <algorithm>
#include <cmath>

namespace byteward {

namespace {

constexpr double kBarOffset = 1.0;       // bar i stands at x = i + 1, clear of the y axis
constexpr double kBarWidth = 0.8;        // x units
constexpr double kBarCornerRadius = 10;  // points
constexpr double kXMajorTickLength = 1;  // points
constexpr double kXAxisLabelGap = 2;     // points between the axis line and its labels
constexpr double kXAxisTitleOffset = 30; // points
constexpr double kYGridLineWidth = 0.5;  // points
constexpr int kYMinorTicksPerInterval = 4;
constexpr double kQuarterTurn = 1.5707964; // radians
// Room above the tallest bar for its value label: it reaches 80 % of the height.
constexpr float kHeadroom = 1.25f;
// A chart of nothing but zeros still needs a height to draw its axis; one display unit.
constexpr double kEmptyChartHeight = 1;
// About this many grid lines up the y axis.
constexpr double kYIntervalsWanted = 5;

// A round step (1, 2 or 5 times a power of ten) that cuts the length into at most about
// kYIntervalsWanted pieces.
double roundInterval(double length) {
    const double raw = length / kYIntervalsWanted;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / power;
    const double step = fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10;
    return step * power;
}

// As many decimals as the step needs: none for 20, one for 0.5, two for 0.02.
int decimalsFor(double interval) {
    return std::max(0, static_cast<int>(-std::floor(std::log10(interval) + 1e-9)));
}

} // namespace

void HistoryChartViewController::viewDidLoad() {
    if (analytics_ != nullptr) analytics_->logEvent("Viewing history graph");
    loaded_ = true;
    if (!historyData.empty()) renderHistoryChart();
}

float HistoryChartViewController::barTip(std::size_t index) const {
    return DataFormatter::converToDataUnitFromBytes(historyData.at(index).dataTotal,
                                                    displayDataUnit);
}

float HistoryChartViewController::largestTotal() const {
    std::optional<double> largest;
    for (const History &log : historyData)
        if (log.dataTotal && (!largest || *log.dataTotal > *largest)) largest = log.dataTotal;
    return DataFormatter::converToDataUnitFromBytes(largest, displayDataUnit);
}

std::optional<ChartValueLabel>
HistoryChartViewController::dataLabelForPlot(std::size_t index) const {
    const std::size_t n = historyData.size();
    // Phones have no room for the long kilobyte figures, nor for 21 or more gigabyte ones.
    if (displayDataUnit == "KB" && !isPad) return std::nullopt;
    if (n > 20 && displayDataUnit == "GB" && !isPad) return std::nullopt;
    const double v = barTip(index);
    if (n <= 10) return ChartValueLabel{format("%.1f %s", v, displayDataUnit.c_str()), 12};
    if (n <= 20) return ChartValueLabel{format("%.1f", v), 10};
    return ChartValueLabel{format("%.0f", v), 8};
}

std::string HistoryChartViewController::xLabelText(const History &log) const {
    const StringFormatter dates(services_.calendar);
    auto dayMonth = [&dates](const std::optional<Instant> &date) {
        return date ? dates.getLocalizedShortDateMonthFromDate(*date) : std::string();
    };
    if (isDailyChart) return dayMonth(log.endDate);
    const std::string start = dayMonth(log.startDate);
    const std::string end = dayMonth(log.endDate);
    // The extra spaces centre the shorter type word under the dates.
    if (log.dataType == History::kWiFi)
        return format("%s-%s\n  %s", start.c_str(), end.c_str(), tr("  (WiFi)"));
    return format("%s-%s\n %s", start.c_str(), end.c_str(), tr(" (Cellular)"));
}

std::vector<ChartAxisLabel> HistoryChartViewController::xAxisLabels() const {
    const std::size_t n = historyData.size();
    // A week of dates side by side is all a phone's width holds; more stand upright.
    const double rotation = isDailyChart && n > 6 ? kQuarterTurn : 0;
    std::vector<ChartAxisLabel> labels;
    labels.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        // Under its own bar: spread any other way, the later dates drift under the next bar.
        labels.push_back({xLabelText(historyData[i]),
                          static_cast<double>(barLocation(i)) + kBarOffset, rotation,
                          xLabelFontSize()});
    }
    return labels;
}

std::vector<ChartAxisLabel> HistoryChartViewController::yAxisLabels(double length,
                                                                    double interval) const {
    const int decimals = decimalsFor(interval);
    std::vector<ChartAxisLabel> labels;
    // Counted in steps rather than summed, so rounding cannot add or drop the top label.
    const auto steps = static_cast<long long>(std::floor(length / interval + 1e-9));
    for (long long k = 0; k <= steps; ++k) {
        const double value = static_cast<double>(k) * interval;
        labels.push_back({format("%.*f", decimals, value), value, 0, xLabelFontSize()});
    }
    return labels;
}

void HistoryChartViewController::renderHistoryChart() {
    const std::size_t n = historyData.size();
    HistoryChart chart;
    // Kilobyte figures run long and need a wider margin for the y labels.
    chart.padding = {20, displayDataUnit == "KB" ? 90.0 : 60.0, 55, 10};
    chart.xRange = {0, static_cast<double>(n + 1)};
    const float height = largestTotal() * kHeadroom;
    chart.yRange = {0, height > 0 ? height : kEmptyChartHeight};

    chart.xAxisTitle = chartTitle;
    chart.xAxisTitleLocation = static_cast<double>(n) * 0.5;
    chart.xAxisTitleOffset = kXAxisTitleOffset;
    chart.xMajorTickLength = kXMajorTickLength;
    chart.xLabelOffset = kXAxisLabelGap + kXMajorTickLength;
    chart.xLabels = xAxisLabels();

    chart.yMajorInterval = roundInterval(chart.yRange.length);
    chart.yMinorTicksPerInterval = kYMinorTicksPerInterval;
    chart.yGridLineWidth = kYGridLineWidth;
    chart.yLabelFormat = format("%%.%df", decimalsFor(chart.yMajorInterval));
    chart.yLabels = yAxisLabels(chart.yRange.length, chart.yMajorInterval);

    chart.barWidth = kBarWidth;
    chart.barCornerRadius = kBarCornerRadius;
    for (std::size_t i = 0; i < n; ++i)
        chart.bars.push_back(
            {static_cast<double>(barLocation(i)) + kBarOffset, barTip(i), dataLabelForPlot(i)});
    chart_ = std::move(chart);
}

DeviceOrientation HistoryChartViewController::orientationOfWindow(double width, double height) {
    return height > width ? DeviceOrientation::Portrait : DeviceOrientation::LandscapeLeft;
}

void HistoryChartViewController::didRotate(DeviceOrientation orientation) {
    if (orientation == DeviceOrientation::Portrait ||
        orientation == DeviceOrientation::PortraitUpsideDown)
        dismissView();
}

void HistoryChartViewController::dismissView() {
    // Once closed it hears no more turns, so a second one cannot close whatever lies beneath.
    if (dismissed_) return;
    dismissed_ = true;
    if (onDismiss) onDismiss();
}

} // namespace byteward
