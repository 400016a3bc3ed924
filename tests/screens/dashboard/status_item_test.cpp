// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/iso8601.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/dashboard/status_item.h"
#include "screens/kit/theme.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

constexpr double GiB = 1024.0 * 1024.0 * 1024.0;

class StatusItemTest : public ::testing::Test {
  protected:
    StatusItemTest() {
        env.clock.current = *parseIso8601("2026-12-11T12:00:00Z", env.calendar);
        AppSettings(env.services()).getSettings(); // the first-run defaults
        set("dataunit_settings", Value("GB"));
        set("cellularDataLimit", Value(5LL));
        set("cellularDataLimitUnit", Value("GB"));
        set("wifiDataLimit", Value(0LL));
        set("progressRed", Value("USE95"));
        for (AppData *record : {&controller.appDataCellular(), &controller.appDataWifi()}) {
            record->lastBillingDate = *parseIso8601("2026-12-01T00:00:00Z", env.calendar);
            record->nextBillingDate = *parseIso8601("2027-01-01T00:00:00Z", env.calendar);
            record->billingDaysTotal = 31;
            record->billingDaysElapsed = 10;
        }
        controller.appDataCellular().dataThisMonth = 1.2 * GiB;
        controller.appDataWifi().dataThisMonth = 3.4 * GiB;
    }
    void set(const char *key, Value value) {
        env.defaults().setObject(key, std::move(value));
        env.defaults().synchronize();
        controller.appSettings().getSettings();
    }
    void bars(float cellularUsed, float wifiUsed) {
        controller.visualView.currentUsagePercent = cellularUsed;
        controller.visualViewWifi.currentUsagePercent = wifiUsed;
        controller.visualView.idealUsagePercent = controller.visualViewWifi.idealUsagePercent = 50;
    }

    test::TestEnv env;
    MainViewController controller{env.services()};
};

TEST_F(StatusItemTest, ToolTipGivesEachTypesPeriodUsageStartTypeFirst) {
    const std::string cellular = "Cellular: 1.20 GB of 5.0 GB (24.0%)";
    const std::string wifi = "Wi-Fi: 3.40 GB, no limit";
    EXPECT_EQ(statusItemOf(controller, env.defaults()).toolTip, cellular + "\n" + wifi);
    set("startup_settings", Value("WIFI"));
    EXPECT_EQ(statusItemOf(controller, env.defaults()).toolTip, wifi + "\n" + cellular);
}

TEST_F(StatusItemTest, IconTakesTheColourTheStartTypesBarDrawsWithNow) {
    struct Case {
        const char *name;
        const char *startWith;
        float cellularUsed, wifiUsed;
        const char *remembered; // the letter the last drawn cellular bar left behind
        Rgba expected;
    };
    const Case cases[] = {
        {"cellular under the pace", "CELL", 20, 99, "G", BytewardColors::progressColor1()},
        {"cellular above the pace", "CELL", 60, 10, "G", BytewardColors::progressColor2()},
        {"cellular nearly used up", "CELL", 97, 10, "G", BytewardColors::progressColor3()},
        {"a remembered colour gone stale", "CELL", 20, 10, "R", BytewardColors::progressColor1()},
        {"Wi-Fi chosen to start with", "WIFI", 97, 20, "R", BytewardColors::progressColor1()},
        {"Wi-Fi above the pace", "WIFI", 10, 70, "G", BytewardColors::progressColor2()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        set("startup_settings", Value(c.startWith));
        set(UsageVisualView::kCellularColourKey, Value(c.remembered));
        bars(c.cellularUsed, c.wifiUsed);
        EXPECT_EQ(toHex(statusItemOf(controller, env.defaults()).colour), toHex(c.expected));
    }
}

TEST_F(StatusItemTest, ShownUnlessTurnedOff) {
    EXPECT_TRUE(statusItemOf(controller, env.defaults()).shown) << "never set";
    set(kShowStatusIconKey, Value(false));
    EXPECT_FALSE(statusItemOf(controller, env.defaults()).shown);
    set(kShowStatusIconKey, Value(true));
    EXPECT_TRUE(statusItemOf(controller, env.defaults()).shown);
}

} // namespace
} // namespace byteward
