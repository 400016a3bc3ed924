// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/kit/string_formatter.h"

#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

namespace byteward {

namespace {

// Dates are shown in the locale's own calendar (Buddhist years in Thai, Persian months in
// Persian); only the billing arithmetic is Gregorian.
icu::Locale displayLocale(const Calendar &calendar) {
    return icu::Locale(calendar.localeId().c_str());
}

std::unique_ptr<icu::TimeZone> zoneOf(const Calendar &calendar) {
    return std::unique_ptr<icu::TimeZone>(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(calendar.timeZoneId())));
}

std::unique_ptr<icu::DateFormat> formatter(const Calendar &calendar,
                                           icu::DateFormat::EStyle dateStyle,
                                           icu::DateFormat::EStyle timeStyle) {
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(dateStyle, timeStyle, displayLocale(calendar)));
    if (format)
        format->adoptTimeZone(
            icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(calendar.timeZoneId())));
    return format;
}

// Making a formatter loads and parses locale data, a pattern generator all of the locale's
// patterns, and every dashboard render formats several dates: each is made once per locale, zone
// and style and kept. ICU formatters are not safe to share between threads, so they are used
// under the cache's lock.
class FormatCache {
  public:
    static FormatCache &shared() {
        static FormatCache cache;
        return cache;
    }

    std::string styled(const Calendar &calendar, icu::DateFormat::EStyle dateStyle,
                       icu::DateFormat::EStyle timeStyle, UDate date) {
        std::lock_guard lock(mutex_);
        auto &made = styled_[{calendar.localeId(), calendar.timeZoneId(), dateStyle, timeStyle}];
        if (!made) made = formatter(calendar, dateStyle, timeStyle);
        return made ? formatted(*made, date) : std::string();
    }

    // Empty when the locale has no pattern for the skeleton.
    std::string templated(const Calendar &calendar, const char *skeleton, UDate date) {
        std::lock_guard lock(mutex_);
        auto &made = templated_[{calendar.localeId(), calendar.timeZoneId(), skeleton}];
        if (!made) made = fromSkeleton(calendar, skeleton);
        return made ? formatted(*made, date) : std::string();
    }

    // The day of the month in the locale's own calendar; nothing when ICU cannot say.
    std::optional<int> dayOfMonth(const Calendar &calendar, UDate date) {
        std::lock_guard lock(mutex_);
        auto &made = calendars_[{calendar.localeId(), calendar.timeZoneId()}];
        UErrorCode status = U_ZERO_ERROR;
        if (!made) {
            made.reset(icu::Calendar::createInstance(zoneOf(calendar).release(),
                                                     displayLocale(calendar), status));
            if (U_FAILURE(status)) made.reset();
        }
        if (!made) return std::nullopt;
        made->setTime(date, status);
        const int day = made->get(UCAL_DATE, status);
        if (U_FAILURE(status)) return std::nullopt;
        return day;
    }

  private:
    static std::string formatted(const icu::DateFormat &format, UDate date) {
        icu::UnicodeString out;
        format.format(date, out);
        std::string text;
        out.toUTF8String(text);
        return text;
    }

    std::unique_ptr<icu::DateFormat> fromSkeleton(const Calendar &calendar, const char *skeleton) {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Locale locale = displayLocale(calendar);
        auto &generator = generators_[calendar.localeId()];
        if (!generator) {
            generator.reset(icu::DateTimePatternGenerator::createInstance(locale, status));
            if (U_FAILURE(status)) generator.reset();
        }
        if (!generator) return nullptr;
        // A template names fields only; separators such as the "/" of "d/MM" are the locale's
        // choice.
        icu::UnicodeString fields;
        for (const char *c = skeleton; *c != '\0'; ++c)
            if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z'))
                fields.append(static_cast<char16_t>(*c));
        const icu::UnicodeString pattern = generator->getBestPattern(fields, status);
        if (U_FAILURE(status)) return nullptr;
        auto format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
        if (U_FAILURE(status)) return nullptr;
        format->adoptTimeZone(zoneOf(calendar).release());
        return format;
    }

    std::mutex mutex_;
    std::map<std::tuple<std::string, std::string, int, int>, std::unique_ptr<icu::DateFormat>>
        styled_;
    std::map<std::tuple<std::string, std::string, std::string>, std::unique_ptr<icu::DateFormat>>
        templated_;
    std::map<std::string, std::unique_ptr<icu::DateTimePatternGenerator>> generators_;
    std::map<std::pair<std::string, std::string>, std::unique_ptr<icu::Calendar>> calendars_;
};

void replaceAll(std::string &text, const std::string &from, const std::string &to) {
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::string StringFormatter::styled(Instant date, int dateStyle, int timeStyle) const {
    return FormatCache::shared().styled(calendar_, static_cast<icu::DateFormat::EStyle>(dateStyle),
                                        static_cast<icu::DateFormat::EStyle>(timeStyle),
                                        toUDate(date));
}

std::string StringFormatter::getLocalizedShortDateNoTimeStringFromDate(Instant date) const {
    return styled(date, icu::DateFormat::kShort, icu::DateFormat::kNone);
}

std::string StringFormatter::getLocalizedShortDateShortTimeStringFromDate(Instant date) const {
    return styled(date, icu::DateFormat::kShort, icu::DateFormat::kShort);
}

std::string StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(Instant date) const {
    return styled(date, icu::DateFormat::kShort, icu::DateFormat::kMedium);
}

std::optional<Instant>
StringFormatter::getLocalizedDateFromShortDateShortTimeString(std::string_view text) const {
    auto format = formatter(calendar_, icu::DateFormat::kShort, icu::DateFormat::kShort);
    if (!format) return std::nullopt;
    format->setLenient(false);
    // Some locales put a narrow no-break space before AM/PM; people type a plain space.
    const std::string narrowSpace = "\u202F";
    std::string typed(text);
    std::string withNarrow = typed;
    replaceAll(withNarrow, " AM", narrowSpace + "AM");
    replaceAll(withNarrow, " PM", narrowSpace + "PM");
    for (const std::string &candidate : {typed, withNarrow}) {
        const icu::UnicodeString input = icu::UnicodeString::fromUTF8(candidate);
        icu::ParsePosition position(0);
        const UDate parsed = format->parse(input, position);
        if (position.getErrorIndex() < 0 && position.getIndex() == input.length())
            return fromUDate(parsed);
    }
    return std::nullopt;
}

std::string StringFormatter::fromTemplate(Instant date, const char *skeleton) const {
    std::string text = FormatCache::shared().templated(calendar_, skeleton, toUDate(date));
    return text.empty() ? getLocalizedShortDateNoTimeStringFromDate(date) : text;
}

std::string StringFormatter::getLocalizedShortDateMonthFromDate(Instant date) const {
    return fromTemplate(date, "d/MM");
}

const char *StringFormatter::ordinalSuffix(int day) {
    switch (day) {
    case 1:
    case 21:
    case 31:
        return "st";
    case 2:
    case 22:
        return "nd";
    case 3:
    case 23:
        return "rd";
    default:
        return "th";
    }
}

std::string StringFormatter::getLocalizedDayShortDateFromDate(Instant date) const {
    std::string text = fromTemplate(date, "EdMMM");
    // The day as the text shows it, in the locale's calendar.
    const std::optional<int> shown = FormatCache::shared().dayOfMonth(calendar_, toUDate(date));
    if (!shown) return text;
    const int day = *shown;
    const std::string plain = std::to_string(day);
    // A plain replacement: every run of the day's digits takes the suffix.
    replaceAll(text, plain, plain + ordinalSuffix(day));
    return text;
}

} // namespace byteward
