// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <memory>
#include <string>

namespace byteward {

// A date broken into the fields of the user's calendar. Weekday is 1 Sunday to 7 Saturday and
// is only filled when reading components.
struct DateComponents {
    int year = 1970;
    int month = 1; // 1 to 12 when read; any value (carried leniently) when building a date
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 0;
};

// The user's calendar: Gregorian, in the user's time zone and locale. Calendar arithmetic goes
// through here, never through adding 86,400 seconds.
class Calendar {
  public:
    virtual ~Calendar() = default;

    virtual DateComponents components(Instant date) const = 0;
    // Lenient: day 31 of a 30-day month is the 1st of the next, day 0 the last of the previous.
    virtual Instant dateFromComponents(const DateComponents &components) const = 0;
    // The same wall-clock time `days` calendar days later (or earlier when negative).
    virtual Instant addDays(Instant date, int days) const = 0;
    // Whole elapsed days from `from` to `to`, as calendar arithmetic counts them: 10:00 to the
    // next day's 09:00 is 0, across a daylight-saving change as elsewhere.
    virtual int wholeDaysBetween(Instant from, Instant to) const = 0;
    // How many midnights lie between the two dates' days: the difference of their day numbers.
    virtual int calendarDaysBetween(Instant from, Instant to) const = 0;
    virtual Instant startOfDay(Instant date) const = 0;
    // Seconds east of UTC at that instant, daylight saving included.
    virtual int utcOffsetSeconds(Instant date) const = 0;

    virtual std::string localeId() const = 0;
    virtual std::string timeZoneId() const = 0;
};

// The ICU implementation.
class IcuCalendar final : public Calendar {
  public:
    // The user's time zone (TZ, else the system's) and locale (LC_ALL, LC_TIME, LANG).
    IcuCalendar();
    IcuCalendar(const std::string &timeZoneId, const std::string &localeId);
    ~IcuCalendar() override;
    IcuCalendar(const IcuCalendar &) = delete;
    IcuCalendar &operator=(const IcuCalendar &) = delete;

    DateComponents components(Instant date) const override;
    Instant dateFromComponents(const DateComponents &components) const override;
    Instant addDays(Instant date, int days) const override;
    int wholeDaysBetween(Instant from, Instant to) const override;
    int calendarDaysBetween(Instant from, Instant to) const override;
    Instant startOfDay(Instant date) const override;
    int utcOffsetSeconds(Instant date) const override;
    std::string localeId() const override;
    std::string timeZoneId() const override;

    // The locale named by the environment, as an ICU locale id ("de_DE", "en_US_POSIX").
    static std::string localeFromEnvironment();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ICU's milliseconds and our instants.
double toUDate(Instant instant);
Instant fromUDate(double udate);

} // namespace byteward
