// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/analytics_log.h"
#include "screens/dashboard/usage_visual_view.h"
#include "screens/kit/notification_center.h"
#include "screens/kit/theme.h"
#include "support/recording_drawing_context.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

// A 202 × 42 view: the bar inside it is (1, 1, 200, 40).
constexpr RectF kView{0, 0, 202, 42};
constexpr RectF kBar{1, 1, 200, 40};

class UsageBarDrawingTest : public ::testing::Test {
  protected:
    UsageBarDrawingTest() {
        events.addObserver(NotificationCenter::kProgressBarMileStoneNotification,
                           [this](const ValueDict &info) { posts.push_back(info); });
        thresholds("AVG", "USE100");
    }
    void thresholds(const char *yellow, const char *red) {
        env.defaults().setObject("progressYellow", Value(yellow));
        env.defaults().setObject("progressRed", Value(red));
        env.defaults().synchronize();
    }
    test::RecordingDrawingContext draw(float used, float ideal = 0, RectF view = kView) {
        bar.currentUsagePercent = used;
        bar.idealUsagePercent = ideal;
        test::RecordingDrawingContext context(view);
        bar.drawInContext(context, env.services(), &analytics, &events);
        EXPECT_EQ(context.openSaves(), 0);
        EXPECT_EQ(context.unmatchedRestores, 0);
        return context;
    }
    std::optional<std::string> stored(const char *key) {
        const auto value = env.defaults().objectForKey(key);
        return value ? std::optional(value->stringValue()) : std::nullopt;
    }

    test::TestEnv env;
    AnalyticsLog analytics{env.paths(), env.clock};
    NotificationCenter events;
    std::vector<ValueDict> posts;
    UsageVisualView bar;
};

TEST_F(UsageBarDrawingTest, FillIsClippedToTheUsedPartOfTheBar) {
    const struct {
        float used;
        double width;
    } cases[] = {{0, 0}, {-5, 0}, {45.3f, 90.6}, {100, 200}, {150, 200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.used);
        const auto context = draw(c.used);
        ASSERT_EQ(context.gradients.size(), 1u);
        const RectF clip = context.gradients[0].state.clip;
        EXPECT_NEAR(clip.width, c.width, 1e-4);
        EXPECT_EQ(clip.x, kBar.x);
        EXPECT_EQ(clip.y, kBar.y);
        EXPECT_EQ(clip.height, kBar.height);
    }
}

TEST_F(UsageBarDrawingTest, GradientCarriesTheThresholdColourAtThreeStops) {
    const struct {
        const char *yellow, *red;
        float used, ideal;
        const char *hex;
    } cases[] = {
        {"AVG", "USE100", 50, 50, "#3ef28c"},     // on the ideal pace is still green
        {"AVG", "USE100", 50.01f, 50, "#ffe347"}, // just above it
        {"USE90", "USE95", 96, 0, "#e73e3e"},
        {"USE90", "USE95", 92, 0, "#ffe347"},
        {"USE90", "USE95", 90, 0, "#3ef28c"},
        {"AVG", "USE100", 100, 99, "#ffe347"}, // exactly 100 is not red yet
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.yellow) + " " + c.red + " " + std::to_string(c.used));
        thresholds(c.yellow, c.red);
        const auto context = draw(c.used, c.ideal);
        ASSERT_EQ(context.gradients.size(), 1u);
        const auto &gradient = context.gradients[0];
        EXPECT_EQ(gradient.locations, (std::vector<double>{0.0, 0.4, 1.0}));
        ASSERT_EQ(gradient.colours.size(), 3u);
        for (const Rgba &colour : gradient.colours)
            EXPECT_EQ(toHex(colour), c.hex);
    }
}

TEST_F(UsageBarDrawingTest, IdealMarkerIsADashedWhiteLineAcrossTheUnclippedBar) {
    const struct {
        float ideal;
        double x;
    } cases[] = {{0, 1}, {25, 51}, {100, 201}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.ideal);
        const auto context = draw(80, c.ideal);
        ASSERT_EQ(context.lines.size(), 1u);
        const auto &line = context.lines[0];
        EXPECT_EQ(line.x1, c.x);
        EXPECT_EQ(line.x2, c.x);
        EXPECT_EQ(line.y1, kBar.y);
        EXPECT_EQ(line.y2, kBar.y + kBar.height);
        EXPECT_EQ(toHex(line.state.stroke), "#ffffff");
        EXPECT_EQ(line.state.dashPhase, 2.0);
        EXPECT_EQ(line.state.dashLengths, (std::vector<double>{3.0, 4.0}));
        EXPECT_EQ(line.state.clip, kView); // not cut off by the fill's clip
    }
}

TEST_F(UsageBarDrawingTest, UsageTextSitsOnAWholePointBaseline) {
    const struct {
        RectF view;
        double x, y;
    } cases[] = {{kView, 61, 30}, {{0, 0, 321, 37}, 96, 27}, {{10, 5, 100, 30}, 40, 24}};
    bar.usageText = "45.3%";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.view.width);
        const auto context = draw(45.3f, 0, c.view);
        ASSERT_EQ(context.texts.size(), 1u);
        const auto &text = context.texts[0];
        EXPECT_EQ(text.text, "45.3%");
        EXPECT_EQ(text.fontFamily, "Trebuchet MS");
        EXPECT_EQ(text.pointSize, 24);
        EXPECT_EQ(text.x, c.x);
        EXPECT_EQ(text.y, c.y);
        EXPECT_EQ(toHex(text.state.fill), "#ffffff");
    }
}

TEST_F(UsageBarDrawingTest, ColourChangesAreStoredAndAnnouncedOncePerType) {
    const struct {
        int dataType;
        const char *key, *otherKey;
    } cases[] = {{1, UsageVisualView::kCellularColourKey, UsageVisualView::kWiFiColourKey},
                 {2, UsageVisualView::kWiFiColourKey, UsageVisualView::kCellularColourKey}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dataType);
        env.defaults().removeObjectForKey(UsageVisualView::kCellularColourKey);
        env.defaults().removeObjectForKey(UsageVisualView::kWiFiColourKey);
        env.defaults().synchronize();
        thresholds("AVG", "USE100");
        posts.clear();
        bar.dataType = c.dataType;

        draw(10, 20); // nothing stored yet: announced even though green
        EXPECT_EQ(stored(c.key), "G");
        EXPECT_EQ(stored(c.otherKey), std::nullopt);
        draw(10, 20);
        EXPECT_EQ(posts.size(), 1u);

        thresholds("USE80", "USE95"); // the settings are re-read at every draw
        draw(97, 20);
        EXPECT_EQ(stored(c.key), "R");
        ASSERT_EQ(posts.size(), 2u);
        for (const auto &info : posts) {
            ASSERT_NE(info.find("dataType"), nullptr);
            EXPECT_EQ(*info.find("dataType"), Value(c.dataType));
        }
    }
}

TEST_F(UsageBarDrawingTest, BarOfNeitherTypeNeverStoresAndAnnouncesEveryNonGreenDraw) {
    bar.dataType = 0;
    draw(10, 20);
    EXPECT_TRUE(posts.empty());
    draw(60, 20);
    draw(60, 20);
    EXPECT_EQ(posts.size(), 2u);
    EXPECT_EQ(stored(UsageVisualView::kCellularColourKey), std::nullopt);
    EXPECT_EQ(stored(UsageVisualView::kWiFiColourKey), std::nullopt);
}

TEST_F(UsageBarDrawingTest, LeavesABreadcrumbWithTheNewColour) {
    bar.dataType = 1;
    draw(60, 20);
    const auto entries = analytics.entries();
    EXPECT_NE(std::find(entries.begin(), entries.end(),
                        "breadcrumb UsageVisualView Crash - Value of newProgBarColor is Y"),
              entries.end());
}

TEST_F(UsageBarDrawingTest, DrawsHeadlessWithoutAnalyticsOrEvents) {
    bar.dataType = 2;
    bar.currentUsagePercent = 60;
    test::RecordingDrawingContext context(kView);
    bar.drawInContext(context, env.services(), nullptr, nullptr);
    EXPECT_EQ(stored(UsageVisualView::kWiFiColourKey), "Y");
    EXPECT_EQ(context.gradients.size(), 1u);
}

} // namespace
} // namespace byteward
