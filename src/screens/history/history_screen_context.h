// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/history.h"
#include "platform/analytics_log.h"
#include "platform/mail_client.h"
#include "screens/history/history_chart_screen.h"
#include "screens/history/history_chart_view_controller.h"
#include "screens/kit/screen_context.h"
#include "storage/services.h"

#include <memory>
#include <string>
#include <vector>

namespace byteward {

// The chart a history screen presents, kept alive while its page shows. A new chart replaces
// the previous one only after it was dismissed or when the next one is asked for.
class HistoryChartHolder {
  public:
    static constexpr const char *kPage = "HistoryChartView";

    void present(Services &services, const ScreenContext &context, std::vector<History> logs,
                 const std::string &displayDataUnit, bool isDailyChart,
                 const std::string &chartTitle, bool isPad);
    // The chart presented last; null before the first.
    HistoryChartViewController *controller() const { return controller_.get(); }
    HistoryChartScreen *screen() const { return screen_.get(); }

  private:
    std::unique_ptr<HistoryChartViewController> controller_;
    std::unique_ptr<HistoryChartScreen> screen_;
};

} // namespace byteward
