// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/calendar.h"

#include <optional>
#include <string>
#include <string_view>

namespace byteward {

// Dates as the user's locale writes them, in the user's time zone.
class StringFormatter {
  public:
    explicit StringFormatter(const Calendar &calendar) : calendar_(calendar) {}

    std::string getLocalizedShortDateNoTimeStringFromDate(Instant date) const;
    std::string getLocalizedShortDateShortTimeStringFromDate(Instant date) const;
    std::string getLocalizedShortDateMediumTimeStringFromDate(Instant date) const;
    // Reads the short date and short time form back; empty when the text is not in that form.
    std::optional<Instant>
    getLocalizedDateFromShortDateShortTimeString(std::string_view text) const;
    // The locale's form of day and two-digit month ("d/MM").
    std::string getLocalizedShortDateMonthFromDate(Instant date) const;
    // The locale's form of weekday, day and abbreviated month, with an English ordinal on the
    // day's digits ("Tue, Dec 8th").
    std::string getLocalizedDayShortDateFromDate(Instant date) const;

    // "st", "nd", "rd" or "th" for a day of the month.
    static const char *ordinalSuffix(int day);

  private:
    std::string styled(Instant date, int dateStyle, int timeStyle) const;
    std::string fromTemplate(Instant date, const char *skeleton) const;

    const Calendar &calendar_;
};

} // namespace byteward
