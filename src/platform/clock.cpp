// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/clock.h"

#include "platform/iso8601.h"

#include <cstdlib>

namespace byteward {

Instant SystemClock::now() const {
    if (fixed_) return *fixed_;
    return std::chrono::time_point_cast<std::chrono::microseconds>(
        std::chrono::system_clock::now());
}

std::optional<SystemClock> SystemClock::fromEnvironment(const Calendar &calendar,
                                                        std::string &error) {
    const char *value = std::getenv("BYTEWARD_NOW");
    if (value == nullptr || *value == '\0') return SystemClock();
    if (auto fixed = parseIso8601(value, calendar)) return SystemClock(*fixed);
    error = std::string("BYTEWARD_NOW is neither an ISO-8601 date nor seconds since 1970: \"") +
            value + "\"";
    return std::nullopt;
}

} // namespace byteward
