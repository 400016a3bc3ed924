// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/screen.h"
#include "screens/settings/plan_setup.h"

#include <memory>

namespace byteward {

// One plan setup screen for the shell: its wheels (rows per wheel and which row is chosen),
// its summary label, and for the date screens the bounds and the date shown.
class PlanSetupScreen final : public Screen {
  public:
    enum class Kind {
        PlanType,
        StartDay,
        Days,
        CustomDate,
        CustomWiFiDate,
        StartDate,
        Quota,
        CurrentUsage
    };

    PlanSetupScreen(Services &services, Kind kind);
    ~PlanSetupScreen() override;

    ValueDict labels() const override;
    ValueArray sections() const override { return {}; }
    ValueDict values() const override;
    // "load" (the screen is shown), "select" {row, component}, "setDate" {seconds since 1970}.
    bool perform(const std::string &action, const Value &argument) override;

    static std::optional<Kind> kindNamed(const std::string &name);

  private:
    void load();

    Services &services_;
    Kind kind_;
    std::unique_ptr<PlanTypeViewController> planType_;
    std::unique_ptr<StartDayViewController> startDay_;
    std::unique_ptr<DaysViewController> days_;
    std::unique_ptr<CustomDatePickerController> customDate_;
    std::unique_ptr<StartDateViewController> startDate_;
    std::unique_ptr<QuotaViewController> quota_;
    std::unique_ptr<CurrentUsageViewController> usage_;
};

} // namespace byteward
