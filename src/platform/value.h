// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace byteward {

// An absolute point in time, microseconds since 1970-01-01 00:00 UTC. The one date type.
using Instant = std::chrono::sys_time<std::chrono::microseconds>;

Instant instantFromSeconds(double secondsSince1970);
double secondsSince1970(Instant instant);

class Value;

// A property-list dictionary. Keeps insertion order, so files list keys the way they were set.
class ValueDict {
  public:
    using Entry = std::pair<std::string, Value>;

    const Value *find(std::string_view key) const;
    Value *find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    void set(std::string key, Value value);
    // Adds an entry without looking for the key first, for readers that check their keys are
    // distinct once at the end: set() walks the entries each time.
    void append(std::string key, Value value);
    void reserve(std::size_t count);
    // Calls change(key, value) for each entry, to change the values in place; the keys stay.
    template <typename Change> void changeValues(Change change);
    bool erase(std::string_view key);
    // Defined below, where Value is complete.
    std::size_t size() const;
    bool empty() const;
    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;
    bool operator==(const ValueDict &other) const;

  private:
    std::vector<Entry> entries_;
};

using ValueArray = std::vector<Value>;
using ValueData = std::vector<std::uint8_t>;

// A keyed archive's reference to another object.
struct Uid {
    std::uint64_t index = 0;
    bool operator==(const Uid &) const = default;
};

// One property-list value of any kind. The numeric and boolean readings follow the lenient
// rules that stored settings rely on: a number read from text parses its leading number.
class Value {
  public:
    using Storage = std::variant<bool, std::int64_t, double, std::string, Instant, ValueData,
                                 ValueArray, ValueDict, Uid>;

    Value() : storage_(std::string{}) {}
    Value(bool v) : storage_(v) {}
    Value(int v) : storage_(std::int64_t{v}) {}
    Value(long v) : storage_(std::int64_t{v}) {}
    Value(long long v) : storage_(static_cast<std::int64_t>(v)) {}
    Value(double v) : storage_(v) {}
    Value(const char *v) : storage_(std::string(v)) {}
    Value(std::string v) : storage_(std::move(v)) {}
    Value(Instant v) : storage_(v) {}
    Value(ValueData v) : storage_(std::move(v)) {}
    Value(ValueArray v) : storage_(std::move(v)) {}
    Value(ValueDict v) : storage_(std::move(v)) {}
    Value(Uid v) : storage_(v) {}

    bool isBool() const { return std::holds_alternative<bool>(storage_); }
    bool isInteger() const { return std::holds_alternative<std::int64_t>(storage_); }
    bool isReal() const { return std::holds_alternative<double>(storage_); }
    bool isNumber() const { return isInteger() || isReal() || isBool(); }
    bool isString() const { return std::holds_alternative<std::string>(storage_); }
    bool isDate() const { return std::holds_alternative<Instant>(storage_); }
    bool isData() const { return std::holds_alternative<ValueData>(storage_); }
    bool isArray() const { return std::holds_alternative<ValueArray>(storage_); }
    bool isDict() const { return std::holds_alternative<ValueDict>(storage_); }
    bool isUid() const { return std::holds_alternative<Uid>(storage_); }

    // Readings in the manner of number and string objects: 0 / NO where nothing fits.
    double doubleValue() const;
    float floatValue() const { return static_cast<float>(doubleValue()); }
    std::int64_t integerValue() const;
    bool boolValue() const;
    // The text of a string, or the decimal text of a number; empty for other kinds.
    std::string stringValue() const;

    const std::string *asString() const { return std::get_if<std::string>(&storage_); }
    const Instant *asDate() const { return std::get_if<Instant>(&storage_); }
    const ValueArray *asArray() const { return std::get_if<ValueArray>(&storage_); }
    ValueArray *asArray() { return std::get_if<ValueArray>(&storage_); }
    const ValueDict *asDict() const { return std::get_if<ValueDict>(&storage_); }
    ValueDict *asDict() { return std::get_if<ValueDict>(&storage_); }
    const ValueData *asData() const { return std::get_if<ValueData>(&storage_); }
    const Uid *asUid() const { return std::get_if<Uid>(&storage_); }

    const Storage &storage() const { return storage_; }
    bool operator==(const Value &other) const { return storage_ == other.storage_; }

  private:
    Storage storage_;
};

template <typename Change> void ValueDict::changeValues(Change change) {
    for (auto &entry : entries_)
        change(std::as_const(entry.first), entry.second);
}

inline void ValueDict::append(std::string key, Value value) {
    entries_.emplace_back(std::move(key), std::move(value));
}
inline void ValueDict::reserve(std::size_t count) {
    entries_.reserve(count);
}
inline std::size_t ValueDict::size() const {
    return entries_.size();
}
inline bool ValueDict::empty() const {
    return entries_.empty();
}
inline std::vector<ValueDict::Entry>::const_iterator ValueDict::begin() const {
    return entries_.begin();
}
inline std::vector<ValueDict::Entry>::const_iterator ValueDict::end() const {
    return entries_.end();
}

} // namespace byteward
