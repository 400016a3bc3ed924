// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/dashboard/usage_visual_view.h"
#include "screens/kit/theme.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr const char *kGreen = "#3ef28c";
constexpr const char *kYellow = "#ffe347";
constexpr const char *kRed = "#e73e3e";

class ThemeTest : public ::testing::Test {
  protected:
    void store(const char *key, std::optional<Value> letter) {
        if (letter)
            env.defaults().setObject(key, *letter);
        else
            env.defaults().removeObjectForKey(key);
        env.defaults().synchronize();
    }
    test::TestEnv env;
};

TEST_F(ThemeTest, ProgressColoursFollowTheStoredLetterAtEveryCall) {
    const struct {
        std::optional<Value> letter;
        const char *hex;
    } cases[] = {{std::nullopt, kGreen}, {Value("Y"), kYellow}, {Value("R"), kRed},
                 {Value("G"), kGreen},   {Value("X"), kGreen},  {Value(""), kGreen},
                 {Value("y"), kGreen},   {Value(2), kGreen}};
    // The same defaults throughout: a cached colour would show up as the previous case's.
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hex);
        store(UsageVisualView::kCellularColourKey, c.letter);
        store(UsageVisualView::kWiFiColourKey, std::nullopt);
        EXPECT_EQ(toHex(BytewardColors::cellularProgressColor(env.defaults())), c.hex);
        EXPECT_EQ(toHex(BytewardColors::wifiProgressColor(env.defaults())), kGreen);
        store(UsageVisualView::kWiFiColourKey, c.letter);
        store(UsageVisualView::kCellularColourKey, std::nullopt);
        EXPECT_EQ(toHex(BytewardColors::wifiProgressColor(env.defaults())), c.hex);
        EXPECT_EQ(toHex(BytewardColors::cellularProgressColor(env.defaults())), kGreen);
    }
}

TEST(BytewardColors, HexFormQmlReads) {
    const struct {
        Rgba colour;
        const char *hex;
    } cases[] = {
        {BytewardColors::appTintColor(), "#46a9cd"},
        {BytewardColors::progressBarBackgroundColor(), "#808080"}, // half-way rounds up
        {BytewardColors::appForegroundColor(), "#ffffff"},
        {{1, 0, 0, 0.5}, "#80ff0000"}, // alpha first, as QML expects
    };
    for (const auto &c : cases)
        EXPECT_EQ(toHex(c.colour), c.hex);
}

TEST_F(ThemeTest, TintDecisions) {
    store(UsageVisualView::kCellularColourKey, Value("Y"));
    store(UsageVisualView::kWiFiColourKey, Value("R"));
    const char *tint = "#46a9cd";

    const struct {
        std::optional<long long> dataType;
        const char *hex;
    } window[] = {
        {std::nullopt, kYellow}, {0, kYellow}, {1, kYellow}, {2, kRed}, {3, tint}, {-1, tint}};
    for (const auto &c : window) {
        SCOPED_TRACE(c.dataType.value_or(-99));
        EXPECT_EQ(toHex(windowTintForNotification(c.dataType, env.defaults())), c.hex);
    }

    const struct {
        bool cellularMode;
        std::optional<long long> dataType;
        const char *hex;
    } dashboard[] = {
        {true, std::nullopt, kYellow}, {true, 2, kYellow}, {true, 3, kYellow},
        {false, std::nullopt, kRed},   {false, 2, kRed},   {false, 3, kRed},
        {false, 1, kYellow}, // the Wi-Fi dashboard hearing the cellular bar
    };
    for (const auto &c : dashboard) {
        SCOPED_TRACE(std::to_string(c.cellularMode) + " " +
                     std::to_string(c.dataType.value_or(-99)));
        EXPECT_EQ(toHex(dashboardTint(c.cellularMode, c.dataType, env.defaults())), c.hex);
    }
}

} // namespace
} // namespace byteward
