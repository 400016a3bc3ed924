// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/app_stats.h"

#include "platform/files.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <linux/magic.h>
#include <nlohmann/json.hpp>
#include <sys/statfs.h>
#include <unistd.h>

namespace byteward {

namespace {

using Json = nlohmann::json;

bool fail(std::string *error, std::string why) {
    if (error != nullptr) *error = std::move(why);
    return false;
}

bool readTraffic(const Json &interfaces, InterfaceTraffic &out, std::string *error) {
    if (!interfaces.is_object()) return fail(error, "interfaces are not an object");
    for (const auto &[name, counts] : interfaces.items()) {
        if (!counts.is_object()) return fail(error, "the counts of " + name + " are not an object");
        Traffic traffic;
        for (const auto &[key, field] :
             {std::pair{"rx", &traffic.received}, std::pair{"tx", &traffic.sent}}) {
            const auto found = counts.find(key);
            if (found == counts.end() || !found->is_number() || found->get<double>() < 0 ||
                !std::isfinite(found->get<double>()))
                return fail(error, "the counts of " + name + " are not byte counts");
            *field = found->get<double>();
        }
        out[name] += traffic;
    }
    return true;
}

bool readCounts(const Json &object, AppStatsCounts &out, std::string *error) {
    const auto epoch = object.find("epoch");
    if (epoch == object.end() || !epoch->is_string() || epoch->get<std::string>().empty())
        return fail(error, "no epoch");
    out.epoch = epoch->get<std::string>();
    const auto cgroups = object.find("cgroups");
    if (cgroups == object.end() || !cgroups->is_array()) return fail(error, "no list of cgroups");
    for (const Json &entry : *cgroups) {
        if (!entry.is_object()) return fail(error, "a cgroup is not an object");
        const auto path = entry.find("path");
        const auto interfaces = entry.find("interfaces");
        if (path == entry.end() || !path->is_string() || interfaces == entry.end())
            return fail(error, "a cgroup has no path or no interfaces");
        // A path that appears twice is one cgroup counted in two pieces.
        if (!readTraffic(*interfaces, out.cgroups[path->get<std::string>()], error)) return false;
    }
    const auto other = object.find("other");
    if (other != object.end() && !readTraffic(*other, out.other, error)) return false;
    return true;
}

double numberOr(const Json &object, const char *key, double fallback) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? found->get<double>() : fallback;
}

std::filesystem::path cgroupRoot() {
    if (const char *root = std::getenv("BYTEWARD_CGROUP_ROOT"); root != nullptr && *root != 0)
        return root;
    for (const char *candidate : {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"}) {
        struct statfs fs {};
        if (statfs(candidate, &fs) == 0 && fs.f_type == CGROUP2_SUPER_MAGIC) return candidate;
    }
    return {};
}

} // namespace

std::optional<AppStatsSnapshot> parseAppStatsSnapshot(std::string_view json, std::string *error) {
    const Json root = Json::parse(json, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        fail(error, "not a JSON object");
        return std::nullopt;
    }
    const auto format = root.find("format");
    if (format == root.end() || !format->is_number_integer() || format->get<int>() != 1) {
        fail(error, "not a snapshot of format 1");
        return std::nullopt;
    }
    AppStatsSnapshot snapshot;
    if (!readCounts(root, snapshot.current, error)) return std::nullopt;
    if (const auto boot = root.find("boot_id"); boot != root.end() && boot->is_string())
        snapshot.bootId = boot->get<std::string>();
    snapshot.started = numberOr(root, "started", 0);
    snapshot.written = numberOr(root, "written", 0);
    if (const auto previous = root.find("previous");
        previous != root.end() && !previous->is_null()) {
        AppStatsCounts counts;
        if (!previous->is_object() || !readCounts(*previous, counts, error)) return std::nullopt;
        snapshot.previous = std::move(counts);
    }
    return snapshot;
}

std::filesystem::path appStatsDirectory() {
    if (const char *dir = std::getenv("BYTEWARD_APPSTATS_DIR"); dir != nullptr && *dir != 0)
        return dir;
    return "/run/byteward/apps";
}

std::optional<AppStatsSnapshot> readOwnAppStats(std::string *error) {
    const auto path = appStatsDirectory() / std::to_string(getuid());
    std::string readError;
    const auto text = readWholeFile(path, &readError);
    if (!text) {
        if (error != nullptr)
            *error =
                readError.empty() ? "no per-application counts at " + path.string() : readError;
        return std::nullopt;
    }
    std::string why;
    auto snapshot = parseAppStatsSnapshot(*text, &why);
    if (!snapshot && error != nullptr) *error = path.string() + ": " + why;
    return snapshot;
}

std::string cgroupProcessName(const std::string &cgroupPath) {
    // The path comes from cgroup names people choose: it only ever names a folder to read in.
    const std::filesystem::path relative(cgroupPath);
    for (const auto &part : relative)
        if (part == "..") return {};
    const auto root = cgroupRoot();
    if (root.empty()) return {};
    std::ifstream procs(root / relative.relative_path() / "cgroup.procs");
    long pid = 0;
    if (!(procs >> pid) || pid <= 0) return {};
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

} // namespace byteward
