// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace byteward {

// The text with each byte of a sequence that is not UTF-8 (overlong forms, surrogates and values
// past U+10FFFF included) replaced by U+FFFD; valid text comes back unchanged. For writers whose
// readers reject anything else: libplist, and Prometheus' text format.
std::string validUtf8(std::string_view text);

} // namespace byteward
