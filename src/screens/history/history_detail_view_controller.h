// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/history.h"
#include "screens/history/history_export.h"
#include "screens/history/history_screen_context.h"
#include "screens/kit/presenter.h"
#include "screens/kit/screen.h"
#include "storage/services.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

// One billing period, past or in progress: its dates, its totals and its daily logs, with an
// action menu that mails or exports the daily logs or charts them. The list sets exactly one of
// showCurrentCellCycle, showCurrentWiFiCycle or historyItem before the view loads.
class HistoryDetailViewController final : public Screen, public AlertDelegate {
  public:
    static constexpr int kActionSheetTag = 8787;

    HistoryDetailViewController(Services &services, ScreenContext context)
        : services_(services), context_(context) {}

    std::optional<History> historyItem;
    std::string displayDataUnit;
    std::vector<History> dailyLogs; // newest first
    bool showCurrentWiFiCycle = false;
    bool showCurrentCellCycle = false;
    bool isPad = false; // a tablet-sized window

    // Builds the period in progress when asked for one, and reads its daily logs once.
    void viewDidLoad();

    // The period in progress of a data type (1 cellular, 2 Wi-Fi), from its usage record: from
    // the last billing date to 00:00 of the day before the next one. Never stored.
    static History currentCycleItem(Services &services, std::int32_t dataType);

    struct Cell {
        std::string identifier;
        std::string title;
        std::string value;
    };
    static constexpr int kSections = 3;
    // After those, the period's applications: a section only when there are any.
    static constexpr int kApplicationsSection = kSections;
    std::string headerForSection(int section) const;
    std::vector<Cell> rowsInSection(int section) const;

    void showActionSheet();
    void showDetailChart();
    void alertView(const Alert &alert, int buttonIndex) override;

    // The chart presented last.
    const HistoryChartHolder &chart() const { return chart_; }

    // Screen: "lblTitle"; three or four sections with "title" and rows of table cells; values
    // "headerFrame", "headerFontSize", "theme"; actions "viewDidLoad", "showActionSheet",
    // "viewWillAppear" (nothing to do: the detail does not refresh while shown).
    ValueDict labels() const override;
    ValueArray sections() const override;
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    void tellIfNotMailed(const HistoryExport &exporter, HistoryExport::Outcome outcome,
                         HistoryExport::Kind kind);
    std::string amount(const std::optional<double> &bytes) const;
    std::string dailyTitle(const History &log) const;
    std::int32_t itemDataType() const;
    // The period's applications, largest first, and what they do not account for.
    void loadApplications(bool current);

    Services &services_;
    ScreenContext context_;
    HistoryChartHolder chart_;
    std::vector<Cell> applications_;
};

} // namespace byteward
