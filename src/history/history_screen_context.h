#pragma once

#include "app/navigator.h"
#include "app/presenter.h"
#include "history/history.h"
#include "history/history_chart_screen.h"
#include "history/history_chart_view_controller.h"
#include "platform/analytics_log.h"
#include "platform/mail_client.h"
#include "platform/services.h"

#include <memory>
#include <string>
#include <vector>

namespace byteward {

// What the history screens present through, report to and hand mail to; any may be absent
// (headless use).
struct HistoryScreenContext {
    Presenter *presenter = nullptr;
    AnalyticsLog *analytics = nullptr;
    MailClient *mail = nullptr;
    Navigator *navigator = nullptr;
};

// The chart a history screen presents, kept alive while its page shows. A new chart replaces
// the previous one only after it was dismissed or when the next one is asked for.
class HistoryChartHolder {
  public:
    static constexpr const char *kPage = "HistoryChartView";

    void present(Services &services, const HistoryScreenContext &context, std::vector<History> logs,
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
