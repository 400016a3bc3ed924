// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/dashboard/apps_view_controller.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/kit/navigator.h"
#include "screens/kit/screen.h"

#include <memory>

namespace byteward {

// A dashboard as a screen: every label of both types under its name ("lblDays", "lblDaysWifi"),
// the details table, both bars with their colours, and the render and repaint actions; "showApps"
// opens the applications that used the dashboard's type.
class DashboardScreen final : public Screen {
  public:
    DashboardScreen(MainViewController &controller, Services &services)
        : controller_(controller), services_(services) {}

    ValueDict labels() const override;
    ValueArray sections() const override;
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

    // Whether a render takes a sample (the app) or repaints from the stored records (screenshots).
    bool sampleOnRender = true;
    // Opens the Apps screen; without one "showApps" does nothing.
    Navigator *navigator = nullptr;
    // The Apps screen opened last; null before the first.
    AppsViewController *apps() const { return apps_.get(); }

  private:
    void showApps();

    MainViewController &controller_;
    Services &services_;
    std::unique_ptr<AppsViewController> apps_;
    // The page of the previous Apps screen may still be leaving: it lives one push longer.
    std::unique_ptr<AppsViewController> previousApps_;
};

} // namespace byteward
