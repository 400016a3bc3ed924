// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/history.h"
#include "screens/history/history_detail_view_controller.h"
#include "screens/history/history_export.h"
#include "screens/history/history_screen_context.h"
#include "screens/kit/presenter.h"
#include "screens/kit/screen.h"
#include "storage/services.h"

#include <memory>
#include <string>
#include <vector>

namespace byteward {

// The History tab: the billing period in progress of each data type, then every stored
// billing-cycle log, oldest first. A row opens its period; in editing mode stored logs can be
// deleted; the action menu clears the history, mails or exports the logs, or charts them.
class HistoryViewController final : public Screen, public AlertDelegate {
  public:
    static constexpr int kActionSheetTag = 8787;
    static constexpr int kClearSheetTag = 8788;
    static constexpr int kFixedRows = 2; // the two periods in progress
    static constexpr const char *kDetailPage = "HistoryDetailView";

    HistoryViewController(Services &services, ScreenContext context)
        : services_(services), context_(context) {}

    std::vector<History> historyData; // the billing-cycle logs, from row 2 on
    std::string displayDataUnit;
    bool editing = false;
    bool actionButtonEnabled = false;
    bool isPad = false; // a tablet-sized window

    void viewDidLoad();
    // Each time the tab is about to show: the display unit and the logs afresh.
    void viewWillAppear();

    struct Row {
        std::string title;
        std::string subtitle;
        std::string image; // "mobile_small.png" or "wifi_small.png"
    };
    int numberOfRows() const { return static_cast<int>(historyData.size()) + kFixedRows; }
    Row rowAt(int row) const;
    // Only stored logs can be deleted, never the two periods in progress.
    bool canEditRow(int row) const { return row >= kFixedRows && row < numberOfRows(); }

    // Opens the period of the row; false for a row that does not exist.
    bool didSelectRow(int row);
    void showEditMode() { editing = true; }
    void leaveEditMode() { editing = false; }
    // Deletes the stored log of the row from the history; false when the row cannot be edited.
    bool commitDelete(int row);
    void showActionSheet();
    void clearHistoryData();
    void showChart();
    void alertView(const Alert &alert, int buttonIndex) override;

    // The detail screen pushed last; null before the first selection.
    HistoryDetailViewController *detail() const { return detail_.get(); }
    const HistoryChartHolder &chart() const { return chart_; }

    // Screen: "lblTitle"; one section of table cells, each also with "image" and "editable";
    // values "editing", "actionEnabled", "leftButton", "theme"; actions "viewDidLoad",
    // "viewWillAppear", "select" {row}, "showEditMode", "leaveEditMode", "delete" {row},
    // "showActionSheet", "setDevice" {isPad}.
    ValueDict labels() const override;
    ValueArray sections() const override;
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    void tellIfNotMailed(const HistoryExport &exporter, HistoryExport::Outcome outcome,
                         HistoryExport::Kind kind);

    Services &services_;
    ScreenContext context_;
    std::unique_ptr<HistoryDetailViewController> detail_;
    std::unique_ptr<HistoryDetailViewController> previous_;
    HistoryChartHolder chart_;
};

} // namespace byteward
