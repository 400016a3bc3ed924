// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/calendar.h"

#include <optional>
#include <string>
#include <string_view>

namespace byteward {

// "2026-12-08T01:25:14+01:00": the local time of `calendar`'s zone with its offset; a
// fraction of a second is shown only when there is one.
std::string formatIso8601(Instant date, const Calendar &calendar);

// Reads ISO-8601 ("2026-12-08", "2026-12-08T01:25", "...:14.5Z", "...+01:00", a space for the
// T) or seconds since 1970 ("1765153514"). Without an offset the time is local to `calendar`.
std::optional<Instant> parseIso8601(std::string_view text, const Calendar &calendar);

} // namespace byteward
