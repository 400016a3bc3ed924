// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/history/history_screen_context.h"

namespace byteward {

void HistoryChartHolder::present(Services &services, const ScreenContext &context,
                                 std::vector<History> logs, const std::string &displayDataUnit,
                                 bool isDailyChart, const std::string &chartTitle, bool isPad) {
    if (context.navigator == nullptr) return;
    auto controller = std::make_unique<HistoryChartViewController>(services, context.analytics);
    controller->historyData = std::move(logs);
    controller->displayDataUnit = displayDataUnit;
    controller->isDailyChart = isDailyChart;
    controller->chartTitle = chartTitle;
    controller->isPad = isPad;
    auto screen = std::make_unique<HistoryChartScreen>(*controller);
    Navigator *navigator = context.navigator;
    HistoryChartScreen *shown = screen.get();
    controller->onDismiss = [navigator, shown] { navigator->dismiss(*shown); };
    // Screen first: it refers to the controller.
    screen_ = std::move(screen);
    controller_ = std::move(controller);
    navigator->presentModal(kPage, *screen_);
}

} // namespace byteward
