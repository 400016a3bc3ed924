// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Builds a binary property list object by object, for a writer whose values are not a Value tree
// (a keyed archive's objects). The bytes are what toBinaryPropertyList gives for the same tree
// when the calls come in the order its walk meets the objects: the root first, each container
// (container()) before what it holds, a dictionary's keys and values in turn. Equal texts and
// numbers are one object. Texts and values given by reference must outlive the builder.
class BinaryPlistBuilder {
  public:
    using Ref = std::uint64_t;

    BinaryPlistBuilder();
    ~BinaryPlistBuilder();
    BinaryPlistBuilder(const BinaryPlistBuilder &) = delete;
    BinaryPlistBuilder &operator=(const BinaryPlistBuilder &) = delete;

    // A value with everything in it.
    Ref value(const Value &value);
    Ref text(const std::string &text);
    Ref uid(std::uint64_t index);
    Ref real(double number);
    Ref integer(std::int64_t number);
    // A place for an array or dictionary, filled by endArray or endDict once what it holds is in.
    Ref container();
    void endArray(Ref container, std::vector<Ref> refs);
    void endDict(Ref container, std::vector<Ref> keysThenValues);
    // The bytes, with the first object as the root.
    std::string finish();

  private:
    struct Writer;
    std::unique_ptr<Writer> writer_;
};

} // namespace byteward
