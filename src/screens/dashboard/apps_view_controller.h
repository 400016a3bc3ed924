// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/data_type.h"
#include "screens/dashboard/app_days_view_controller.h"
#include "screens/kit/navigator.h"
#include "screens/kit/screen.h"
#include "storage/services.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace byteward {

// Which applications used one type's data today or in the billing period in progress, largest
// first, then "System" and what the per-application counter did not see; an application's row
// opens its days.
class AppsViewController final : public Screen {
  public:
    static constexpr const char *kPageName = "AppsView";

    // `navigator` may be null (headless use): rows then open nothing.
    AppsViewController(Services &services, Navigator *navigator, DataType type);

    // Whether the counter's snapshot of this user can be read; the real one unless a test says.
    std::function<bool()> counterRunning;
    bool today = false;

    enum class Kind { App, System, NotAttributed };
    struct Row {
        Kind kind = Kind::App;
        std::string key;
        std::string name;
        std::string icon;
        std::string amount;
        double fraction = 0; // of the largest row, for the row's bar
    };
    // Reads the display unit, the dashboard's figure and the stored applications afresh.
    void viewWillAppear();
    const std::vector<Row> &rows() const { return rows_; }
    // The enable hint while the counter does not run; empty while it does.
    const std::string &note() const { return note_; }
    // Opens the days of an application's or System's row; false for any other row.
    bool didSelectRow(int row);
    // The days screen opened last; null before the first.
    AppDaysViewController *days() const { return days_.get(); }

    // Screen: "lblTitle", "lblBack", "lblNote" (hidden while the counter runs), "lblEmpty"
    // (hidden when there are rows); one section of rows {title, detail, image, key, kind,
    // fraction, accessory}; values "theme", "progressColor", "spans", "today"; actions
    // "viewWillAppear", "select" {row}, "setSpan" {today}.
    ValueDict labels() const override;
    ValueArray sections() const override;
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    Services &services_;
    Navigator *navigator_;
    DataType type_;
    std::vector<Row> rows_;
    std::string note_;
    std::unique_ptr<AppDaysViewController> days_;
    // The page of the previous days screen may still be leaving: it lives one push longer.
    std::unique_ptr<AppDaysViewController> previousDays_;
};

// The display unit the settings choose, "MB" when they name none; and an amount in it as the
// figures everywhere show one ("12.34 MB").
std::string appsDisplayUnit(Services &services);
std::string appsAmountText(double bytes, const std::string &unit);

} // namespace byteward
