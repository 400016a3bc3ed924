// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/display_units.h"

#include "model/data_formatter.h"

namespace byteward {

std::string DisplayUnits::currentDisplayUnit() const {
    AppSettings settings(services_);
    settings.getSettings();
    return AppSettings::text(settings.displayUnit);
}

float DisplayUnits::converToDataUnitFromBytes(std::optional<double> bytes) const {
    if (!bytes) return 0.0f;
    return static_cast<float>(*bytes) * (1.0f / DataFormatter::bytesPerUnit(currentDisplayUnit()));
}

float DisplayUnits::convertToBytesFromDataUnit(std::optional<double> amount) const {
    return DataFormatter::convertToBytesFromDataUnit(amount, currentDisplayUnit());
}

float DisplayUnits::getPlanLimitInDisplayUnitFrom(const std::optional<Value> &limit,
                                                  const std::string &limitUnit) const {
    if (!limit) return 0.0f;
    return DataFormatter::limitInDisplayUnit(limit->floatValue(), limitUnit,
                                             AppSettings::text(ownSettings_.displayUnit));
}

} // namespace byteward
