// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/kit/string_formatter.h"

#include <memory>
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

std::string utf8(const icu::UnicodeString &text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

void replaceAll(std::string &text, const std::string &from, const std::string &to) {
    if (from.empty()) return;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::string StringFormatter::styled(Instant date, int dateStyle, int timeStyle) const {
    auto format = formatter(calendar_, static_cast<icu::DateFormat::EStyle>(dateStyle),
                            static_cast<icu::DateFormat::EStyle>(timeStyle));
    if (!format) return {};
    icu::UnicodeString out;
    format->format(toUDate(date), out);
    return utf8(out);
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
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale = displayLocale(calendar_);
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) return getLocalizedShortDateNoTimeStringFromDate(date);
    // A template names fields only; separators such as the "/" of "d/MM" are the locale's choice.
    icu::UnicodeString fields;
    for (const char *c = skeleton; *c != '\0'; ++c)
        if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z'))
            fields.append(static_cast<char16_t>(*c));
    const icu::UnicodeString pattern = generator->getBestPattern(fields, status);
    if (U_FAILURE(status)) return getLocalizedShortDateNoTimeStringFromDate(date);
    icu::SimpleDateFormat format(pattern, locale, status);
    if (U_FAILURE(status)) return getLocalizedShortDateNoTimeStringFromDate(date);
    format.adoptTimeZone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(calendar_.timeZoneId())));
    icu::UnicodeString out;
    format.format(toUDate(date), out);
    return utf8(out);
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
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> shown(icu::Calendar::createInstance(
        zoneOf(calendar_).release(), displayLocale(calendar_), status));
    if (U_FAILURE(status) || !shown) return text;
    shown->setTime(toUDate(date), status);
    const int day = shown->get(UCAL_DATE, status);
    if (U_FAILURE(status)) return text;
    const std::string plain = std::to_string(day);
    // A plain replacement: every run of the day's digits takes the suffix.
    replaceAll(text, plain, plain + ordinalSuffix(day));
    return text;
}

} // namespace byteward
