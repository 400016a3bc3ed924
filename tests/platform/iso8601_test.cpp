// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/iso8601.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

TEST(Iso8601, ParsesEveryAcceptedFormToTheRightInstant) {
    IcuCalendar berlin("Europe/Berlin", "de_DE");
    struct Case {
        const char *text;
        double seconds;
    };
    const Case cases[] = {
        {"2026-12-08T00:25:14Z", 1'796'689'514},
        {"2026-12-08T01:25:14+01:00", 1'796'689'514},
        {"2026-12-08T01:25:14+0100", 1'796'689'514},
        {"2026-12-07T19:25:14-05", 1'796'689'514},
        {"2026-12-08 01:25:14", 1'796'689'514}, // local, winter time
        {"2026-07-01T02:00", 1'782'864'000},    // local, summer time
        {"2026-12-08", 1'796'684'400},          // local midnight
        {"2026-12-08T00:25:14.5Z", 1'796'689'514.5},
        {"1796689514", 1'796'689'514},
        {"1796689514.25", 1'796'689'514.25},
    };
    for (const auto &c : cases) {
        const auto parsed = parseIso8601(c.text, berlin);
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_DOUBLE_EQ(secondsSince1970(*parsed), c.seconds) << c.text;
    }
}

TEST(Iso8601, RefusesImpossibleOrGarbledDates) {
    IcuCalendar utc("UTC", "en_US");
    for (const char *text :
         {"", "now", "2026-02-30", "2026-13-01", "2026-12-08T24:00", "2026-12-08T10:61",
          "2026-12-08T10:00+25:00", "12/08/2026", "2026-12-08Tgarbage"}) {
        EXPECT_FALSE(parseIso8601(text, utc).has_value()) << text;
    }
}

TEST(Iso8601, FormatsLocalTimeWithTheOffsetInForce) {
    IcuCalendar berlin("Europe/Berlin", "de_DE");
    IcuCalendar newYork("America/New_York", "en_US");
    const Instant winter = instantFromSeconds(1'796'689'514);
    const Instant summer = instantFromSeconds(1'782'864'000.125);
    EXPECT_EQ(formatIso8601(winter, berlin), "2026-12-08T01:25:14+01:00");
    EXPECT_EQ(formatIso8601(summer, berlin), "2026-07-01T02:00:00.125+02:00");
    EXPECT_EQ(formatIso8601(winter, newYork), "2026-12-07T19:25:14-05:00");
    // What is printed reads back as the same instant.
    EXPECT_EQ(parseIso8601(formatIso8601(summer, newYork), berlin), summer);
}

} // namespace
} // namespace byteward
