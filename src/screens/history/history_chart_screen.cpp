// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/history/history_chart_screen.h"

#include "platform/i18n.h"
#include "screens/kit/theme.h"

#include <array>
#include <utility>

namespace byteward {

namespace {

const Rgba kWhite{1, 1, 1, 1};
const Rgba kGray{0.5, 0.5, 0.5, 1};

Value rangeValue(const ChartRange &range) {
    ValueDict d;
    d.set("location", Value(range.location));
    d.set("length", Value(range.length));
    return Value(std::move(d));
}

Value axisLabelsValue(const std::vector<ChartAxisLabel> &labels) {
    ValueArray out;
    for (const ChartAxisLabel &label : labels) {
        ValueDict d;
        d.set("text", Value(label.text));
        d.set("location", Value(label.location));
        d.set("rotation", Value(label.rotation));
        d.set("fontSize", Value(label.fontSize));
        out.emplace_back(std::move(d));
    }
    return Value(std::move(out));
}

Value barsValue(const HistoryChart &chart) {
    ValueArray out;
    for (const ChartBar &bar : chart.bars) {
        ValueDict d;
        d.set("location", Value(bar.location));
        d.set("tip", Value(bar.tip));
        d.set("hasValueLabel", Value(bar.valueLabel.has_value()));
        d.set("valueText", Value(bar.valueLabel ? bar.valueLabel->text : std::string()));
        d.set("valueFontSize", Value(bar.valueLabel ? bar.valueLabel->fontSize : 0.0));
        out.emplace_back(std::move(d));
    }
    return Value(std::move(out));
}

void addChart(ValueDict &out, const HistoryChart &chart) {
    ValueDict padding;
    padding.set("top", Value(chart.padding.top));
    padding.set("left", Value(chart.padding.left));
    padding.set("bottom", Value(chart.padding.bottom));
    padding.set("right", Value(chart.padding.right));
    out.set("padding", Value(std::move(padding)));
    out.set("xRange", rangeValue(chart.xRange));
    out.set("yRange", rangeValue(chart.yRange));

    ValueDict xAxis;
    xAxis.set("title", Value(chart.xAxisTitle));
    xAxis.set("titleLocation", Value(chart.xAxisTitleLocation));
    xAxis.set("titleOffset", Value(chart.xAxisTitleOffset));
    xAxis.set("majorTickLength", Value(chart.xMajorTickLength));
    xAxis.set("labelOffset", Value(chart.xLabelOffset));
    out.set("xAxis", Value(std::move(xAxis)));
    out.set("xLabels", axisLabelsValue(chart.xLabels));

    ValueDict yAxis;
    yAxis.set("majorInterval", Value(chart.yMajorInterval));
    yAxis.set("minorTicksPerInterval", Value(chart.yMinorTicksPerInterval));
    yAxis.set("gridLineWidth", Value(chart.yGridLineWidth));
    yAxis.set("labelFormat", Value(chart.yLabelFormat));
    out.set("yAxis", Value(std::move(yAxis)));
    out.set("yLabels", axisLabelsValue(chart.yLabels));

    out.set("barWidth", Value(chart.barWidth));
    out.set("barCornerRadius", Value(chart.barCornerRadius));
    out.set("bars", barsValue(chart));
}

std::optional<DeviceOrientation> orientationNamed(const std::string &name) {
    static const std::array<std::pair<const char *, DeviceOrientation>, 6> names{{
        {"portrait", DeviceOrientation::Portrait},
        {"portraitUpsideDown", DeviceOrientation::PortraitUpsideDown},
        {"landscapeLeft", DeviceOrientation::LandscapeLeft},
        {"landscapeRight", DeviceOrientation::LandscapeRight},
        {"faceUp", DeviceOrientation::FaceUp},
        {"faceDown", DeviceOrientation::FaceDown},
    }};
    for (const auto &[text, orientation] : names)
        if (name == text) return orientation;
    return std::nullopt;
}

} // namespace

ValueDict HistoryChartScreen::labels() const {
    ValueDict out;
    out.set("lblNoData", labelValue(tr(HistoryChartViewController::kNoChartDataText),
                                    !controller_.showsNoDataLabel()));
    out.set("chartTitle", labelValue(controller_.chartTitle));
    return out;
}

ValueDict HistoryChartScreen::values() const {
    ValueDict out;
    out.set("loaded", Value(controller_.isLoaded()));
    out.set("dismissed", Value(controller_.isDismissed()));
    out.set("hasChart", Value(controller_.chart().has_value()));
    out.set("isDailyChart", Value(controller_.isDailyChart));
    out.set("isPad", Value(controller_.isPad));
    out.set("statusBarHidden", Value(BytewardTheme::appPrefersStatusBarHidden()));
    out.set("backgroundColor", Value(toHex(BytewardColors::appBackgroundColor())));
    out.set("foregroundColor", Value(toHex(kWhite)));
    out.set("barColor", Value(toHex(kWhite)));
    out.set("gridLineColor", Value(toHex(kGray)));
    if (const auto &chart = controller_.chart()) addChart(out, *chart);
    return out;
}

void HistoryChartScreen::windowResized(const ValueDict &window) {
    const Value *tablet = window.find("tablet");
    if (tablet != nullptr && tablet->boolValue() != controller_.isPad) {
        controller_.isPad = tablet->boolValue();
        // Font sizes and value labels depend on the kind of device.
        if (controller_.chart()) controller_.renderHistoryChart();
    }
    const Value *width = window.find("width");
    const Value *height = window.find("height");
    if (width == nullptr || height == nullptr) return;
    const DeviceOrientation now = HistoryChartViewController::orientationOfWindow(
        width->doubleValue(), height->doubleValue());
    const bool turned = windowOrientation_ && *windowOrientation_ != now;
    windowOrientation_ = now;
    if (turned) controller_.didRotate(now);
}

bool HistoryChartScreen::perform(const std::string &action, const Value &argument) {
    if (action == "viewDidLoad") {
        if (!controller_.isLoaded()) controller_.viewDidLoad();
    } else if (action == "dismissView") {
        controller_.dismissView();
    } else if (action == "didRotate") {
        controller_.didRotate(
            orientationNamed(argument.stringValue()).value_or(DeviceOrientation::Unknown));
    } else if (action == "windowResized") {
        if (const ValueDict *window = argument.asDict()) windowResized(*window);
    } else {
        return false;
    }
    return true;
}

} // namespace byteward
