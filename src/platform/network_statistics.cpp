// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/network_statistics.h"

#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace byteward {

namespace fs = std::filesystem;

namespace {

constexpr unsigned long kLoopbackFlag = 0x8;     // IFF_LOOPBACK
constexpr unsigned long kLoopbackLinkType = 772; // ARPHRD_LOOPBACK

bool parseCounter(const std::string &text, std::uint64_t &out) {
    const char *begin = text.c_str();
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(begin, &end, 10);
    if (end == begin || errno != 0 || text.find('-') != std::string::npos) return false;
    out = value;
    return true;
}

std::string devTypeOf(const fs::path &dir) {
    const auto uevent = readWholeFile(dir / "uevent");
    if (!uevent) return {};
    std::istringstream lines(*uevent);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind("DEVTYPE=", 0) == 0) return line.substr(8);
    return {};
}

// The IFF_LOOPBACK flag, or the loopback link type where a tree has no flags file.
bool isLoopback(const fs::path &dir) {
    if (const auto flags = readWholeFile(dir / "flags"))
        return (std::strtoul(flags->c_str(), nullptr, 16) & kLoopbackFlag) != 0;
    const auto type = readWholeFile(dir / "type");
    return type && std::strtoul(type->c_str(), nullptr, 10) == kLoopbackLinkType;
}

std::int64_t readIndex(const fs::path &file) {
    std::uint64_t value = 0;
    const auto text = readWholeFile(file);
    return text && parseCounter(*text, value) ? static_cast<std::int64_t>(value) : -1;
}

} // namespace

SysfsNetworkStatistics::SysfsNetworkStatistics() {
    const char *root = std::getenv("BYTEWARD_NET_ROOT");
    root_ = root != nullptr && *root != '\0' ? fs::path(root) : fs::path("/sys/class/net");
}

StatsSnapshot SysfsNetworkStatistics::read() const {
    StatsSnapshot snapshot;
    std::error_code ec;
    fs::directory_iterator entries(root_, ec);
    if (ec) {
        snapshot.error =
            "cannot list network interfaces in " + root_.string() + ": " + ec.message();
        return snapshot;
    }
    for (const auto &entry : entries) {
        const fs::path &dir = entry.path();
        const fs::path stats = dir / "statistics";
        if (!fs::is_directory(stats, ec)) continue; // not a network device
        InterfaceStats item;
        item.name = dir.filename().string();
        std::string readError;
        const auto rx = readWholeFile(stats / "rx_bytes", &readError);
        const auto tx = readWholeFile(stats / "tx_bytes", &readError);
        // An interface that vanished between the listing and the read is absent, not broken.
        if (!fs::exists(dir, ec)) continue;
        // A counter that exists but cannot be read must not pass for zero: the update would
        // take it for a counter restart.
        if (!rx || !tx || !parseCounter(*rx, item.receivedBytes) ||
            !parseCounter(*tx, item.sentBytes)) {
            snapshot.interfaces.clear();
            snapshot.error = "cannot read the byte counters of " + item.name +
                             (readError.empty() ? std::string() : ": " + readError);
            return snapshot;
        }
        item.loopback = isLoopback(dir);
        item.devType = devTypeOf(dir);
        item.wireless = fs::exists(dir / "phy80211", ec) || fs::exists(dir / "wireless", ec);
        item.index = readIndex(dir / "ifindex");
        item.link = readIndex(dir / "iflink");
        for (fs::directory_iterator link(dir, ec), end; !ec && link != end; link.increment(ec)) {
            const std::string linkName = link->path().filename().string();
            if (linkName.rfind("lower_", 0) == 0) item.lowers.push_back(linkName.substr(6));
        }
        std::sort(item.lowers.begin(), item.lowers.end());
        const fs::path driver = fs::read_symlink(dir / "device" / "driver", ec);
        if (!ec) item.driver = driver.filename().string();
        snapshot.interfaces.push_back(std::move(item));
    }
    // The order a directory lists in is arbitrary; callers take the first match by name.
    std::sort(snapshot.interfaces.begin(), snapshot.interfaces.end(),
              [](const InterfaceStats &a, const InterfaceStats &b) { return a.name < b.name; });
    return snapshot;
}

} // namespace byteward
