// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/i18n.h"
#include "screens/kit/navigator.h"
#include "screens/kit/screen.h"
#include "storage/services.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

class DatePickerViewController;

// Hears how the date picker ended: with a date, with no date ("No End Date"), or cancelled.
class DatePickerViewControllerDelegate {
  public:
    virtual ~DatePickerViewControllerDelegate() = default;
    virtual void datePickerViewControllerDidFinish(DatePickerViewController &picker,
                                                   std::optional<Instant> date) = 0;
    virtual void datePickerViewControllerDidFinishWithCancel(DatePickerViewController &picker) = 0;
};

// One column of the date wheel: which date field it sets, its texts, and the one selected.
struct DateWheelColumn {
    std::string field; // "year", "month", "day", "hour", "minute" or "ampm"
    std::vector<std::string> items;
    int index = 0;
};

// A modal screen asking for a date from now on, or for no date at all. The wheel shows the
// date's fields in the order and clock of the user's locale; the text field above it shows the
// chosen date or "No End Date".
class DatePickerViewController final : public Screen {
  public:
    DatePickerViewController(Services &services, Navigator &navigator)
        : services_(services), navigator_(navigator) {}

    static constexpr const char *kNoEndDate = N_("No End Date");
    static constexpr const char *kPageName = "DatePickerView";

    DatePickerViewControllerDelegate *delegate = nullptr; // not owned
    std::optional<Instant> initialDate;

    // Earliest date now; starts at initialDate when that is later, else at now.
    void viewDidLoad();
    // The wheel moved to this date.
    void setSelectedDate(Instant date);
    // The wheel column `field` moved to `index`: the date with that field changed, kept to a
    // real day of the month and not earlier than the earliest date.
    void setWheelField(const std::string &field, int index);
    void noEndDateSelected();
    void done();
    void cancel();
    static bool prefersStatusBarHidden();

    const std::string &txtDate() const { return txtDate_; }
    Instant date() const { return date_; }
    Instant minimumDate() const { return minimumDate_; }
    std::vector<DateWheelColumn> wheel() const;

    ValueDict labels() const override;
    ValueArray sections() const override { return {}; }
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    // Only the first of done and cancel counts: the screen finishes once.
    bool finish();

    Services &services_;
    Navigator &navigator_;
    std::string txtDate_;
    Instant date_{};
    Instant minimumDate_{};
    bool finished_ = false;
};

} // namespace byteward
