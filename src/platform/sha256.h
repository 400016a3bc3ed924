// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace byteward {

// SHA-256 of a few bytes, through libgcrypt: the D-Bus library maps it already, so the one
// digest the programs need costs no library of its own.
std::array<std::uint8_t, 32> sha256(std::string_view bytes);

} // namespace byteward
