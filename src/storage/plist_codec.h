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
// What parsePropertyList gives for toXmlPropertyList(value), where that is known without writing
// and reading (dates come back in whole seconds); empty for what only a reading can tell (text
// that is cut or repaired, zero's sign, numbers that are not normal, references, repeated keys).
std::optional<Value> xmlReadBack(Value value);
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

// The big-endian number of `width` bytes (1 to 8) at `at`. Writers give offsets and references
// one, two or four bytes; a file of many objects reads millions of them.
inline std::uint64_t readBigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data()) + at;
    switch (width) {
    case 1:
        return p[0];
    case 2:
        return (std::uint64_t{p[0]} << 8) | p[1];
    case 4:
        return (std::uint64_t{p[0]} << 24) | (std::uint64_t{p[1]} << 16) |
               (std::uint64_t{p[2]} << 8) | p[3];
    default:
        break;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = (value << 8) | p[i];
    return value;
}

// A binary property list read where it lies, object by object, for a reader that builds its own
// objects rather than a Value tree (a keyed archive's). Opening checks every object the root
// reaches as parsePropertyList checks it, without building values, so a view opens exactly when
// parsePropertyList reads the bytes. Refs are those reached from the root through root(), item(),
// key() and value(); other numbers are not checked. The bytes must outlive the view.
class BinaryPlistView {
  public:
    using Ref = std::uint64_t;
    // A set reads as an array, as parsePropertyList reads it.
    enum class Type : std::uint8_t { Boolean, Integer, Real, Date, Data, Text, Uid, Array, Dict };
    // An object's type and where it lies.
    struct Object {
        Type type = Type::Boolean;
        std::size_t at = 0; // byte offset of its marker
    };
    // Where an array's items, or a dictionary's keys and then its values, are listed.
    struct Container {
        std::size_t refs = 0; // byte offset of the first reference
        std::size_t size = 0; // items, or entries
    };
    // The trailer's description of the file.
    struct Layout {
        std::string_view bytes;
        unsigned offsetSize = 1;
        unsigned refSize = 1;
        std::uint64_t count = 0; // objects
        Ref root = 0;
        std::size_t table = 0; // byte offset of the offset table
    };

    // Empty when the bytes are not a binary property list that parsePropertyList reads.
    static std::optional<BinaryPlistView> open(std::string_view bytes);

    Ref root() const { return layout_.root; }
    // Every ref is below it.
    std::uint64_t objectCount() const { return layout_.count; }

    // Inline, as a reader calls these for every object it reads.
    Object object(Ref ref) const {
        const auto at = static_cast<std::size_t>(
            number(layout_.table + static_cast<std::size_t>(ref) * layout_.offsetSize,
                   layout_.offsetSize));
        return {kTypes[static_cast<unsigned char>(layout_.bytes[at]) >> 4], at};
    }
    Ref item(const Container &array, std::size_t i) const {
        return number(array.refs + i * layout_.refSize, layout_.refSize);
    }
    Ref key(const Container &dict, std::size_t i) const { return item(dict, i); }
    Ref value(const Container &dict, std::size_t i) const { return item(dict, dict.size + i); }

    // Of an array or a dictionary.
    Container container(const Object &object) const;
    // Any object but a container, as parsePropertyList reads it.
    Value scalar(const Object &object) const;
    std::string text(const Object &object) const;
    std::uint64_t uid(const Object &object) const;

  private:
    // By a marker's high four bits; those no object that opens has are Dict.
    static constexpr Type kTypes[16] = {Type::Boolean, Type::Integer, Type::Real,  Type::Date,
                                        Type::Data,    Type::Text,    Type::Text,  Type::Dict,
                                        Type::Uid,     Type::Dict,    Type::Array, Type::Dict,
                                        Type::Array,   Type::Dict,    Type::Dict,  Type::Dict};

    explicit BinaryPlistView(const Layout &layout) : layout_(layout) {}

    std::uint64_t number(std::size_t at, unsigned width) const {
        return readBigEndian(layout_.bytes, at, width);
    }

    Layout layout_;
};

} // namespace byteward
