// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/calendar.h"
#include "platform/value.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace byteward::cli {

// A stored value as `defaults read` shows it: scalars bare (booleans 1 or 0, dates ISO-8601
// with offset), arrays and dictionaries in the old property-list text form.
std::string describeValue(const Value &value, const Calendar &calendar, int indent = 0);

nlohmann::json toJson(const Value &value, const Calendar &calendar);

// Reads VALUE as the kind a `defaults write` flag names (-int, -float, -string, -bool, -date).
// Empty when the text is not of that kind.
std::optional<Value> parseTypedValue(const std::string &kind, const std::string &text,
                                     const Calendar &calendar);

} // namespace byteward::cli
