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
// The same through libplist's reader, which parsePropertyList leaves the XML documents to that
// its own reader is unsure of; both our readers are held against it.
std::optional<Value> parsePropertyListWithLibplist(std::string_view bytes);
// Our XML reader alone: empty where it is unsure of the document and parsePropertyList asks
// libplist instead.
std::optional<Value> parseXmlPropertyListWithoutFallback(std::string_view bytes);

// The XML form exactly as libplist writes it, byte for byte: stored files do not change.
std::string toXmlPropertyList(const Value &root);
// The same through libplist's writer, which ours is held against.
std::string toXmlPropertyListWithLibplist(const Value &root);
std::string toBinaryPropertyList(const Value &root);

} // namespace byteward
