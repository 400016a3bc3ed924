// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace byteward {

Instant instantFromSeconds(double secondsSince1970) {
    return Instant(std::chrono::microseconds(std::llround(secondsSince1970 * 1e6)));
}

double secondsSince1970(Instant instant) {
    return static_cast<double>(instant.time_since_epoch().count()) / 1e6;
}

const Value *ValueDict::find(std::string_view key) const {
    for (const auto &entry : entries_)
        if (entry.first == key) return &entry.second;
    return nullptr;
}

Value *ValueDict::find(std::string_view key) {
    for (auto &entry : entries_)
        if (entry.first == key) return &entry.second;
    return nullptr;
}

void ValueDict::set(std::string key, Value value) {
    if (Value *existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
}

bool ValueDict::erase(std::string_view key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

bool ValueDict::operator==(const ValueDict &other) const {
    if (size() != other.size()) return false;
    for (const auto &[key, value] : entries_) {
        const Value *theirs = other.find(key);
        if (theirs == nullptr || !(*theirs == value)) return false;
    }
    return true;
}

namespace {

// The leading decimal number of a text, as number parsing of strings reads it; 0 when none.
double leadingNumber(const std::string &text) {
    const char *begin = text.c_str();
    char *end = nullptr;
    const double parsed = std::strtod(begin, &end);
    if (end == begin || std::isnan(parsed)) return 0.0;
    return parsed;
}

// Text reads as YES when, after blanks, an optional sign and leading zeros, it starts with
// Y, y, T, t or a digit 1 to 9.
bool textIsTrue(const std::string &text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i == text.size()) return false;
    const char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::int64_t saturatingInteger(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
    if (value <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value); // truncates toward zero
}

} // namespace

double Value::doubleValue() const {
    if (const auto *b = std::get_if<bool>(&storage_)) return *b ? 1.0 : 0.0;
    if (const auto *i = std::get_if<std::int64_t>(&storage_)) return static_cast<double>(*i);
    if (const auto *d = std::get_if<double>(&storage_)) return *d;
    if (const auto *s = std::get_if<std::string>(&storage_)) return leadingNumber(*s);
    return 0.0;
}

std::int64_t Value::integerValue() const {
    if (const auto *i = std::get_if<std::int64_t>(&storage_)) return *i;
    return saturatingInteger(doubleValue());
}

bool Value::boolValue() const {
    if (const auto *b = std::get_if<bool>(&storage_)) return *b;
    if (const auto *i = std::get_if<std::int64_t>(&storage_)) return *i != 0;
    if (const auto *d = std::get_if<double>(&storage_)) return *d != 0.0;
    if (const auto *s = std::get_if<std::string>(&storage_)) return textIsTrue(*s);
    return false;
}

std::string Value::stringValue() const {
    if (const auto *s = std::get_if<std::string>(&storage_)) return *s;
    if (const auto *b = std::get_if<bool>(&storage_)) return *b ? "1" : "0";
    if (const auto *i = std::get_if<std::int64_t>(&storage_)) return std::to_string(*i);
    if (const auto *d = std::get_if<double>(&storage_)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", *d);
        // Shortest text that reads back as the same number.
        for (int precision = 1; precision <= 17; ++precision) {
            char shorter[32];
            std::snprintf(shorter, sizeof shorter, "%.*g", precision, *d);
            if (std::strtod(shorter, nullptr) == *d) return shorter;
        }
        return buffer;
    }
    return {};
}

} // namespace byteward
