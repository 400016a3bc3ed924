// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The figures as monitoring systems scrape them.
#include "model/usage_metrics.h"

#include "model/data_formatter.h"
#include "platform/utf8.h"

#include <array>
#include <charconv>
#include <cmath>
#include <set>

namespace byteward {

namespace {

// Percent of the plan remaining at which each milestone alert fires, most severe first.
constexpr std::array<float, 6> kMilestoneThresholds{0, 5, 10, 20, 35, 50};

std::optional<DirectionBytes> directions(const std::optional<double> &both,
                                         const std::optional<double> &sent,
                                         const std::optional<double> &received) {
    if (!both && !sent && !received) return std::nullopt;
    return DirectionBytes{sent.value_or(0), received.value_or(0), both.value_or(0)};
}

std::optional<double> seconds(const std::optional<Instant> &instant) {
    if (!instant) return std::nullopt;
    return secondsSince1970(*instant);
}

TypeMetrics typeMetrics(const UpdateCycle &cycle, DataType type) {
    const AppData &r = cycle.record(type);
    TypeMetrics m;
    m.type = type;
    m.allTime = directions(r.dataAllTime, r.dataAllTimeSent, r.dataAllTimeRecd);
    m.sinceBoot = directions(r.dataSinceLastBoot, r.dataSinceLastBootSent, r.dataSinceLastBootRecd);
    m.period = directions(r.dataThisMonth, r.dataThisMonthSent, r.dataThisMonthRecd);
    // -1 is the record's "nothing yet today"; no figure is the honest answer.
    if (r.dataToday.value_or(0) != -1.0)
        m.today = directions(r.dataToday, r.dataTodaySent, r.dataTodayRecd);
    m.lastUpdate = seconds(r.lastUpdate);
    const bool hasPeriod = r.lastBillingDate && r.nextBillingDate;
    if (hasPeriod) {
        m.periodStart = seconds(r.lastBillingDate);
        m.periodEnd = seconds(r.nextBillingDate);
    }

    // The same test of "has a plan" as the dashboards and the alerts make.
    const PeriodFigures f = cycle.periodFigures(r, cycle.planLimit(type));
    const PlanSettings &plan = cycle.settings().plans[type];
    if (!f.limited || !plan.dataLimit) return m;
    const double quota = plan.dataLimit->doubleValue() *
                         DataFormatter::bytesPerUnit(AppSettings::text(plan.dataLimitUnit));
    m.quotaBytes = quota;
    m.milestonePercent = milestoneReached(f.remainingPercent);
    if (!hasPeriod) return m;
    // In bytes and double precision, by the dashboards' rules: the figures are what they show,
    // without the rounding of the display unit.
    const double elapsed = f.elapsed;
    const double cycleDays = f.cycleDays;
    const double used = r.dataThisMonth.value_or(0);
    m.idealBytes = cycleDays > 0 ? elapsed / cycleDays * quota : 0;
    m.projectedBytes = elapsed > 0 && used > 0 ? used / elapsed * cycleDays : 0;
    return m;
}

CounterMetrics counterMetrics(const CustomCounter &c) {
    CounterMetrics m;
    m.name = c.name;
    m.id = c.uniqueId;
    m.paused = c.isPaused;
    m.bytes.cellular = {c.cellularDataSent.value_or(0), c.cellularDataReceived.value_or(0),
                        c.cellularDataTotal.value_or(0)};
    m.bytes.wifi = {c.wifiDataSent.value_or(0), c.wifiDataReceived.value_or(0),
                    c.wifiDataTotal.value_or(0)};
    return m;
}

// Label values and help texts must be UTF-8; a name typed on another system may not be, and a
// broken sequence would have the whole scrape rejected: validUtf8 replaces it.
std::string labelValue(std::string_view text) {
    std::string out;
    for (const char c : validUtf8(text)) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// Shortest text that reads back as the same double, in the C form whatever the locale.
std::string number(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
    std::array<char, 64> buffer{};
    // Whole byte counts as digits ("5000000", not "5e+06"), for people reading the page.
    char *const first = buffer.data();
    char *const last = first + buffer.size();
    const auto [end, error] = std::trunc(value) == value && std::fabs(value) < 1e17
                                  ? std::to_chars(first, last, value, std::chars_format::fixed)
                                  : std::to_chars(first, last, value);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string("NaN");
}

using Labels = std::vector<std::pair<const char *, std::string>>;

// One family: its samples, then written with its HELP and TYPE lines when there are any.
class Family {
  public:
    Family(std::string name, std::string type, std::string help)
        : name_(std::move(name)), type_(std::move(type)), help_(std::move(help)) {}

    void add(const Labels &labels, double value) {
        samples_ += name_;
        if (!labels.empty()) {
            samples_ += '{';
            for (std::size_t i = 0; i < labels.size(); ++i) {
                if (i > 0) samples_ += ',';
                samples_ += labels[i].first;
                samples_ += "=\"";
                samples_ += labelValue(labels[i].second);
                samples_ += '"';
            }
            samples_ += '}';
        }
        samples_ += ' ';
        samples_ += number(value);
        samples_ += '\n';
    }

    void addDirections(Labels labels, const DirectionBytes &bytes) {
        labels.emplace_back("direction", "sent");
        add(labels, bytes.sent);
        labels.back().second = "received";
        add(labels, bytes.received);
        labels.back().second = "both";
        add(labels, bytes.both);
    }

    void writeTo(std::string &out) const {
        if (samples_.empty()) return;
        out += "# HELP " + name_ + ' ' + help_ + '\n';
        out += "# TYPE " + name_ + ' ' + type_ + '\n';
        out += samples_;
    }

  private:
    std::string name_;
    std::string type_;
    std::string help_;
    std::string samples_;
};

constexpr const char *kBothNote =
    " Direction \"both\" is the record's own total; do not add it to \"sent\" and \"received\".";

Labels typeLabel(DataType type) {
    return {{"type", dataTypeName(type)}};
}

} // namespace

double milestoneReached(double remainingPercent) {
    for (const float threshold : kMilestoneThresholds)
        if (remainingPercent <= threshold) return 100.0 - threshold;
    return 0;
}

UsageMetrics usageMetrics(const UpdateCycle &cycle, const std::vector<CustomCounter> &counters,
                          std::string version) {
    UsageMetrics metrics;
    metrics.version = std::move(version);
    for (const DataType type : kDataTypes)
        metrics.types.push_back(typeMetrics(cycle, type));
    for (const CustomCounter &counter : counters)
        metrics.counters.push_back(counterMetrics(counter));
    return metrics;
}

UsageMetrics readUsageMetrics(Services &services, std::string version) {
    UpdateCycle cycle(services);
    cycle.settings().getSettings();
    for (const DataType type : kDataTypes) {
        AppData &record = cycle.record(type);
        record.getAppData(dataTypeName(type));
        // A display pass: the period's dates and days as of now, nothing written.
        record.udpateBillingCounter(false);
    }
    return usageMetrics(cycle, CustomCounter::getAllCustomCounters(services), std::move(version));
}

std::string metricsText(const UsageMetrics &metrics) {
    std::string out;
    auto byDirection = [&](const char *name, const char *type, const std::string &help,
                           std::optional<DirectionBytes> TypeMetrics::*figure) {
        Family family(name, type, help + kBothNote);
        for (const TypeMetrics &t : metrics.types)
            if (const auto &bytes = t.*figure) family.addDirections(typeLabel(t.type), *bytes);
        family.writeTo(out);
    };
    auto byType = [&](const char *name, const char *help,
                      std::optional<double> TypeMetrics::*figure) {
        Family family(name, "gauge", help);
        for (const TypeMetrics &t : metrics.types)
            if (const auto &value = t.*figure) family.add(typeLabel(t.type), *value);
        family.writeTo(out);
    };

    byDirection("byteward_all_time_bytes_total", "counter",
                "Bytes counted since the record was created.", &TypeMetrics::allTime);
    byDirection("byteward_since_boot_bytes_total", "counter",
                "Bytes the interfaces counted since the machine started, as of the last update.",
                &TypeMetrics::sinceBoot);
    byDirection("byteward_period_bytes", "gauge",
                "Bytes of the current billing period; it starts again at zero with each period "
                "and may be corrected by hand.",
                &TypeMetrics::period);
    byDirection("byteward_today_bytes", "gauge",
                "Bytes of the current day; absent until the first update of the day.",
                &TypeMetrics::today);
    byType("byteward_quota_bytes", "The plan's quota for a billing period; absent without a limit.",
           &TypeMetrics::quotaBytes);
    byType("byteward_period_start_timestamp_seconds",
           "Start of the current billing period, in seconds since 1970.",
           &TypeMetrics::periodStart);
    byType("byteward_period_end_timestamp_seconds",
           "Start of the next billing period, in seconds since 1970.", &TypeMetrics::periodEnd);
    byType("byteward_projected_bytes",
           "Bytes the period will have used at its end if today's pace holds.",
           &TypeMetrics::projectedBytes);
    byType("byteward_ideal_bytes", "Bytes an even pace through the quota would have used by now.",
           &TypeMetrics::idealBytes);
    byType("byteward_milestone_reached_percent",
           "Highest usage alert level the period has reached, in percent of the quota used "
           "(0, 50, 65, 80, 90, 95 or 100).",
           &TypeMetrics::milestonePercent);
    byType("byteward_last_update_timestamp_seconds",
           "Time of the last update of the record, in seconds since 1970.",
           &TypeMetrics::lastUpdate);

    // "meter", not "counter": a family named after a metric type misleads (promtool says so).
    Family counterBytes("byteward_custom_meter_bytes", "gauge",
                        std::string("Bytes a custom counter has added up, by data type.") +
                            kBothNote);
    Family counterPaused("byteward_custom_meter_paused", "gauge",
                         "1 while a custom counter is paused, else 0.");
    std::set<std::string> ids;
    for (std::size_t i = 0; i < metrics.counters.size(); ++i) {
        const CounterMetrics &c = metrics.counters[i];
        // Counters from old archives have no identifier, and a copy may share one: the series
        // must still be told apart, or the whole scrape is refused.
        std::string id = c.id.empty() ? "#" + std::to_string(i + 1) : c.id;
        while (!ids.insert(id).second)
            id += "#" + std::to_string(i + 1);
        const Labels labels{{"name", c.name}, {"id", id}};
        for (const DataType type : kDataTypes) {
            Labels withType = labels;
            withType.emplace_back("type", dataTypeName(type));
            counterBytes.addDirections(withType, c.bytes[type]);
        }
        counterPaused.add(labels, c.paused ? 1 : 0);
    }
    counterBytes.writeTo(out);
    counterPaused.writeTo(out);

    Family build("byteward_build_info", "gauge", "The Byteward version that wrote these figures.");
    build.add({{"version", metrics.version}}, 1);
    build.writeTo(out);
    return out;
}

} // namespace byteward
