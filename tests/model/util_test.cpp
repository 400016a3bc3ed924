// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/util.h"
#include "platform/iso8601.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>

namespace byteward {
namespace {

TEST(Util, UuidsAreCanonicalVersionFourAndDistinct) {
    const std::regex canonical(
        "^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const std::string id = Util::GetUUID();
        ASSERT_TRUE(std::regex_match(id, canonical)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(Util, BetweenIncludesBothBounds) {
    const Instant start = instantFromSeconds(1000);
    const Instant end = instantFromSeconds(2000);
    EXPECT_TRUE(Util::date(start, start, end));
    EXPECT_TRUE(Util::date(end, start, end));
    EXPECT_TRUE(Util::date(instantFromSeconds(1500), start, end));
    EXPECT_FALSE(Util::date(instantFromSeconds(999.999), start, end));
    EXPECT_FALSE(Util::date(instantFromSeconds(2000.001), start, end));
    EXPECT_FALSE(Util::date(instantFromSeconds(1500), end, start))
        << "reversed bounds hold nothing";
}

TEST(Util, SameDayIsDecidedInTheUsersTimeZone) {
    IcuCalendar tokyo("Asia/Tokyo", "ja_JP");
    IcuCalendar utc("UTC", "en_US");
    const Instant a = *parseIso8601("2026-12-08T14:30:00Z", utc); // 23:30 in Tokyo
    const Instant b = *parseIso8601("2026-12-08T15:30:00Z", utc); // 00:30 next day in Tokyo
    EXPECT_TRUE(Util::date(a, b, utc));
    EXPECT_FALSE(Util::date(a, b, tokyo));
    EXPECT_FALSE(Util::date(a, *parseIso8601("2025-12-08T14:30:00Z", utc), utc))
        << "same day, other year";
}

} // namespace
} // namespace byteward
