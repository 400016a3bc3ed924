// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string_view>

namespace byteward {

// Conversions between bytes and the display units "KB", "MB" and "GB" (binary factors; any
// other unit text counts as "MB"). Carried out in single precision, as the shown figures are.
class DataFormatter {
  public:
    // The amount in the unit; 0 when the bytes are absent or not greater than 0.
    static float converToDataUnitFromBytes(std::optional<double> bytes, std::string_view unit);
    // The amount in bytes; 0 when the amount is absent.
    static float convertToBytesFromDataUnit(std::optional<double> amount, std::string_view unit);

    // Bytes per unit: 1024, 2^20 or 2^30.
    static float bytesPerUnit(std::string_view unit);
    // A limit in its own unit, in the display unit.
    static float limitInDisplayUnit(float limit, std::string_view limitUnit,
                                    std::string_view displayUnit);
};

} // namespace byteward
