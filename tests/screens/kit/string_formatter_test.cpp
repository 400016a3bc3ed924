// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/iso8601.h"
#include "screens/kit/string_formatter.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

const std::string nnbsp = "\u202F"; // ICU puts a narrow no-break space before AM/PM in en_US

struct Forms {
    const char *locale;
    const char *zone;
    const char *date;
    std::string shortDate, shortDateShortTime, shortDateMediumTime, dayMonth, weekdayDayMonth;
};

TEST(StringFormatter, EveryFormFollowsTheLocaleAndTimeZone) {
    const Forms cases[] = {
        {"en_US", "America/New_York", "2026-12-08T15:04:05Z", "12/8/26",
         "12/8/26, 10:04" + nnbsp + "AM", "12/8/26, 10:04:05" + nnbsp + "AM", "12/8",
         "Tue, Dec 8th"},
        {"en_US", "UTC", "2026-03-22T21:04:05Z", "3/22/26", "3/22/26, 9:04" + nnbsp + "PM",
         "3/22/26, 9:04:05" + nnbsp + "PM", "03/22", "Sun, Mar 22nd"},
        // Late evening in New York is already the next day in London.
        {"en_GB", "Europe/London", "2026-07-01T00:30:00-04:00", "01/07/2026", "01/07/2026, 05:30",
         "01/07/2026, 05:30:00", "1/07", "Wed, 1st Jul"},
        {"en_GB", "Europe/London", "2026-12-13T09:00:00Z", "13/12/2026", "13/12/2026, 09:00",
         "13/12/2026, 09:00:00", "13/12", "Sun, 13th Dec"},
        {"de_DE", "Europe/Berlin", "2026-12-08T15:04:05Z", "08.12.26", "08.12.26, 16:04",
         "08.12.26, 16:04:05", "8.12.", "Di., 8th. Dez."},
        {"de_DE", "Europe/Berlin", "2026-03-23T12:00:00Z", "23.03.26", "23.03.26, 13:00",
         "23.03.26, 13:00:00", "23.03.", "Mo., 23rd. März"},
        // The locale's own calendar: Buddhist years in Thai, a Japanese era.
        {"th_TH", "Asia/Bangkok", "2026-12-08T15:04:05Z", "8/12/69", "8/12/69 22:04",
         "8/12/69 22:04:05", "8/12", "\u0E2D. 8th \u0E18.\u0E04."},
        {"en_US@calendar=japanese", "Asia/Tokyo", "2026-12-08T15:04:05Z", "12/9/8 R",
         "12/9/8 R, 12:04" + nnbsp + "AM", "12/9/8 R, 12:04:05" + nnbsp + "AM", "12/9",
         "Wed, Dec 9th"},
        // The ordinal goes on the day the text shows, not on the Gregorian one.
        {"en_US@calendar=persian", "Asia/Tehran", "2026-12-08T12:00:00Z", "9/17/1405 AP",
         "9/17/1405 AP, 3:30" + nnbsp + "PM", "9/17/1405 AP, 3:30:00" + nnbsp + "PM", "09/17",
         "Tue, Azar 17th"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.locale) + " " + c.date);
        IcuCalendar calendar(c.zone, c.locale);
        const StringFormatter f(calendar);
        const Instant date = *parseIso8601(c.date, calendar);
        EXPECT_EQ(f.getLocalizedShortDateNoTimeStringFromDate(date), c.shortDate);
        EXPECT_EQ(f.getLocalizedShortDateShortTimeStringFromDate(date), c.shortDateShortTime);
        EXPECT_EQ(f.getLocalizedShortDateMediumTimeStringFromDate(date), c.shortDateMediumTime);
        EXPECT_EQ(f.getLocalizedShortDateMonthFromDate(date), c.dayMonth);
        EXPECT_EQ(f.getLocalizedDayShortDateFromDate(date), c.weekdayDayMonth);
    }
}

TEST(StringFormatter, OrdinalSuffixesFollowEnglishRules) {
    const std::pair<int, const char *> cases[] = {
        {1, "st"},  {2, "nd"},  {3, "rd"},  {4, "th"},  {11, "th"}, {12, "th"}, {13, "th"},
        {21, "st"}, {22, "nd"}, {23, "rd"}, {24, "th"}, {30, "th"}, {31, "st"},
    };
    for (const auto &[day, suffix] : cases)
        EXPECT_STREQ(StringFormatter::ordinalSuffix(day), suffix) << day;
}

TEST(StringFormatter, ShortDateShortTimeTextReadsBackAndOtherTextDoesNot) {
    IcuCalendar calendar("America/New_York", "en_US");
    const StringFormatter f(calendar);
    const Instant minute = *parseIso8601("2026-12-08T10:04:00-05:00", calendar);
    EXPECT_EQ(f.getLocalizedDateFromShortDateShortTimeString(
                  f.getLocalizedShortDateShortTimeStringFromDate(minute)),
              minute);
    // Typed with an ordinary space before PM.
    EXPECT_EQ(f.getLocalizedDateFromShortDateShortTimeString("12/8/26, 3:30 PM"),
              parseIso8601("2026-12-08T15:30:00-05:00", calendar));
    for (const char *text : {"", "tomorrow", "12/8/26", "2026-12-08T10:04",
                             "12/8/26, 3:30 PM and more", "13/45/26, 3:30 PM"})
        EXPECT_FALSE(f.getLocalizedDateFromShortDateShortTimeString(text).has_value()) << text;

    IcuCalendar berlin("Europe/Berlin", "de_DE");
    const StringFormatter g(berlin);
    EXPECT_EQ(g.getLocalizedDateFromShortDateShortTimeString("08.12.26, 16:04"),
              parseIso8601("2026-12-08T15:04:00Z", berlin));
}

} // namespace
} // namespace byteward
