// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/calendar.h"
#include "platform/iso8601.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

Instant at(const char *iso, const Calendar &calendar) {
    auto parsed = parseIso8601(iso, calendar);
    EXPECT_TRUE(parsed.has_value()) << iso;
    return parsed.value_or(Instant{});
}

TEST(IcuCalendar, ComponentsCarryLenientlyIntoNeighbouringMonths) {
    IcuCalendar calendar("Europe/Berlin", "de_DE");
    struct Case {
        DateComponents in;
        const char *expected;
    };
    const Case cases[] = {
        {{2026, 4, 31}, "2026-05-01T00:00:00+02:00"}, // April has 30 days
        {{2026, 3, 0}, "2026-02-28T00:00:00+01:00"},  // day 0: last day of the month before
        {{2024, 3, 0}, "2024-02-29T00:00:00+01:00"},  // ... in a leap year
        {{2026, 13, 1}, "2027-01-01T00:00:00+01:00"}, // month 13: January next year
        {{2026, 0, 15}, "2025-12-15T00:00:00+01:00"}, // month 0: December last year
        {{2026, 2, 31}, "2026-03-03T00:00:00+01:00"},
        {{2026, 1, 1, 24, 0, 0}, "2026-01-02T00:00:00+01:00"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(formatIso8601(calendar.dateFromComponents(c.in), calendar), c.expected)
            << c.in.year << "-" << c.in.month << "-" << c.in.day;
    }
}

TEST(IcuCalendar, WeekdayRunsFromSundayOneToSaturdaySeven) {
    IcuCalendar calendar("UTC", "en_US");
    EXPECT_EQ(calendar.components(at("2026-12-06T12:00:00Z", calendar)).weekday, 1); // Sunday
    EXPECT_EQ(calendar.components(at("2026-12-12T12:00:00Z", calendar)).weekday, 7); // Saturday
}

TEST(IcuCalendar, WeekdayAndDayFollowTheUsersTimeZone) {
    IcuCalendar tokyo("Asia/Tokyo", "ja_JP");
    const auto c = tokyo.components(at("2026-12-05T20:00:00Z", tokyo)); // Sunday 05:00 in Tokyo
    EXPECT_EQ(c.day, 6);
    EXPECT_EQ(c.weekday, 1);
    EXPECT_EQ(c.hour, 5);
}

TEST(IcuCalendar, LocaleWithAnotherDefaultCalendarStillCountsGregorianYears) {
    IcuCalendar calendar("Asia/Bangkok", "th_TH");
    EXPECT_EQ(calendar.components(at("2026-06-01T12:00:00+07:00", calendar)).year, 2026);
}

TEST(IcuCalendar, DayCountsIgnoreDaylightSavingChanges) {
    IcuCalendar berlin("Europe/Berlin", "de_DE");
    // 29 March 2026 has 23 hours in Berlin; 25 October 2026 has 25.
    struct Case {
        const char *from;
        const char *to;
        int whole;
        int calendarDays;
    };
    const Case cases[] = {
        {"2026-03-28T00:00:00", "2026-03-30T00:00:00", 2, 2},
        {"2026-10-24T00:00:00", "2026-10-26T00:00:00", 2, 2},
        {"2026-03-01T00:00:00", "2026-04-01T00:00:00", 31, 31},
        {"2026-03-28T10:00:00", "2026-03-29T09:00:00", 0, 1},
        {"2026-03-28T23:59:59", "2026-03-29T00:00:00", 0, 1},
        {"2026-04-01T00:00:00", "2026-03-01T00:00:00", -31, -31},
    };
    for (const auto &c : cases) {
        const Instant from = at(c.from, berlin);
        const Instant to = at(c.to, berlin);
        EXPECT_EQ(berlin.wholeDaysBetween(from, to), c.whole) << c.from << " to " << c.to;
        EXPECT_EQ(berlin.calendarDaysBetween(from, to), c.calendarDays) << c.from << " to " << c.to;
    }
}

TEST(IcuCalendar, MidnightThatComesTwiceOrNeverStartsTheDayAtItsFirstInstant) {
    // Where clocks change at midnight, 00:00 of a date is the first instant of that day: the
    // earlier of two midnights, or the hour after a midnight that was skipped.
    struct Case {
        const char *zone;
        DateComponents day;
        const char *expected;
    } cases[] = {
        {"America/Havana", {2026, 11, 1}, "2026-11-01T00:00:00-04:00"}, // back at 01:00 to 00:00
        {"America/Havana", {2027, 3, 14}, "2027-03-14T01:00:00-04:00"}, // 00:00 skipped
        {"America/New_York", {2026, 11, 1, 1, 30}, "2026-11-01T01:30:00-04:00"},
    };
    for (const auto &c : cases) {
        IcuCalendar calendar(c.zone, "en_US");
        EXPECT_EQ(formatIso8601(calendar.dateFromComponents(c.day), calendar), c.expected)
            << c.zone;
    }
}

TEST(IcuCalendar, DaysRememberedGiveWhatAFreshCalendarGives) {
    // A calendar asked again and again (as an update asks for the period's bounds and now) must
    // answer as one that never saw the earlier questions: across midnights that repeat or are
    // skipped, daylight saving and a day that a zone left out.
    struct Case {
        const char *zone;
        const char *from;
    } cases[] = {
        {"America/Havana", "2026-10-30T12:00:00-04:00"},
        {"America/Havana", "2027-03-12T12:00:00-05:00"},
        {"Europe/Berlin", "2026-03-27T22:30:00+01:00"},
        {"Pacific/Apia", "2011-12-28T12:00:00-10:00"},
        {"UTC", "2026-12-31T23:00:00Z"},
    };
    for (const auto &c : cases) {
        const IcuCalendar kept(c.zone, "en_US");
        const Instant start = at(c.from, kept);
        const Instant bound = kept.addDays(start, -3);
        for (int step = 0; step < 6 * 24 * 4; ++step) {
            const Instant now = start + std::chrono::minutes(15 * step);
            for (const Instant asked : {bound, now, now - std::chrono::microseconds(1)}) {
                const IcuCalendar fresh(c.zone, "en_US");
                ASSERT_EQ(kept.startOfDay(asked), fresh.startOfDay(asked))
                    << c.zone << " " << formatIso8601(asked, fresh);
                ASSERT_EQ(kept.calendarDaysBetween(bound, asked),
                          fresh.calendarDaysBetween(bound, asked))
                    << c.zone << " " << formatIso8601(asked, fresh);
            }
        }
    }
}

TEST(IcuCalendar, AddingDaysKeepsTheWallClockAcrossDaylightSaving) {
    IcuCalendar berlin("Europe/Berlin", "de_DE");
    EXPECT_EQ(formatIso8601(berlin.addDays(at("2026-03-28T12:00:00", berlin), 1), berlin),
              "2026-03-29T12:00:00+02:00");
    EXPECT_EQ(formatIso8601(berlin.addDays(at("2026-03-01T00:00:00", berlin), -1), berlin),
              "2026-02-28T00:00:00+01:00");
    EXPECT_EQ(formatIso8601(berlin.startOfDay(at("2026-10-25T23:59:59", berlin)), berlin),
              "2026-10-25T00:00:00+02:00");
}

} // namespace
} // namespace byteward
