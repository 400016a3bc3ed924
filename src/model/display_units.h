// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/app_settings.h"
#include "storage/services.h"

#include <optional>

namespace byteward {

// The dashboard controller's conversions between bytes and the user's display unit. The byte
// conversions read the display unit afresh for each call; the plan limit conversion uses the
// controller's own settings as last loaded.
class DisplayUnits {
  public:
    DisplayUnits(Services &services, const AppSettings &ownSettings)
        : services_(services), ownSettings_(ownSettings) {}

    // The amount in the display unit; 0 when absent. Negative amounts convert as they are.
    float converToDataUnitFromBytes(std::optional<double> bytes) const;
    // Bytes from an amount in the display unit; 0 when absent.
    float convertToBytesFromDataUnit(std::optional<double> amount) const;
    // A plan limit or cap in its own unit, in the display unit; 0 (never absent) when absent.
    float getPlanLimitInDisplayUnitFrom(const std::optional<Value> &limit,
                                        const std::string &limitUnit) const;

  private:
    std::string currentDisplayUnit() const;

    Services &services_;
    const AppSettings &ownSettings_;
};

} // namespace byteward
