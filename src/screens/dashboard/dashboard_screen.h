// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/dashboard/main_view_controller.h"
#include "screens/kit/screen.h"

namespace byteward {

// A dashboard as a screen: every label of both types under its name ("lblDays", "lblDaysWifi"),
// the details table, both bars with their colours, and the render and repaint actions.
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

  private:
    MainViewController &controller_;
    Services &services_;
};

} // namespace byteward
