// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/data_type.h"
#include "screens/kit/screen.h"
#include "storage/services.h"

#include <string>
#include <vector>

namespace byteward {

// One application's traffic on each day of the billing period in progress, newest first.
class AppDaysViewController final : public Screen {
  public:
    static constexpr const char *kPageName = "AppDaysView";

    AppDaysViewController(Services &services, DataType type, std::string key, std::string name)
        : services_(services), type_(type), key_(std::move(key)), name_(std::move(name)) {}

    struct Row {
        std::string day;
        std::string amount;
        double fraction = 0; // of the busiest day, for the row's bar
    };
    // Reads the display unit and the stored days afresh.
    void viewWillAppear();
    const std::vector<Row> &rows() const { return rows_; }

    // Screen: "lblTitle" (the application's name), "lblBack", "lblEmpty"; one section of rows
    // {title, detail, fraction}; values "theme", "progressColor"; action "viewWillAppear".
    ValueDict labels() const override;
    ValueArray sections() const override;
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    Services &services_;
    DataType type_;
    std::string key_;
    std::string name_;
    std::vector<Row> rows_;
};

} // namespace byteward
