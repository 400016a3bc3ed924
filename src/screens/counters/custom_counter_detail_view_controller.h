// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/custom_counter.h"
#include "screens/counters/custom_counter_edit_view_controller.h"
#include "screens/kit/navigator.h"
#include "screens/kit/screen.h"
#include "screens/kit/screen_context.h"
#include "screens/kit/table_cell.h"

#include <memory>
#include <string>

namespace byteward {

// One custom counter, read only: what it tracks, when it ends, and its amounts per data type.
// It shows the counter it was handed and does not read the store again.
class CustomCounterDetailViewController final : public Screen {
  public:
    CustomCounterDetailViewController(Services &services, ScreenContext screens,
                                      Navigator &navigator)
        : services_(services), screens_(screens), navigator_(navigator) {}

    static constexpr const char *kPageName = "CustomCounterDetailView";

    CustomCounter customCounter;
    std::string displayDataUnit;

    void viewDidLoad();
    // Opens the editor on this screen's counter.
    void showEditView();
    void dismissView();

    int numberOfSectionsInTableView() const { return 3; }
    int numberOfRowsInSection(int section) const;
    double heightForRowAtIndexPath(const IndexPath &indexPath) const;
    TableCell cellForRowAtIndexPath(const IndexPath &indexPath) const;
    void didSelectRowAtIndexPath(const IndexPath &) {}

    CustomCounterEditViewController *editor() { return editor_.get(); }

    ValueDict labels() const override;
    ValueArray sections() const override;
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    TableCell dataCell(bool cellular) const;

    Services &services_;
    ScreenContext screens_;
    Navigator &navigator_;
    ValueDict theme_;
    std::unique_ptr<CustomCounterEditViewController> editor_;
};

} // namespace byteward
