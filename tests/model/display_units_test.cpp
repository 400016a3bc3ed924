// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/display_units.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

TEST(DisplayUnits, ByteConversionsFollowTheDisplayUnitAsStoredNow) {
    test::TestEnv env;
    AppSettings own(env.services());
    own.getSettings();
    const DisplayUnits units(env.services(), own);
    struct Case {
        const char *displayUnit;
        std::optional<double> bytes;
        float expected;
    };
    const Case cases[] = {
        {"MB", 1'572'864, 1.5f},   {"KB", 1'572'864, 1536.0f}, {"GB", 1'073'741'824, 1.0f},
        {"MB", -1, -9.536743e-7f}, // negative amounts convert as they are
        {"junk", 1'048'576, 1.0f}, {"MB", std::nullopt, 0.0f},
    };
    for (const auto &c : cases) {
        env.defaults().setObject("dataunit_settings", Value(c.displayUnit));
        env.defaults().synchronize();
        EXPECT_FLOAT_EQ(units.converToDataUnitFromBytes(c.bytes), c.expected) << c.displayUnit;
    }
    env.defaults().setObject("dataunit_settings", Value("GB"));
    env.defaults().synchronize();
    EXPECT_FLOAT_EQ(units.convertToBytesFromDataUnit(2.0), 2'147'483'648.0f);
    EXPECT_FLOAT_EQ(units.convertToBytesFromDataUnit(std::nullopt), 0.0f);
}

TEST(DisplayUnits, PlanLimitUsesTheControllersOwnSettingsAsLastLoaded) {
    test::TestEnv env;
    AppSettings own(env.services());
    own.getSettings(); // display unit "MB"
    const DisplayUnits units(env.services(), own);
    env.defaults().setObject("dataunit_settings", Value("KB"));
    env.defaults().synchronize();
    EXPECT_FLOAT_EQ(units.getPlanLimitInDisplayUnitFrom(Value(2), "GB"), 2048.0f);
    EXPECT_FLOAT_EQ(units.getPlanLimitInDisplayUnitFrom(Value("500"), "MB"), 500.0f);
    EXPECT_EQ(units.getPlanLimitInDisplayUnitFrom(std::nullopt, "GB"), 0.0f);
    own.getSettings(); // now "KB"
    EXPECT_FLOAT_EQ(units.getPlanLimitInDisplayUnitFrom(Value(2), "MB"), 2048.0f);
}

} // namespace
} // namespace byteward
