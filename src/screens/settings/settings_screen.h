// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/screen.h"
#include "screens/settings/settings_view_controller.h"

namespace byteward {

// The settings tab as a screen: sections of rows with their current values, and the actions
// that change them or press a button.
class SettingsScreen final : public Screen {
  public:
    explicit SettingsScreen(SettingsViewController &controller) : controller_(controller) {}

    ValueDict labels() const override;
    ValueArray sections() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    SettingsViewController &controller_;
};

} // namespace byteward
