// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/data_formatter.h"

namespace byteward {

namespace {

constexpr float kKilo = 1024.0f;
constexpr float kMega = 1048576.0f;    // 2^20
constexpr float kGiga = 1073741824.0f; // 2^30

} // namespace

float DataFormatter::bytesPerUnit(std::string_view unit) {
    if (unit == "KB") return kKilo;
    if (unit == "GB") return kGiga;
    return kMega;
}

float DataFormatter::converToDataUnitFromBytes(std::optional<double> bytes, std::string_view unit) {
    if (!bytes || !(*bytes > 0)) return 0.0f;
    // Reciprocals of powers of two are exact, so this equals a division.
    return static_cast<float>(*bytes) * (1.0f / bytesPerUnit(unit));
}

float DataFormatter::convertToBytesFromDataUnit(std::optional<double> amount,
                                                std::string_view unit) {
    if (!amount) return 0.0f;
    return static_cast<float>(*amount) * bytesPerUnit(unit);
}

float DataFormatter::limitInDisplayUnit(float limit, std::string_view limitUnit,
                                        std::string_view displayUnit) {
    return limit * (bytesPerUnit(limitUnit) / bytesPerUnit(displayUnit));
}

} // namespace byteward
