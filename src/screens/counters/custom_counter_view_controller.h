// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/custom_counter.h"
#include "screens/counters/custom_counter_detail_view_controller.h"
#include "screens/counters/custom_counter_edit_view_controller.h"
#include "screens/kit/navigator.h"
#include "screens/kit/screen.h"
#include "screens/kit/screen_context.h"
#include "screens/kit/table_cell.h"

#include <memory>
#include <string>
#include <vector>

namespace byteward {

// The custom counters tab: the stored counters as a list with a pause switch on each row. The
// user adds, edits, deletes and reorders counters here and opens a counter's details.
class CustomCounterViewController final : public Screen {
  public:
    CustomCounterViewController(Services &services, ScreenContext screens, Navigator &navigator)
        : services_(services), screens_(screens), navigator_(navigator) {}

    static constexpr double kRowHeight = 90; // points

    // The screen's copy of the stored list, and the settings' display unit, both read afresh
    // every time the screen is about to be shown.
    std::vector<CustomCounter> customCounterData;
    std::string displayDataUnit;
    bool editing = false;

    void viewDidLoad();
    void viewWillAppear();
    void showAddMode();
    void showEditMode();
    void leaveEditMode();
    // The row's switch was turned: on resumes the counter, off pauses it.
    void switchToggled(int row, bool on);

    int numberOfSectionsInTableView() const { return 1; }
    int numberOfRowsInSection(int section) const;
    double heightForRowAtIndexPath(const IndexPath &) const { return kRowHeight; }
    TableCell cellForRowAtIndexPath(const IndexPath &indexPath) const;
    bool canEditRowAtIndexPath(const IndexPath &) const { return true; }
    bool canMoveRowAtIndexPath(const IndexPath &) const { return true; }
    // Deletes the row's counter, with its end alert.
    void commitEditingStyleDelete(const IndexPath &indexPath);
    void moveRowAtIndexPath(const IndexPath &from, const IndexPath &to);
    // While editing the editor opens on the row's counter; otherwise its details.
    void didSelectRowAtIndexPath(const IndexPath &indexPath);

    // The screens opened from here, while they are (or were last) shown.
    CustomCounterEditViewController *editor() { return editor_.get(); }
    CustomCounterDetailViewController *detail() { return detail_.get(); }

    ValueDict labels() const override;
    ValueArray sections() const override;
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    bool validRow(int row) const;
    // A screen opened from here is still up: the editor until it closes, the details until
    // this screen appears again.
    bool covered() const { return detailShown_ || (editor_ && !editor_->finished()); }
    void presentEditor(CustomCounter *counter);

    Services &services_;
    ScreenContext screens_;
    Navigator &navigator_;
    ValueDict theme_;
    bool detailShown_ = false;
    // The counter the editor changes in place when opened from the list.
    CustomCounter editedCounter_;
    std::unique_ptr<CustomCounterEditViewController> editor_;
    std::unique_ptr<CustomCounterDetailViewController> detail_;
};

} // namespace byteward
