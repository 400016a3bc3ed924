// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/iso8601.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <regex>

namespace byteward {

std::string formatIso8601(Instant date, const Calendar &calendar) {
    const DateComponents c = calendar.components(date);
    const int offset = calendar.utcOffsetSeconds(date);
    char text[64];
    int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month,
                               c.day, c.hour, c.minute, c.second);
    long long micros = date.time_since_epoch().count() % 1'000'000;
    if (micros < 0) micros += 1'000'000;
    if (micros != 0) {
        char fraction[16];
        std::snprintf(fraction, sizeof fraction, "%06lld", micros);
        std::string digits(fraction);
        while (digits.back() == '0')
            digits.pop_back();
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length),
                                ".%s", digits.c_str());
    }
    const int magnitude = std::abs(offset);
    std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "%c%02d:%02d",
                  offset < 0 ? '-' : '+', magnitude / 3600, (magnitude % 3600) / 60);
    return text;
}

namespace {

std::optional<Instant> parseEpochSeconds(std::string_view text) {
    static const std::regex number(R"(^\s*-?\d+(\.\d+)?\s*$)");
    const std::string owned(text);
    if (!std::regex_match(owned, number)) return std::nullopt;
    return instantFromSeconds(std::strtod(owned.c_str(), nullptr));
}

int toInt(const std::ssub_match &match) {
    return match.matched ? std::stoi(match.str()) : 0;
}

bool validCivilDate(int year, int month, int day) {
    using namespace std::chrono;
    return year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                          std::chrono::day{static_cast<unsigned>(day)}}
        .ok();
}

} // namespace

std::optional<Instant> parseIso8601(std::string_view text, const Calendar &calendar) {
    if (auto seconds = parseEpochSeconds(text)) return seconds;

    static const std::regex iso(
        R"(^\s*(\d{4})-(\d{2})-(\d{2})(?:[T ](\d{2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,9}))?)?)?\s*(Z|[+-]\d{2}(?::?\d{2})?)?\s*$)");
    const std::string owned(text);
    std::smatch m;
    if (!std::regex_match(owned, m, iso)) return std::nullopt;

    DateComponents c;
    c.year = toInt(m[1]);
    c.month = toInt(m[2]);
    c.day = toInt(m[3]);
    c.hour = toInt(m[4]);
    c.minute = toInt(m[5]);
    c.second = toInt(m[6]);
    if (c.month < 1 || c.month > 12 || !validCivilDate(c.year, c.month, c.day) || c.hour > 23 ||
        c.minute > 59 || c.second > 59)
        return std::nullopt;
    long long micros = 0;
    if (m[7].matched) {
        std::string digits = m[7].str();
        digits.resize(6, '0');
        micros = std::stoll(digits);
    }

    if (!m[8].matched) {
        return calendar.dateFromComponents(c) + std::chrono::microseconds(micros);
    }
    using namespace std::chrono;
    const sys_days day{year_month_day{std::chrono::year{c.year},
                                      std::chrono::month{static_cast<unsigned>(c.month)},
                                      std::chrono::day{static_cast<unsigned>(c.day)}}};
    Instant utc =
        Instant(day) + hours(c.hour) + minutes(c.minute) + seconds(c.second) + microseconds(micros);
    const std::string zone = m[8].str();
    if (zone != "Z") {
        const int sign = zone[0] == '-' ? -1 : 1;
        const int offsetHours = std::stoi(zone.substr(1, 2));
        std::string rest = zone.substr(3);
        if (!rest.empty() && rest[0] == ':') rest.erase(0, 1);
        const int offsetMinutes = rest.empty() ? 0 : std::stoi(rest);
        if (offsetHours > 23 || offsetMinutes > 59) return std::nullopt;
        utc -= sign * (hours(offsetHours) + minutes(offsetMinutes));
    }
    return utc;
}

} // namespace byteward
