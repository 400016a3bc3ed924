// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/usage_metrics.h"
#include "platform/iso8601.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

namespace byteward {
namespace {

constexpr double MB = 1024.0 * 1024.0;

// The sample lines of a text, by series ("name{labels}"), failing on a series written twice or a
// sample whose family did not announce its HELP and TYPE first.
std::map<std::string, std::string> samples(const std::string &text) {
    std::map<std::string, std::string> out;
    std::set<std::string> announced;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("# TYPE ", 0) == 0) {
            announced.insert(line.substr(7, line.find(' ', 7) - 7));
            continue;
        }
        if (line.rfind('#', 0) == 0) continue;
        const auto space = line.rfind(' ');
        const std::string series = line.substr(0, space);
        const std::string family = series.substr(0, series.find('{'));
        EXPECT_TRUE(announced.count(family)) << "no TYPE before " << line;
        EXPECT_TRUE(out.emplace(series, line.substr(space + 1)).second) << "twice: " << series;
    }
    return out;
}

TEST(UsageMetricsText, LabelValuesAreEscapedAndKeptApart) {
    const struct {
        const char *what;
        std::string name, id;
        const char *series; // of the first counter's paused gauge
    } cases[] = {
        {"plain", "Trip", "A", R"(byteward_custom_meter_paused{name="Trip",id="A"})"},
        {"quote, backslash and newline", "a\"b\\c\nd", "A",
         R"(byteward_custom_meter_paused{name="a\"b\\c\nd",id="A"})"},
        {"UTF-8 kept", "Zürich ✈", "A", R"(byteward_custom_meter_paused{name="Zürich ✈",id="A"})"},
        {"broken UTF-8 replaced byte by byte", "a\xC3(\xFF", "A",
         "byteward_custom_meter_paused{name=\"a\xEF\xBF\xBD(\xEF\xBF\xBD\",id=\"A\"}"},
        {"an encoded surrogate is not UTF-8", "\xED\xA0\x80", "A",
         "byteward_custom_meter_paused{name=\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\",id=\"A\"}"},
        {"no identifier: its place", "Old", "",
         R"(byteward_custom_meter_paused{name="Old",id="#1"})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        UsageMetrics m;
        m.counters.push_back({c.name, c.id, {}, false});
        EXPECT_EQ(samples(metricsText(m)).count(c.series), 1u) << metricsText(m);
    }
}

TEST(UsageMetricsText, CountersSharingAnIdentifierStayTwoSeries) {
    UsageMetrics m;
    m.counters = {{"Trip", "X", {}, false},
                  {"Trip", "X", {}, true},
                  {"Trip", "", {}, false},
                  {"Trip", "#3", {}, false}};
    const auto s = samples(metricsText(m));
    EXPECT_EQ(s.count(R"(byteward_custom_meter_paused{name="Trip",id="X"})"), 1u);
    EXPECT_EQ(s.at(R"(byteward_custom_meter_paused{name="Trip",id="X#2"})"), "1");
}

TEST(UsageMetricsText, NumbersReadBackExactlyInAnyForm) {
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0, "0"},
        {5000000, "5000000"},
        {6000000000.0, "6000000000"},
        {19821936.21271885, "19821936.21271885"},
        {0.1, "0.1"},
        {1e300, "1e+300"},
        {std::numeric_limits<double>::infinity(), "+Inf"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
    };
    for (const auto &c : cases) {
        UsageMetrics m;
        m.types.push_back({});
        m.types.back().quotaBytes = c.value;
        EXPECT_EQ(samples(metricsText(m)).at(R"(byteward_quota_bytes{type="cellular"})"), c.text);
    }
}

TEST(UsageMetricsText, OnlyFamiliesWithSamplesAreAnnounced) {
    UsageMetrics m;
    m.version = "1.2.3";
    m.types.push_back({});
    const std::string text = metricsText(m);
    EXPECT_EQ(text, "# HELP byteward_build_info The Byteward version that wrote these figures.\n"
                    "# TYPE byteward_build_info gauge\n"
                    "byteward_build_info{version=\"1.2.3\"} 1\n");
}

TEST(UsageMetrics, MilestonesAsTheAlertsReachThem) {
    const struct {
        double remaining, milestone;
    } cases[] = {{100, 0},
                 {50.01, 0},
                 {50, 50},
                 {35, 65},
                 {20.5, 65},
                 {20, 80},
                 {10, 90},
                 {4.2, 95},
                 {0, 100},
                 {-30, 100},
                 {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto &c : cases)
        EXPECT_EQ(milestoneReached(c.remaining), c.milestone) << c.remaining;
}

class UsageMetricsFromRecords : public ::testing::Test {
  protected:
    UsageMetricsFromRecords() {
        env.clock.current = at("2026-12-11T12:00");
        // The first read settles the one-time conversion, which would overwrite the plan.
        cycle.settings().getSettings();
        plan("cellularDataLimit", Value(1.5), "cellularDataLimitUnit", "GB");
        cycle.settings().getSettings();
    }
    Instant at(const char *iso) { return *parseIso8601(iso, env.calendar); }
    void plan(const char *limitKey, Value limit, const char *unitKey, const char *unit) {
        env.defaults().setObject(limitKey, std::move(limit));
        env.defaults().setObject(unitKey, Value(unit));
        env.defaults().synchronize();
    }
    // A 31-day period from Dec 1, ten days gone at noon of the eleventh.
    void period(AppData &r, double usedMB) {
        r.lastBillingDate = at("2026-12-01T00:00");
        r.nextBillingDate = at("2027-01-01T00:00");
        r.billingDaysTotal = 31;
        r.billingDaysElapsed = 10;
        r.dataThisMonth = usedMB * MB;
        r.dataThisMonthSent = usedMB * MB / 4;
        r.dataThisMonthRecd = usedMB * MB * 3 / 4;
    }
    static TypeMetrics figures(const UpdateCycle &of, DataType type) {
        return usageMetrics(of, {}, "test").types[type == DataType::WiFi ? 1 : 0];
    }
    TypeMetrics figures(DataType type) const { return figures(cycle, type); }

    test::TestEnv env;
    UpdateCycle cycle{env.services()};
};

TEST_F(UsageMetricsFromRecords, LimitedPlanMatchesTheDashboardInBytes) {
    AppData &r = cycle.record(DataType::Cellular);
    r.appDataType = kCellular;
    period(r, 600);
    const TypeMetrics m = figures(DataType::Cellular);
    // What the dashboard shows in MB, here in bytes and without its single precision.
    const PeriodFigures f = cycle.periodFigures(r, cycle.planLimit(DataType::Cellular));
    ASSERT_TRUE(m.quotaBytes && m.milestonePercent);
    ASSERT_TRUE(m.idealBytes && m.projectedBytes);
    EXPECT_EQ(m.quotaBytes.value(), 1.5 * 1024 * MB);
    EXPECT_NEAR(m.idealBytes.value() / MB, f.ideal, 0.01);
    EXPECT_NEAR(m.projectedBytes.value() / MB, f.projected, 0.01);
    EXPECT_NEAR(m.projectedBytes.value(), 600 * MB / 10.5 * 31, 1);
    EXPECT_EQ(m.milestonePercent.value(), 0); // 39 % used
    EXPECT_EQ(m.periodStart.value(), secondsSince1970(at("2026-12-01T00:00")));
    EXPECT_EQ(m.periodEnd.value(), secondsSince1970(at("2027-01-01T00:00")));
    ASSERT_TRUE(m.period);
    EXPECT_EQ(m.period.value().both, 600 * MB);
    EXPECT_EQ(m.period.value().received, 450 * MB);
}

TEST_F(UsageMetricsFromRecords, FiguresARecordLacksAreAbsentNotZero) {
    const struct {
        const char *what;
        bool limited, hasPeriod;
        double today;
        bool quota, ideal, periodDates, todayBytes;
    } cases[] = {
        {"limited plan in a period", true, true, 5, true, true, true, true},
        {"unlimited plan", false, true, 5, false, false, true, true},
        {"limited plan, no period yet", true, false, 5, true, false, false, true},
        {"nothing yet today", true, true, -1, true, true, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        plan("cellularDataLimit", Value(c.limited ? 2 : 0), "cellularDataLimitUnit", "GB");
        UpdateCycle fresh(env.services());
        fresh.settings().getSettings();
        AppData &r = fresh.record(DataType::Cellular);
        r.appDataType = kCellular;
        if (c.hasPeriod) period(r, 100);
        r.dataToday = c.today;
        r.dataTodaySent = r.dataTodayRecd = c.today;
        const TypeMetrics m = figures(fresh, DataType::Cellular);
        EXPECT_EQ(m.quotaBytes.has_value(), c.quota);
        EXPECT_EQ(m.milestonePercent.has_value(), c.quota);
        EXPECT_EQ(m.idealBytes.has_value(), c.ideal);
        EXPECT_EQ(m.projectedBytes.has_value(), c.ideal);
        EXPECT_EQ(m.periodStart.has_value(), c.periodDates);
        EXPECT_EQ(m.today.has_value(), c.todayBytes);
        EXPECT_FALSE(m.lastUpdate.has_value());
    }
}

TEST_F(UsageMetricsFromRecords, AQuotaBelowOneDisplayUnitIsStillAQuota) {
    plan("wifiDataLimit", Value(500), "wifiDataLimitUnit", "MB");
    env.defaults().setObject("dataunit_settings", Value("GB"));
    env.defaults().synchronize();
    cycle.settings().getSettings();
    AppData &r = cycle.record(DataType::WiFi);
    r.appDataType = kWiFi;
    period(r, 480);
    const TypeMetrics m = figures(DataType::WiFi);
    ASSERT_TRUE(m.quotaBytes);
    EXPECT_EQ(m.quotaBytes.value(), 500 * MB);
    EXPECT_EQ(m.milestonePercent.value(), 95); // 4 % left
}

} // namespace
} // namespace byteward
