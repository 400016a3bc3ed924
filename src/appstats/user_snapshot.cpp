// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "appstats/user_snapshot.h"

#include <charconv>
#include <limits>

namespace byteward::appstats {

namespace {

constexpr std::string_view kUserSlices = "/user.slice/user-";
constexpr std::string_view kSliceSuffix = ".slice";

nlohmann::json interfacesJson(const InterfaceCounts &interfaces) {
    nlohmann::json out = nlohmann::json::object();
    for (const auto &[name, counts] : interfaces)
        out[name] = {{"rx", counts.rx}, {"tx", counts.tx}};
    return out;
}

void add(InterfaceCounts &into, const InterfaceCounts &from) {
    for (const auto &[name, counts] : from)
        into[name] += counts;
}

} // namespace

std::optional<uid_t> uidOfPath(std::string_view path) {
    if (!path.starts_with(kUserSlices))
        return std::nullopt;
    path.remove_prefix(kUserSlices.size());
    const std::size_t end = path.find('/');
    std::string_view slice = path.substr(0, end);
    if (!slice.ends_with(kSliceSuffix))
        return std::nullopt;
    const std::string_view digits = slice.substr(0, slice.size() - kSliceSuffix.size());
    // Only what systemd writes: decimal, no sign, no leading zero.
    if (digits.empty() || (digits.size() > 1 && digits.front() == '0'))
        return std::nullopt;
    std::uint64_t value = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc{} || ptr != digits.data() + digits.size())
        return std::nullopt;
    // (uid_t)-1 is "no user" to every system call.
    if (value >= std::numeric_limits<uid_t>::max())
        return std::nullopt;
    return static_cast<uid_t>(value);
}

UserCounts countsForUser(const Totals &totals, uid_t uid) {
    UserCounts user;
    InterfaceCounts all = totals.unnamed;
    InterfaceCounts own;
    for (const auto &[path, interfaces] : totals.named) {
        add(all, interfaces);
        if (uidOfPath(path) == uid) {
            user.cgroups.emplace(path, interfaces);
            add(own, interfaces);
        }
    }
    for (const auto &[name, counts] : all) {
        const Counts mine = own.contains(name) ? own.at(name) : Counts{};
        if (counts - mine != Counts{})
            user.other[name] = counts - mine;
    }
    return user;
}

std::set<uid_t> usersToWrite(const Totals &totals, const std::set<uid_t> &slices) {
    std::set<uid_t> users = slices;
    for (const auto &[path, interfaces] : totals.named)
        if (auto uid = uidOfPath(path))
            users.insert(*uid);
    return users;
}

std::string snapshotText(const RunInfo &run, uid_t uid, const UserCounts &counts, double written,
                         const std::optional<nlohmann::json> &previous) {
    nlohmann::ordered_json out;
    out["format"] = 1;
    out["uid"] = uid;
    out["boot_id"] = run.bootId;
    out["epoch"] = run.epoch;
    out["started"] = run.started;
    out["written"] = written;
    nlohmann::ordered_json cgroups = nlohmann::ordered_json::array();
    for (const auto &[path, interfaces] : counts.cgroups)
        cgroups.push_back({{"path", path}, {"interfaces", interfacesJson(interfaces)}});
    out["cgroups"] = std::move(cgroups);
    out["other"] = interfacesJson(counts.other);
    if (previous)
        out["previous"] = *previous;
    return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::optional<nlohmann::json> previousRun(std::string_view text, const RunInfo &run) {
    const nlohmann::json old = nlohmann::json::parse(text, nullptr, false);
    if (!old.is_object())
        return std::nullopt;
    const auto field = [&](const char *name) -> const nlohmann::json * {
        auto it = old.find(name);
        return it == old.end() ? nullptr : &*it;
    };
    const nlohmann::json *boot = field("boot_id");
    const nlohmann::json *epoch = field("epoch");
    const nlohmann::json *cgroups = field("cgroups");
    const nlohmann::json *other = field("other");
    if (!boot || !boot->is_string() || *boot != run.bootId || !epoch || !epoch->is_string() ||
        *epoch == run.epoch || !cgroups || !cgroups->is_array() || !other || !other->is_object())
        return std::nullopt;
    return nlohmann::json{{"epoch", *epoch}, {"cgroups", *cgroups}, {"other", *other}};
}

} // namespace byteward::appstats
