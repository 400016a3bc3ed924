// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/calendar.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

namespace byteward {

double toUDate(Instant instant) {
    return static_cast<double>(instant.time_since_epoch().count()) / 1000.0;
}

Instant fromUDate(double udate) {
    return Instant(std::chrono::microseconds(std::llround(udate * 1000.0)));
}

namespace {

std::string environmentLocaleName() {
    for (const char *variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char *value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return value;
    }
    return "C";
}

std::unique_ptr<icu::TimeZone> timeZoneFor(const std::string &id) {
    std::string name = id;
    if (!name.empty() && name.front() == ':') name.erase(0, 1);
    if (!name.empty()) {
        std::unique_ptr<icu::TimeZone> zone(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(name)));
        icu::UnicodeString resolved;
        zone->getID(resolved);
        if (resolved != icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID)) return zone;
    }
    return std::unique_ptr<icu::TimeZone>(icu::TimeZone::detectHostTimeZone());
}

std::string utf8(const icu::UnicodeString &text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

} // namespace

struct IcuCalendar::Impl {
    std::unique_ptr<icu::GregorianCalendar> prototype;
    std::string locale;
    std::string zone;
    // ICU calendars carry mutable state; one working copy per call would be costly, so calls
    // share one behind a mutex.
    mutable std::mutex mutex;

    icu::GregorianCalendar &at(Instant date) const {
        UErrorCode status = U_ZERO_ERROR;
        prototype->setTime(toUDate(date), status);
        return *prototype;
    }

    // Days recently asked for, as [start, next start): every update asks the day of the same few
    // instants (the period's bounds, now), and ICU takes thousands of instructions for each.
    struct Day {
        Instant start;
        Instant next;
    };
    mutable std::array<std::optional<Day>, 4> days;
    mutable std::size_t nextDay = 0;
    struct DayCount {
        Instant from;
        Instant to;
        int count = 0;
    };
    mutable std::array<std::optional<DayCount>, 4> dayCounts;
    mutable std::size_t nextDayCount = 0;

    Instant computeStartOfDay(Instant date) const {
        UErrorCode status = U_ZERO_ERROR;
        icu::GregorianCalendar &cal = at(date);
        cal.set(UCAL_HOUR_OF_DAY, 0);
        cal.set(UCAL_MINUTE, 0);
        cal.set(UCAL_SECOND, 0);
        cal.set(UCAL_MILLISECOND, 0);
        return fromUDate(cal.getTime(status));
    }

    Instant startOfDay(Instant date) const {
        for (const auto &day : days)
            if (day && !(date < day->start) && date < day->next) return day->start;
        const Instant start = computeStartOfDay(date);
        UErrorCode status = U_ZERO_ERROR;
        icu::GregorianCalendar &cal = at(start);
        cal.add(UCAL_DATE, 1, status);
        const Instant next = computeStartOfDay(fromUDate(cal.getTime(status)));
        // Only a day that holds the instant asked about is kept.
        if (U_SUCCESS(status) && !(date < start) && date < next) {
            days[nextDay] = Day{start, next};
            nextDay = (nextDay + 1) % days.size();
        }
        return start;
    }
};

std::string IcuCalendar::localeFromEnvironment() {
    std::string name = environmentLocaleName();
    // "de_DE.UTF-8@euro" -> "de_DE"
    if (const auto cut = name.find_first_of(".@"); cut != std::string::npos) name.erase(cut);
    if (name.empty() || name == "C" || name == "POSIX") return "en_US_POSIX";
    return name;
}

IcuCalendar::IcuCalendar()
    : IcuCalendar(std::getenv("TZ") != nullptr ? std::getenv("TZ") : "", localeFromEnvironment()) {
}

IcuCalendar::IcuCalendar(const std::string &timeZoneId, const std::string &localeId)
    : impl_(std::make_unique<Impl>()) {
    UErrorCode status = U_ZERO_ERROR;
    // Gregorian whatever the locale's own default calendar is.
    icu::Locale locale(localeId.c_str());
    std::unique_ptr<icu::TimeZone> zone = timeZoneFor(timeZoneId);
    impl_->zone = [&] {
        icu::UnicodeString id;
        zone->getID(id);
        return utf8(id);
    }();
    impl_->locale = locale.getName();
    impl_->prototype = std::make_unique<icu::GregorianCalendar>(zone.release(), locale, status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("cannot create a calendar: ") + u_errorName(status));
    impl_->prototype->setLenient(true);
    // A wall time that comes twice (the hour repeated when clocks go back) means its first
    // occurrence: where midnight repeats (Havana, Santiago, Beirut) 00:00 is where the day
    // begins, not an hour into it. ICU's default, the last occurrence, started a daily period
    // an hour late and gave the log of the day before the start of the next.
    impl_->prototype->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
}

IcuCalendar::~IcuCalendar() = default;

DateComponents IcuCalendar::components(Instant date) const {
    std::lock_guard lock(impl_->mutex);
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar &cal = impl_->at(date);
    DateComponents c;
    c.year = cal.get(UCAL_EXTENDED_YEAR, status);
    c.month = cal.get(UCAL_MONTH, status) + 1;
    c.day = cal.get(UCAL_DATE, status);
    c.hour = cal.get(UCAL_HOUR_OF_DAY, status);
    c.minute = cal.get(UCAL_MINUTE, status);
    c.second = cal.get(UCAL_SECOND, status);
    c.weekday = cal.get(UCAL_DAY_OF_WEEK, status);
    return c;
}

Instant IcuCalendar::dateFromComponents(const DateComponents &c) const {
    std::lock_guard lock(impl_->mutex);
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar &cal = *impl_->prototype;
    cal.clear();
    cal.set(UCAL_EXTENDED_YEAR, c.year);
    cal.set(UCAL_MONTH, c.month - 1);
    cal.set(UCAL_DATE, c.day);
    cal.set(UCAL_HOUR_OF_DAY, c.hour);
    cal.set(UCAL_MINUTE, c.minute);
    cal.set(UCAL_SECOND, c.second);
    return fromUDate(cal.getTime(status));
}

Instant IcuCalendar::addDays(Instant date, int days) const {
    std::lock_guard lock(impl_->mutex);
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar &cal = impl_->at(date);
    cal.add(UCAL_DATE, days, status);
    // Keep the sub-millisecond part ICU does not carry.
    const auto micros = date.time_since_epoch().count() % 1000;
    return fromUDate(cal.getTime(status)) + std::chrono::microseconds(micros);
}

int IcuCalendar::wholeDaysBetween(Instant from, Instant to) const {
    std::lock_guard lock(impl_->mutex);
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar &cal = impl_->at(from);
    return cal.fieldDifference(toUDate(to), UCAL_DATE, status);
}

int IcuCalendar::calendarDaysBetween(Instant from, Instant to) const {
    std::lock_guard lock(impl_->mutex);
    const Instant a = impl_->startOfDay(from);
    const Instant b = impl_->startOfDay(to);
    for (const auto &known : impl_->dayCounts)
        if (known && known->from == a && known->to == b) return known->count;
    UErrorCode status = U_ZERO_ERROR;
    icu::GregorianCalendar &cal = impl_->at(a);
    const int count = cal.fieldDifference(toUDate(b), UCAL_DATE, status);
    impl_->dayCounts[impl_->nextDayCount] = Impl::DayCount{a, b, count};
    impl_->nextDayCount = (impl_->nextDayCount + 1) % impl_->dayCounts.size();
    return count;
}

Instant IcuCalendar::startOfDay(Instant date) const {
    std::lock_guard lock(impl_->mutex);
    return impl_->startOfDay(date);
}

int IcuCalendar::utcOffsetSeconds(Instant date) const {
    std::lock_guard lock(impl_->mutex);
    UErrorCode status = U_ZERO_ERROR;
    int32_t raw = 0;
    int32_t dst = 0;
    impl_->prototype->getTimeZone().getOffset(toUDate(date), false, raw, dst, status);
    return (raw + dst) / 1000;
}

std::string IcuCalendar::localeId() const {
    return impl_->locale;
}
std::string IcuCalendar::timeZoneId() const {
    return impl_->zone;
}

} // namespace byteward
