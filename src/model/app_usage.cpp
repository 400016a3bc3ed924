// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Per-application usage: which program moved the bytes the dashboards count.
#include "model/app_usage.h"

#include "platform/desktop_entry.h"
#include "platform/i18n.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

namespace byteward {

namespace {

using Json = nlohmann::json;

constexpr std::size_t kMaxKeyBytes = 200;
// Days of a period kept per application: the longest custom period, with room.
constexpr std::size_t kMaxDays = 400;

// Launchers that prefix the application id in "app-<launcher>-<id>-<n>.scope".
constexpr const char *kLaunchers[] = {
    "gnome", "kde",  "flatpak",  "dbus", "xfce", "lxqt",    "mate",          "cinnamon", "budgie",
    "sway",  "niri", "hyprland", "snap", "xdg",  "systemd", "gnome-session", "plasma"};

bool endsWith(const std::string &text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// systemd escapes bytes of a unit name as \xNN ("-" inside an id is \x2d).
std::string unescapeUnit(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) != 0 &&
            std::isxdigit(static_cast<unsigned char>(text[i + 3])) != 0) {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// No control characters, valid UTF-8, bounded: it is shown and stored.
std::string cleanName(const std::string &raw) {
    std::string out;
    for (const char c : validUtf8(raw)) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    if (out.size() > kMaxKeyBytes) {
        std::size_t cut = kMaxKeyBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    return out;
}

std::vector<std::string> splitUnescaped(const std::string &text) {
    std::vector<std::string> parts{""};
    for (const char c : text) {
        if (c == '-')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// "gnome-org.gnome.Epiphany" → "org.gnome.Epiphany"; "org.example.App" → itself.
std::string withoutLauncher(const std::string &name) {
    for (const char *launcher : kLaunchers) {
        const std::string prefix = std::string(launcher) + "-";
        if (name.size() > prefix.size() && name.rfind(prefix, 0) == 0)
            return name.substr(prefix.size());
    }
    const auto parts = splitUnescaped(name);
    // An unknown launcher still shows as a word without dots before a reverse-DNS id.
    if (parts.size() >= 2 && parts[0].find('.') == std::string::npos &&
        parts[1].find('.') != std::string::npos)
        return name.substr(parts[0].size() + 1);
    return name;
}

std::optional<std::string> applicationId(const std::string &unit) {
    if (unit.rfind("app-", 0) != 0) return std::nullopt;
    std::string rest = unit.substr(4);
    if (endsWith(rest, ".scope")) {
        rest.resize(rest.size() - 6);
        // The last part is the launcher's instance number or random string.
        const auto dash = rest.rfind('-');
        if (dash == std::string::npos || dash == 0) return std::nullopt;
        rest.resize(dash);
    } else if (endsWith(rest, ".service")) {
        rest.resize(rest.size() - 8);
        if (const auto at = rest.find('@'); at != std::string::npos) rest.resize(at);
    } else {
        return std::nullopt;
    }
    const std::string id = unescapeUnit(withoutLauncher(rest));
    if (id.empty()) return std::nullopt;
    return id;
}

std::int64_t micros(Instant instant) {
    return instant.time_since_epoch().count();
}
Instant instantOf(const Json &value) {
    return Instant(std::chrono::microseconds(value.get<std::int64_t>()));
}

Json trafficJson(const Traffic &traffic) {
    return Json::array({traffic.received, traffic.sent});
}
Traffic trafficOf(const Json &value) {
    if (!value.is_array() || value.size() != 2 || !value[0].is_number() || !value[1].is_number())
        throw std::runtime_error("a traffic entry is not [received, sent]");
    return {value[0].get<double>(), value[1].get<double>()};
}

template <class Map> Json mapJson(const Map &map) {
    Json out = Json::object();
    for (const auto &[key, traffic] : map)
        out[key] = trafficJson(traffic);
    return out;
}
AppTraffic appsOf(const Json &value) {
    AppTraffic out;
    for (const auto &[key, traffic] : value.items())
        out[key] = trafficOf(traffic);
    return out;
}
InterfaceTraffic interfacesOf(const Json &value) {
    InterfaceTraffic out;
    for (const auto &[key, traffic] : value.items())
        out[key] = trafficOf(traffic);
    return out;
}

Json spanJson(const AppUsage::Span &span) {
    return {{"start", micros(span.start)}, {"end", micros(span.end)}, {"apps", mapJson(span.apps)}};
}
AppUsage::Span spanOf(const Json &value) {
    return {instantOf(value.at("start")), instantOf(value.at("end")), appsOf(value.at("apps"))};
}

Json typeJson(const AppUsage::TypeState &state) {
    Json out = {{"today", mapJson(state.today)}, {"period", mapJson(state.period)}};
    if (state.periodStart) out["periodStart"] = micros(*state.periodStart);
    if (state.dayStart) out["dayStart"] = micros(*state.dayStart);
    Json days = Json::array();
    for (const auto &day : state.days)
        days.push_back(spanJson(day));
    out["days"] = std::move(days);
    return out;
}
AppUsage::TypeState typeOf(const Json &value) {
    AppUsage::TypeState state;
    if (value.contains("periodStart")) state.periodStart = instantOf(value.at("periodStart"));
    if (value.contains("dayStart")) state.dayStart = instantOf(value.at("dayStart"));
    state.today = appsOf(value.at("today"));
    state.period = appsOf(value.at("period"));
    for (const Json &day : value.at("days"))
        state.days.push_back(spanOf(day));
    return state;
}

std::string serialize(const AppUsage &usage) {
    Json seen = Json::object();
    for (const auto &[path, interfaces] : usage.seen)
        seen[path] = mapJson(interfaces);
    Json closed = Json::array();
    for (const auto &period : usage.closed) {
        Json entry = spanJson(period.span);
        entry["type"] = dataTypeName(period.type);
        closed.push_back(std::move(entry));
    }
    const Json root = {{"format", 1},
                       {"epoch", usage.epoch},
                       {"seen", std::move(seen)},
                       {"seenOther", mapJson(usage.seenOther)},
                       {"keys", usage.keys},
                       {"cellular", typeJson(usage.types.cellular)},
                       {"wifi", typeJson(usage.types.wifi)},
                       {"closed", std::move(closed)}};
    return root.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

AppUsage deserialize(const std::string &text) {
    const Json root = Json::parse(text);
    if (!root.is_object() || root.value("format", 0) != 1)
        throw std::runtime_error("not a store of format 1");
    AppUsage usage;
    usage.epoch = root.at("epoch").get<std::string>();
    for (const auto &[path, interfaces] : root.at("seen").items())
        usage.seen[path] = interfacesOf(interfaces);
    usage.seenOther = interfacesOf(root.at("seenOther"));
    usage.keys = root.at("keys").get<std::map<std::string, std::string>>();
    usage.types.cellular = typeOf(root.at("cellular"));
    usage.types.wifi = typeOf(root.at("wifi"));
    for (const Json &entry : root.at("closed")) {
        const std::string type = entry.at("type").get<std::string>();
        usage.closed.push_back(
            {type == "wifi" ? DataType::WiFi : DataType::Cellular, spanOf(entry)});
    }
    return usage;
}

// What grew from `before` to `now`, direction by direction; a count that went down started again.
Traffic growth(const Traffic *before, const Traffic &now) {
    if (before == nullptr) return now;
    return {now.received >= before->received ? now.received - before->received : now.received,
            now.sent >= before->sent ? now.sent - before->sent : now.sent};
}

} // namespace

std::string appKeyForCgroup(const std::string &path,
                            const std::function<std::string(const std::string &)> &processName) {
    std::vector<std::string> units;
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!part.empty()) units.push_back(part);
            part.clear();
        } else {
            part += path[i];
        }
    }
    // The innermost unit decides: an application started from a service's scope is that
    // application.
    for (auto unit = units.rbegin(); unit != units.rend(); ++unit) {
        if (auto id = applicationId(*unit)) return "app:" + cleanName(*id);
        if (endsWith(*unit, ".service")) {
            if (unit->rfind("user@", 0) == 0) return AppUsage::kSystemKey;
            std::string name = unit->substr(0, unit->size() - 8);
            if (const auto at = name.find('@'); at != std::string::npos) name.resize(at);
            return "service:" + cleanName(unescapeUnit(name));
        }
        if (endsWith(*unit, ".scope")) {
            if (*unit == "init.scope" || unit->rfind("session-", 0) == 0)
                return AppUsage::kSystemKey;
            const std::string name = processName ? processName(path) : std::string();
            return name.empty() ? AppUsage::kSystemKey : "process:" + cleanName(name);
        }
    }
    return AppUsage::kSystemKey;
}

std::filesystem::path AppUsage::filePath(const Services &services) {
    return services.paths.dataDir / kFileName;
}

namespace {

// The store from the file's text; empty with `error` saying why when it cannot be understood.
AppUsage parseStore(const std::string &text, const std::filesystem::path &path,
                    std::string *error) {
    try {
        return deserialize(text);
    } catch (const std::exception &e) {
        if (error != nullptr) *error = path.string() + " cannot be read: " + e.what();
        return {};
    }
}

} // namespace

AppUsage AppUsage::load(Services &services, std::string *error) {
    std::string readError;
    const auto text = readWholeFile(filePath(services), &readError);
    if (!text) {
        if (error != nullptr) *error = readError;
        return {};
    }
    return parseStore(*text, filePath(services), error);
}

FileResult AppUsage::save(Services &services) const {
    return writeFileAtomically(filePath(services), serialize(*this));
}

void AppUsage::roll(DataType type, std::optional<Instant> periodStart, Instant dayStart) {
    TypeState &state = types[type];
    if (state.dayStart && *state.dayStart != dayStart) {
        if (!state.today.empty()) state.days.push_back({*state.dayStart, dayStart, state.today});
        state.today.clear();
        if (state.days.size() > kMaxDays)
            state.days.erase(state.days.begin(),
                             state.days.begin() + static_cast<long>(state.days.size() - kMaxDays));
    }
    state.dayStart = dayStart;
    if (state.periodStart && periodStart && *state.periodStart != *periodStart) {
        if (!state.period.empty())
            closed.push_back({type, {*state.periodStart, *periodStart, state.period}});
        state.period.clear();
        state.days.clear();
        // The day in progress belongs to the new period from here on.
        state.today.clear();
    }
    if (periodStart) state.periodStart = periodStart;
}

void AppUsage::account(const AppStatsSnapshot &snapshot,
                       const PerType<std::set<std::string>> &interfaces,
                       const std::function<std::string(const std::string &)> &processName) {
    const AppStatsCounts &current = snapshot.current;
    auto add = [&](const std::string &key, const std::string &interface, const Traffic &bytes) {
        if (bytes.total() <= 0) return;
        for (const DataType type : kDataTypes) {
            if (interfaces[type].count(interface) == 0) continue;
            types[type].today[key] += bytes;
            types[type].period[key] += bytes;
            return;
        }
    };
    auto keyOf = [&](const std::string &path) {
        if (const auto found = keys.find(path); found != keys.end()) return found->second;
        std::string key = appKeyForCgroup(path, processName);
        // A process name not found now may be found while the scope still runs.
        if (key != kSystemKey || path.find(".scope") == std::string::npos) keys[path] = key;
        return key;
    };
    // What grew from the counts last seen (`before`, or nothing) to `now`.
    auto addGrowth = [&](const std::map<std::string, InterfaceTraffic> *before,
                         const InterfaceTraffic *otherBefore, const AppStatsCounts &now) {
        for (const auto &[path, counted] : now.cgroups) {
            const InterfaceTraffic *was = nullptr;
            if (before != nullptr)
                if (const auto found = before->find(path); found != before->end())
                    was = &found->second;
            const std::string key = keyOf(path);
            for (const auto &[interface, bytes] : counted) {
                const Traffic *last = nullptr;
                if (was != nullptr)
                    if (const auto found = was->find(interface); found != was->end())
                        last = &found->second;
                add(key, interface, growth(last, bytes));
            }
        }
        for (const auto &[interface, bytes] : now.other) {
            const Traffic *last = nullptr;
            if (otherBefore != nullptr)
                if (const auto found = otherBefore->find(interface); found != otherBefore->end())
                    last = &found->second;
            add(kSystemKey, interface, growth(last, bytes));
        }
    };

    if (epoch.empty()) {
        // The first snapshot: what it holds happened before anything here counted.
    } else if (current.epoch == epoch) {
        addGrowth(&seen, &seenOther, current);
    } else {
        // A new run of the counter: the rest of the run last seen, where the snapshot carries it,
        // then all of the new one (it counts from zero).
        if (snapshot.previous && snapshot.previous->epoch == epoch)
            addGrowth(&seen, &seenOther, *snapshot.previous);
        addGrowth(nullptr, nullptr, current);
    }
    epoch = current.epoch;
    seen = current.cgroups;
    seenOther = current.other;
    // Keys of cgroups the counter no longer lists are not needed again.
    for (auto it = keys.begin(); it != keys.end();)
        it = seen.count(it->first) == 0 ? keys.erase(it) : std::next(it);
}

std::vector<std::pair<std::string, Traffic>> AppUsage::ranked(DataType type, bool today) const {
    const AppTraffic &apps = today ? types[type].today : types[type].period;
    std::vector<std::pair<std::string, Traffic>> rows(apps.begin(), apps.end());
    std::stable_sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) {
        return a.second.total() > b.second.total();
    });
    return rows;
}

std::vector<std::pair<Instant, Traffic>> AppUsage::daysOf(DataType type,
                                                          const std::string &key) const {
    const TypeState &state = types[type];
    std::vector<std::pair<Instant, Traffic>> out;
    for (const Span &day : state.days) {
        const auto found = day.apps.find(key);
        out.emplace_back(day.start, found != day.apps.end() ? found->second : Traffic{});
    }
    if (state.dayStart) {
        const auto found = state.today.find(key);
        out.emplace_back(*state.dayStart, found != state.today.end() ? found->second : Traffic{});
    }
    return out;
}

const AppUsage::ClosedPeriod *AppUsage::closedPeriod(DataType type, Instant start) const {
    for (const auto &period : closed)
        if (period.type == type && period.span.start == start) return &period;
    return nullptr;
}

FileResult updateAppUsage(Services &services, const PerType<AppData> &records,
                          const std::optional<AppStatsSnapshot> &snapshot) {
    const auto path = AppUsage::filePath(services);
    const auto before = readWholeFile(path);
    // Without the counter and without a store there is nothing to keep.
    if (!snapshot && !before) return {};
    std::string loadError;
    AppUsage usage = before ? parseStore(*before, path, &loadError) : AppUsage{};
    if (!loadError.empty()) {
        services.log.line("AppUsage: " + loadError + "; counting starts again");
        if (const auto aside = keepFileAside(path, services.clock.now()))
            services.log.line("AppUsage: the damaged file was kept as " + aside->string());
    }
    PerType<std::set<std::string>> interfaces;
    for (const DataType type : kDataTypes) {
        const AppData &record = records[type];
        const Instant now = record.lastUpdate.value_or(services.clock.now());
        usage.roll(type, record.lastBillingDate, services.calendar.startOfDay(now));
        if (record.interfaceReadings)
            for (const auto &reading : *record.interfaceReadings)
                if (reading.counted) interfaces[type].insert(reading.name);
    }
    if (snapshot) usage.account(*snapshot, interfaces, cgroupProcessName);
    const std::string text = serialize(usage);
    if (before && *before == text && loadError.empty()) return {};
    // Flushed with the records' folder when the cycle runs a batch of flushes.
    return noteWrite(services.log, path,
                     writeFileAtomically(path, text, kPrivateToUser, DirectoryFlush::InBatch));
}

AppUsageRow describeAppKey(const std::string &key) {
    AppUsageRow row;
    row.key = key;
    if (key == AppUsage::kSystemKey) {
        row.name = tr("System");
    } else if (key.rfind("app:", 0) == 0) {
        const std::string id = key.substr(4);
        if (const auto entry = findDesktopEntry(id)) {
            row.name = cleanName(entry->name);
            row.icon = cleanName(entry->icon);
        } else {
            row.name = id;
        }
    } else if (const auto colon = key.find(':'); colon != std::string::npos) {
        row.name = key.substr(colon + 1);
    } else {
        row.name = key;
    }
    return row;
}

std::vector<AppUsageRow> describeApps(const AppTraffic &apps) {
    std::vector<AppUsageRow> rows;
    for (const auto &[key, traffic] : apps) {
        AppUsageRow row = describeAppKey(key);
        row.traffic = traffic;
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const AppUsageRow &a, const AppUsageRow &b) {
        return a.traffic.total() > b.traffic.total();
    });
    return rows;
}

std::string appsCounterHint() {
    return tr("Per-application usage comes from the byteward-appstats system service. Enable it "
              "with: sudo systemctl enable --now byteward-appstats.service");
}

AppUsageReport appUsageReport(const AppUsage &usage, DataType type, bool today,
                              double dashboardFigure, bool counterRunning,
                              const std::string &counterNote) {
    AppUsageReport report;
    report.counterRunning = counterRunning;
    report.counterNote = counterNote;
    report.dashboard = dashboardFigure;
    for (const auto &[key, traffic] : usage.ranked(type, today)) {
        AppUsageRow row = describeAppKey(key);
        row.traffic = traffic;
        report.attributed += traffic.total();
        report.rows.push_back(std::move(row));
    }
    report.notAttributed = std::max(0.0, dashboardFigure - report.attributed);
    return report;
}

} // namespace byteward
