// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/custom_counter.h"
#include "platform/i18n.h"
#include "screens/kit/date_picker_view_controller.h"
#include "screens/kit/navigator.h"
#include "screens/kit/presenter.h"
#include "screens/kit/screen.h"
#include "screens/kit/screen_context.h"
#include "screens/kit/table_cell.h"
#include "screens/kit/text_field_view_controller.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace byteward {

// The modal editor of one custom counter: its name, the data types it tracks, its end date and
// end alert, the direction it shows and, for a stored counter, its amounts with a reset. The
// counter is stored only when the user saves.
class CustomCounterEditViewController final : public Screen,
                                              public DatePickerViewControllerDelegate,
                                              public TextViewControllerDelegate,
                                              public AlertDelegate {
  public:
    CustomCounterEditViewController(Services &services, ScreenContext screens,
                                    Navigator &navigator);
    ~CustomCounterEditViewController() override;
    CustomCounterEditViewController(const CustomCounterEditViewController &) = delete;
    CustomCounterEditViewController &operator=(const CustomCounterEditViewController &) = delete;

    static constexpr const char *kPageName = "CustomCounterEditView";
    static constexpr const char *kResetTitle = N_("Reset data usage for this counter to zero?");

    // Edit mode: the caller's counter, changed in place as the user edits; it must outlive the
    // editor. In add mode viewDidLoad creates the counter instead.
    void setCustomCounter(CustomCounter &counter);
    const CustomCounter *customCounter() const { return counter_; }
    std::string displayDataUnit;
    bool isAddMode = false;

    void viewDidLoad();
    // Applies the theme again; runs on every usage bar announcement and calls onChanged.
    void applyTheme();

    int numberOfSectionsInTableView() const;
    int numberOfRowsInSection(int section) const;
    // Empty for a section without a header.
    std::string titleForHeaderInSection(int section) const;
    double heightForRowAtIndexPath(const IndexPath &indexPath) const;
    TableCell cellForRowAtIndexPath(const IndexPath &indexPath) const;
    // The name and end date rows open their pickers; other rows do nothing.
    void didSelectRowAtIndexPath(const IndexPath &indexPath);

    void dataTypeSegValueChanged(int selectedSegmentIndex);
    void directionTypeSegValueChanged(int selectedSegmentIndex);
    void alertSwitchValueChanged(bool on);
    // Asks, in an action sheet, whether to zero the amounts.
    void resetCounter();
    void saveAndDismissView();
    void cancelAndDismissView();
    // True once saved or cancelled: the editor has closed and does nothing more.
    bool finished() const { return finished_; }

    void textViewControllerDidFinish(TextFieldViewController &screen, const std::string &text,
                                     const IndexPath &indexPath) override;
    void datePickerViewControllerDidFinish(DatePickerViewController &picker,
                                           std::optional<Instant> date) override;
    void datePickerViewControllerDidFinishWithCancel(DatePickerViewController &picker) override;
    void alertView(const Alert &alert, int buttonIndex) override;

    // The pickers while they are (or were last) open.
    TextFieldViewController *textFieldViewController() { return textField_.get(); }
    DatePickerViewController *datePickerViewController() { return datePicker_.get(); }

    ValueDict labels() const override;
    ValueArray sections() const override;
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    enum class Amount { Received, Sent, Total };
    std::vector<Amount> amountRows() const;
    bool tracksBoth() const { return counter_->trackCellular && counter_->trackWiFi; }
    // Whether a section shows amounts, and of which type (true for cellular).
    std::optional<bool> amountsOfSection(int section) const;
    TableCell amountCell(bool cellular, Amount amount) const;
    std::string endDateText() const;
    void presentTextField(const IndexPath &indexPath);
    void presentDatePicker(const IndexPath &indexPath);
    void storeEditedCounter();

    Services &services_;
    ScreenContext screens_;
    Navigator &navigator_;
    CustomCounter *counter_ = nullptr;
    std::optional<CustomCounter> ownCounter_; // the new counter in add mode
    std::optional<CustomCounter> original_;   // the handed-in counter as it came, for cancel
    bool resetChosen_ = false;
    bool pickerOpen_ = false;
    bool finished_ = false;
    ValueDict theme_;
    std::optional<NotificationCenter::Token> themeObserver_;
    std::unique_ptr<TextFieldViewController> textField_;
    std::unique_ptr<DatePickerViewController> datePicker_;
};

} // namespace byteward
