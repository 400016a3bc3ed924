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

class ArchiveObject;
struct ArchiveField;

// Named fields in the order they were set: those of an archived object, or the top level of an
// archive. Object fields refer to other objects; 32-bit integers are kept inline.
class ArchiveFields {
  public:
    void encodeObject(std::string key, ArchiveObject object);
    void encodeInt32(std::string key, std::int32_t value);
    // Stored inline as a property-list boolean.
    void encodeBool(std::string key, bool value);
    // Room for this many fields, for an encoder that knows how many it sets.
    void reserveFields(std::size_t count);

    // Null when the key is absent or refers to nil.
    const ArchiveObject *decodeObject(std::string_view key) const;
    ArchiveObject *decodeObject(std::string_view key);
    // 0 when the key is absent, not a number or out of the 32-bit range. A number stored as an
    // object reads too.
    std::int32_t decodeInt32(std::string_view key) const;
    // False when the key is absent or not a boolean or number. A number stored as an object
    // reads too.
    bool decodeBool(std::string_view key) const;
    // Empty when the key is absent or holds another kind of object.
    std::optional<Instant> decodeDate(std::string_view key) const;
    std::optional<double> decodeDouble(std::string_view key) const;
    std::optional<std::string> decodeString(std::string_view key) const;

    const std::vector<ArchiveField> &fields() const { return fields_; }

    // Removes the number fields that are not finite (NaN, infinities) and returns their keys.
    // Nothing Byteward archives is one; such a field comes from a damaged file.
    std::vector<std::string> removeNonFiniteNumbers();

  protected:
    ArchiveFields();
    ~ArchiveFields();
    ArchiveFields(const ArchiveFields &);
    ArchiveFields(ArchiveFields &&) noexcept;
    ArchiveFields &operator=(const ArchiveFields &);
    ArchiveFields &operator=(ArchiveFields &&) noexcept;

    std::vector<ArchiveField> fields_;

    friend class KeyedArchiveDecoder;
    friend class DirectArchiveDecoder;
};

// One object of a keyed archive with its references resolved into a tree: a plain value
// (string, number, boolean, data), a date, a list of objects, or an instance of a class with
// keyed fields.
class ArchiveObject : public ArchiveFields {
  public:
    enum class Kind { Plain, Date, List, Instance };

    static ArchiveObject string(std::string text);
    static ArchiveObject integer(std::int64_t number);
    static ArchiveObject real(double number);
    static ArchiveObject boolean(bool flag);
    static ArchiveObject data(ValueData bytes);
    static ArchiveObject date(Instant when);
    // An NSMutableArray.
    static ArchiveObject list(std::vector<ArchiveObject> items);
    // An instance of `className`; `superclasses` from the nearest up, NSObject may be left out.
    static ArchiveObject instance(std::string className,
                                  std::vector<std::string> superclasses = {});

    Kind kind() const { return kind_; }
    // The value of a plain object, or a date as a Value.
    const Value &value() const { return value_; }
    const std::vector<ArchiveObject> &items() const { return items_; }
    // The items moved out, for a reader that needs the list and not the object.
    std::vector<ArchiveObject> takeItems() { return std::move(items_); }
    // Empty for plain objects.
    const std::string &className() const;
    // The class and its superclasses, ending in NSObject.
    const std::vector<std::string> &classes() const { return *classes_; }

    bool operator==(const ArchiveObject &other) const;

  private:
    // Objects of one class share its chain: a history holds thousands of each.
    using Chain = std::shared_ptr<const std::vector<std::string>>;

    ArchiveObject(Kind kind, Value value, Chain classes);
    static Chain noClasses();

    Kind kind_;
    Value value_;
    Chain classes_;
    std::vector<ArchiveObject> items_;

    friend class KeyedArchiveDecoder;
    friend class DirectArchiveDecoder;
};

struct ArchiveField {
    std::string key;
    ArchiveObject object;
    // Stored in the owning dictionary rather than by reference (encodeInt32, encodeBool).
    bool isInline = false;

    bool operator==(const ArchiveField &) const = default;
};

// A keyed archive in the standard layout ($archiver, $version, $top, $objects, UIDs) as a
// binary property list. Its fields are the entries under $top.
class KeyedArchive : public ArchiveFields {
  public:
    KeyedArchive() = default;

    // The archive as a property list, and as the bytes of a binary property list.
    Value toPropertyList() const;
    std::string encode() const;

    // Reads any archive in the standard layout, whoever wrote it. Empty, with `error` saying
    // why, when the bytes or the property list are not one.
    static std::optional<KeyedArchive> decode(std::string_view bytes, std::string *error = nullptr);
    // A binary archive read straight from its bytes, without its property-list tree: what decode
    // gives for binary files, empty where it refuses them and for XML.
    static std::optional<KeyedArchive> decodeDirectly(std::string_view bytes);
    static std::optional<KeyedArchive> fromPropertyList(const Value &root,
                                                        std::string *error = nullptr);
};

} // namespace byteward
