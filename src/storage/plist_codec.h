// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <optional>
#include <string>
#include <string_view>

namespace byteward {

// Seconds between 1970-01-01 and 2001-01-01, the epoch of property-list dates.
inline constexpr double kPlistEpochOffset = 978307200.0;

// Parses a property list in XML or binary form. Empty when the bytes are not a property list.
std::optional<Value> parsePropertyList(std::string_view bytes);
// The same through libplist's reader, which parsePropertyList uses for XML only; the binary
// reader is held against it.
std::optional<Value> parsePropertyListWithLibplist(std::string_view bytes);

std::string toXmlPropertyList(const Value &root);
std::string toBinaryPropertyList(const Value &root);

} // namespace byteward
