// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/custom_counter.h"
#include "model/data_type.h"
#include "model/update_cycle.h"
#include "storage/services.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace byteward {

// Bytes in each direction as a record keeps them; `both` is the record's own total, which after
// a correction by hand need not be the sum of the other two.
struct DirectionBytes {
    double sent = 0;
    double received = 0;
    double both = 0;
};

// One data type's figures for monitoring systems: bytes, and times in seconds since 1970. A
// figure the record does not have (no period set, an unlimited plan, nothing yet today) is absent
// rather than zero, so that a rule comparing it finds nothing instead of a false value.
struct TypeMetrics {
    DataType type = DataType::Cellular;
    std::optional<DirectionBytes> allTime;
    std::optional<DirectionBytes> sinceBoot;
    std::optional<DirectionBytes> period;
    std::optional<DirectionBytes> today;
    std::optional<double> periodStart;
    std::optional<double> periodEnd;
    std::optional<double> lastUpdate;
    // The plan's figures; only for a plan with a limit, and the projection only with a period.
    std::optional<double> quotaBytes;
    std::optional<double> idealBytes;
    std::optional<double> projectedBytes;
    // The highest usage milestone the period has reached, in percent of the quota used (50, 65,
    // 80, 90, 95, 100); 0 below the first.
    std::optional<double> milestonePercent;
};

// A custom counter's figures. `id` keeps two counters of the same name apart.
struct CounterMetrics {
    std::string name;
    std::string id;
    PerType<DirectionBytes> bytes;
    bool paused = false;
};

// Everything one exposition carries.
struct UsageMetrics {
    std::vector<TypeMetrics> types;
    std::vector<CounterMetrics> counters;
    std::string version;
};

// The figures of a cycle whose records and settings are loaded (after a sample, or a display
// pass), with the custom counters as stored.
UsageMetrics usageMetrics(const UpdateCycle &cycle, const std::vector<CustomCounter> &counters,
                          std::string version);

// Loads both records (a display pass: no sample), the settings and the custom counters, and
// answers their figures.
UsageMetrics readUsageMetrics(Services &services, std::string version);

// The figures in the Prometheus text exposition format (version 0.0.4, which OpenMetrics parsers
// also read): a HELP and a TYPE line for each family that has samples. Never translated.
std::string metricsText(const UsageMetrics &metrics);

// The media type of that text, for an HTTP answer.
inline constexpr const char *kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// The highest milestone reached with this percent of the quota remaining, as the alerts test it
// (see TypeMetrics::milestonePercent).
double milestoneReached(double remainingPercent);

} // namespace byteward
