// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/history/history_chart_view_controller.h"
#include "screens/kit/screen.h"

#include <optional>

namespace byteward {

// The history chart as a screen: every figure of the chart under "values", the "no data" text
// and the title as labels, and the actions a shell sends (load, close, turn, resize).
class HistoryChartScreen final : public Screen {
  public:
    explicit HistoryChartScreen(HistoryChartViewController &controller) : controller_(controller) {}

    ValueDict labels() const override;
    ValueArray sections() const override { return {}; }
    ValueDict values() const override;
    // "viewDidLoad"; "dismissView"; "didRotate" with an orientation name ("portrait",
    // "portraitUpsideDown", "landscapeLeft", "landscapeRight", "faceUp", "faceDown");
    // "windowResized" with {width, height, tablet}: a desktop window turned taller than wide
    // counts as turning the device upright.
    bool perform(const std::string &action, const Value &argument) override;

  private:
    void windowResized(const ValueDict &window);

    HistoryChartViewController &controller_;
    // The window's last shape; the first report only sets it, a change turns the chart.
    std::optional<DeviceOrientation> windowOrientation_;
};

} // namespace byteward
