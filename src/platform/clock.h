// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/calendar.h"

#include <optional>
#include <string>

namespace byteward {

// The one source of "now".
class Clock {
  public:
    virtual ~Clock() = default;
    virtual Instant now() const = 0;
};

// The system's real-time clock, or a fixed instant for the whole process.
class SystemClock final : public Clock {
  public:
    explicit SystemClock(std::optional<Instant> fixed = std::nullopt) : fixed_(fixed) {}
    Instant now() const override;

    // Honours BYTEWARD_NOW (ISO-8601 with or without offset, or seconds since 1970). Empty, with
    // `error` set, when the variable holds something else.
    static std::optional<SystemClock> fromEnvironment(const Calendar &calendar, std::string &error);

  private:
    std::optional<Instant> fixed_;
};

} // namespace byteward
