// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/data_formatter.h"

#include <gtest/gtest.h>
#include <optional>

namespace byteward {
namespace {

TEST(DataFormatter, ConvertsBytesToEachUnitWithBinaryFactors) {
    struct Case {
        std::optional<double> bytes;
        const char *unit;
        float expected;
    };
    const Case cases[] = {
        {1'572'864, "MB", 1.5f},
        {1'572'864, "KB", 1536.0f},
        {1'572'864, "GB", 0.00146484375f},
        {1'572'864, "mb", 1.5f}, // unknown text counts as MB
        {1'572'864, "", 1.5f},
        {0, "MB", 0.0f},
        {-5, "KB", 0.0f},
        {std::nullopt, "GB", 0.0f},
        {5'000'000'000.0, "GB", 4.656612873f},
    };
    for (const auto &c : cases) {
        EXPECT_FLOAT_EQ(DataFormatter::converToDataUnitFromBytes(c.bytes, c.unit), c.expected)
            << c.bytes.value_or(-999) << " " << c.unit;
    }
}

TEST(DataFormatter, ConvertsUnitsToBytes) {
    struct Case {
        std::optional<double> amount;
        const char *unit;
        float expected;
    };
    const Case cases[] = {
        {2, "GB", 2'147'483'648.0f}, {500, "XB", 524'288'000.0f}, {500, "MB", 524'288'000.0f},
        {3, "KB", 3072.0f},          {-1, "KB", -1024.0f},        {std::nullopt, "MB", 0.0f},
    };
    for (const auto &c : cases)
        EXPECT_FLOAT_EQ(DataFormatter::convertToBytesFromDataUnit(c.amount, c.unit), c.expected)
            << c.unit;
}

TEST(DataFormatter, ConvertsAPlanLimitBetweenEveryPairOfUnits) {
    struct Case {
        float limit;
        const char *limitUnit;
        const char *displayUnit;
        float expected;
    };
    const Case cases[] = {
        {2, "GB", "MB", 2048},      {500, "MB", "GB", 0.48828125f},
        {1, "GB", "KB", 1'048'576}, {1, "KB", "GB", 1.0f / 1'048'576},
        {3, "MB", "KB", 3072},      {3072, "KB", "MB", 3},
        {7, "GB", "GB", 7},         {7, "KB", "KB", 7},
        {7, "other", "junk", 7},
    };
    for (const auto &c : cases) {
        EXPECT_FLOAT_EQ(DataFormatter::limitInDisplayUnit(c.limit, c.limitUnit, c.displayUnit),
                        c.expected)
            << c.limit << c.limitUnit << " in " << c.displayUnit;
    }
}

} // namespace
} // namespace byteward
