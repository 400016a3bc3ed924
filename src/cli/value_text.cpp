// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/value_text.h"

#include "platform/iso8601.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <regex>

namespace byteward::cli {

namespace {

// Text that needs quoting in the old property-list form.
std::string quotedIfNeeded(const std::string &text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_' || c == '.' || c == '/' || c == '-';
    });
    if (plain) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return text;
}

} // namespace

std::string describeValue(const Value &value, const Calendar &calendar, int indent) {
    const std::string pad(static_cast<std::size_t>(indent + 4), ' ');
    const std::string closing(static_cast<std::size_t>(indent), ' ');
    if (value.isBool()) return value.boolValue() ? "1" : "0";
    if (const Instant *date = value.asDate()) return formatIso8601(*date, calendar);
    if (const ValueData *data = value.asData()) {
        std::string hex = "{length = " + std::to_string(data->size()) + "}";
        return hex;
    }
    if (const ValueArray *array = value.asArray()) {
        std::string out = "(\n";
        for (std::size_t i = 0; i < array->size(); ++i) {
            const Value &item = (*array)[i];
            out += pad + (item.isString() ? quotedIfNeeded(*item.asString())
                                          : describeValue(item, calendar, indent + 4));
            out += i + 1 < array->size() ? ",\n" : "\n";
        }
        return out + closing + ")";
    }
    if (const ValueDict *dict = value.asDict()) {
        std::string out = "{\n";
        for (const auto &[key, item] : *dict) {
            out += pad + quotedIfNeeded(key) + " = " +
                   (item.isString() ? quotedIfNeeded(*item.asString())
                                    : describeValue(item, calendar, indent + 4)) +
                   ";\n";
        }
        return out + closing + "}";
    }
    if (const Uid *uid = value.asUid())
        return "<CFKeyedArchiverUID " + std::to_string(uid->index) + ">";
    return value.stringValue();
}

nlohmann::json toJson(const Value &value, const Calendar &calendar) {
    if (value.isBool()) return value.boolValue();
    if (value.isInteger()) return value.integerValue();
    if (value.isReal()) return value.doubleValue();
    if (const std::string *text = value.asString()) return *text;
    if (const Instant *date = value.asDate()) return formatIso8601(*date, calendar);
    if (const ValueArray *array = value.asArray()) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto &item : *array)
            out.push_back(toJson(item, calendar));
        return out;
    }
    if (const ValueDict *dict = value.asDict()) {
        nlohmann::json out = nlohmann::json::object();
        for (const auto &[key, item] : *dict)
            out[key] = toJson(item, calendar);
        return out;
    }
    if (const Uid *uid = value.asUid()) return nlohmann::json{{"CF$UID", uid->index}};
    if (const ValueData *data = value.asData()) return nlohmann::json::binary(*data);
    return nullptr;
}

std::optional<Value> parseTypedValue(const std::string &kind, const std::string &text,
                                     const Calendar &calendar) {
    if (kind == "-string") return Value(text);
    if (kind == "-int" || kind == "-integer") {
        static const std::regex integer(R"(^\s*[-+]?\d+\s*$)");
        if (!std::regex_match(text, integer)) return std::nullopt;
        try {
            return Value(std::stoll(text));
        } catch (const std::out_of_range &) {
            return std::nullopt;
        }
    }
    if (kind == "-float") {
        char *end = nullptr;
        const double number = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0' || !std::isfinite(number)) return std::nullopt;
        return Value(number);
    }
    if (kind == "-bool" || kind == "-boolean") {
        const std::string word = lower(text);
        if (word == "true" || word == "yes" || word == "1") return Value(true);
        if (word == "false" || word == "no" || word == "0") return Value(false);
        return std::nullopt;
    }
    if (kind == "-date") {
        if (auto date = parseIso8601(text, calendar)) return Value(*date);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace byteward::cli
