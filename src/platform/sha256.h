// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace byteward {

// SHA-256 (FIPS 180-4) of a few bytes, kept here so that the programs need no cryptography
// library for their one digest.
std::array<std::uint8_t, 32> sha256(std::string_view bytes);

} // namespace byteward
