// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/calendar.h"

#include <string>

namespace byteward {

// Small helpers every part uses.
class Util {
  public:
    // A new random UUID as its canonical 36-character text, upper-case hexadecimal.
    static std::string GetUUID();
    // True when the date is neither before `start` nor after `end` (both inclusive).
    static bool date(Instant date, Instant start, Instant end);
    // True when both dates fall on the same year, month and day of the calendar.
    static bool date(Instant date, Instant other, const Calendar &calendar);
};

} // namespace byteward
