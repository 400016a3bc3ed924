// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/network_statistics.h"

#include "platform/files.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace byteward {

namespace fs = std::filesystem;

namespace {

constexpr unsigned long kLoopbackFlag = 0x8;     // IFF_LOOPBACK
constexpr unsigned long kLoopbackLinkType = 772; // ARPHRD_LOOPBACK
// Every attribute read here is one short line; sysfs gives at most a page.
constexpr std::size_t kAttributeBytes = 4096;

// A descriptor closed when it goes out of scope.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

bool parseCounter(std::string_view text, std::uint64_t &out) {
    if (text.find('-') != std::string_view::npos) return false;
    const std::string copy(text);
    const char *begin = copy.c_str();
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(begin, &end, 10);
    if (end == begin || errno != 0) return false;
    out = value;
    return true;
}

// Reads one attribute relative to an interface's folder: paths resolved from the folder, not
// from the root, spare the kernel a walk through /sys/class/net's links for every file. Empty
// when it cannot be read; `error` then says why (left empty when it does not exist).
std::optional<std::string> readAttribute(int dir, const char *name, std::string *error = nullptr) {
    const Fd fd(::openat(dir, name, O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (error != nullptr) *error = errno == ENOENT ? std::string() : std::strerror(errno);
        return std::nullopt;
    }
    // Not zero-filled: a sample reads dozens of these.
    const auto buffer = std::make_unique_for_overwrite<char[]>(kAttributeBytes);
    std::size_t got = 0;
    while (got < kAttributeBytes) {
        const ssize_t n = ::read(fd.get(), buffer.get() + got, kAttributeBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (error != nullptr) *error = std::string("read failed: ") + std::strerror(errno);
            return std::nullopt;
        }
        const auto asked = kAttributeBytes - got;
        got += static_cast<std::size_t>(n);
        // sysfs hands over an attribute in one read, and a file read short is at its end: the
        // read that would return nothing is spared.
        if (static_cast<std::size_t>(n) < asked) break;
    }
    return std::string(buffer.get(), got);
}

// The entries of a folder, read straight through its descriptor: one call where a directory
// stream would also stat the folder and set its flags. `keep(name, inode)` takes each entry.
// sysfs fills the buffer until the next entry does not fit, so there a listing that leaves room
// for the longest entry is whole, and the call that would return nothing is spared.
template <typename Keep> bool listFolder(int dir, bool onSysfs, Keep keep) {
    constexpr std::size_t kEntries = 64;
    constexpr std::size_t kBytes = kEntries * sizeof(dirent64);
    // Not zero-filled: the kernel writes what is read.
    const auto buffer = std::make_unique_for_overwrite<dirent64[]>(kEntries);
    auto *bytes = reinterpret_cast<char *>(buffer.get());
    for (;;) {
        const ssize_t n = ::getdents64(dir, bytes, kBytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        for (ssize_t at = 0; at < n;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(bytes + at);
            const std::string_view name(entry->d_name);
            if (name != "." && name != "..") keep(name, entry->d_ino);
            at += entry->d_reclen;
        }
        if (onSysfs && kBytes - static_cast<std::size_t>(n) >= sizeof(dirent64)) return true;
    }
}

bool onSysfs(int dir) {
    struct statfs info {};
    return ::fstatfs(dir, &info) == 0 && info.f_type == SYSFS_MAGIC;
}

bool exists(int dir, const char *name) {
    struct stat info {};
    return ::fstatat(dir, name, &info, 0) == 0;
}

bool isDirectory(int dir, const char *name) {
    struct stat info {};
    return ::fstatat(dir, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

std::string devTypeOf(int dir) {
    const auto uevent = readAttribute(dir, "uevent");
    if (!uevent) return {};
    std::string_view rest(*uevent);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        if (line.rfind("DEVTYPE=", 0) == 0) return std::string(line.substr(8));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return {};
}

// The IFF_LOOPBACK flag, or the loopback link type where a tree has no flags file.
bool isLoopback(int dir) {
    if (const auto flags = readAttribute(dir, "flags"))
        return (std::strtoul(flags->c_str(), nullptr, 16) & kLoopbackFlag) != 0;
    const auto type = readAttribute(dir, "type");
    return type && std::strtoul(type->c_str(), nullptr, 10) == kLoopbackLinkType;
}

std::int64_t readIndex(int dir, const char *name) {
    std::uint64_t value = 0;
    const auto text = readAttribute(dir, name);
    return text && parseCounter(*text, value) ? static_cast<std::int64_t>(value) : -1;
}

// The lower_* links. Listing moves the descriptor's position, which opening relative to it
// does not use.
std::vector<std::string> lowersOf(int dir, bool sysfs) {
    std::vector<std::string> lowers;
    if (!listFolder(dir, sysfs, [&lowers](std::string_view name, ino_t) {
            if (name.rfind("lower_", 0) == 0) lowers.emplace_back(name);
        }))
        lowers.clear();
    for (std::string &lower : lowers)
        lower.erase(0, 6);
    std::sort(lowers.begin(), lowers.end());
    return lowers;
}

std::string driverOf(int dir) {
    std::array<char, PATH_MAX> target{};
    const ssize_t n = ::readlinkat(dir, "device/driver", target.data(), target.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) return {};
    const std::string_view path(target.data(), static_cast<std::size_t>(n));
    const std::size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace

SysfsNetworkStatistics::SysfsNetworkStatistics() {
    const char *root = std::getenv("BYTEWARD_NET_ROOT");
    root_ = root != nullptr && *root != '\0' ? fs::path(root) : fs::path("/sys/class/net");
}

SysfsNetworkStatistics::SysfsNetworkStatistics(fs::path root) : root_(std::move(root)) {
}

SysfsNetworkStatistics::~SysfsNetworkStatistics() = default;

StatsSnapshot SysfsNetworkStatistics::read() const {
    StatsSnapshot snapshot;
    const Fd root(::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const std::lock_guard lock(cacheMutex_);
    if (root.get() >= 0 && !onSysfs_) onSysfs_ = onSysfs(root.get());
    const bool sysfs = onSysfs_.value_or(false);
    std::vector<std::pair<std::string, ino_t>> entries;
    if (root.get() < 0 ||
        !listFolder(root.get(), sysfs, [&entries](std::string_view name, ino_t inode) {
            entries.emplace_back(name, inode);
        })) {
        snapshot.error = "cannot list network interfaces in " + root_.string() + ": " +
                         std::generic_category().message(errno);
        return snapshot;
    }

    std::map<std::string, Fixed, std::less<>> seen;
    for (auto &[name, entry] : entries) {
        const Fd dir(::openat(root.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0) continue;
        std::string readError;
        const auto rx = readAttribute(dir.get(), "statistics/rx_bytes", &readError);
        // Asked only when the counter is missing: most entries are devices.
        if (!rx && readError.empty() && !isDirectory(dir.get(), "statistics")) continue;
        InterfaceStats item;
        item.name = std::move(name);
        const auto tx = readAttribute(dir.get(), "statistics/tx_bytes", &readError);
        // An interface that vanished between the listing and the read is absent, not broken.
        if ((!rx || !tx) && !exists(root.get(), item.name.c_str())) continue;
        // A counter that exists but cannot be read must not pass for zero: the update would
        // take it for a counter restart.
        if (!rx || !tx || !parseCounter(*rx, item.receivedBytes) ||
            !parseCounter(*tx, item.sentBytes)) {
            snapshot.interfaces.clear();
            snapshot.error = "cannot read the byte counters of " + item.name +
                             (readError.empty() ? std::string() : ": " + readError);
            return snapshot;
        }
        const auto known = fixed_.find(item.name);
        // sysfs numbers its entries and never gives a number twice: the entry an interface had at
        // the last sample is the same interface, with the same index, as long as it stays. A
        // new interface of the same name, or one renamed to it, is a new entry. (Other trees may
        // give a number again, so there the index is read each time.)
        const bool sameEntry = sysfs && known != fixed_.end() && known->second.entry == entry &&
                               known->second.index >= 0;
        item.index = sameEntry ? known->second.index : readIndex(dir.get(), "ifindex");
        // The link a tunnel sits on can be changed while it stays, so it is read each time.
        item.link = readIndex(dir.get(), "iflink");
        // What kind of link it is never changes while the kernel keeps its index, so a daemon
        // reads it once per interface, not once a sample. Trees without indexes are read whole.
        Fixed kind;
        if (item.index >= 0 && known != fixed_.end() && known->second.index == item.index) {
            kind = known->second;
        } else {
            kind.index = item.index;
            kind.loopback = isLoopback(dir.get());
            kind.devType = devTypeOf(dir.get());
            kind.wireless = exists(dir.get(), "phy80211") || exists(dir.get(), "wireless");
            kind.driver = driverOf(dir.get());
        }
        kind.entry = sysfs ? entry : 0;
        item.loopback = kind.loopback;
        item.devType = kind.devType;
        item.wireless = kind.wireless;
        item.driver = kind.driver;
        if (item.index >= 0) seen.emplace(item.name, std::move(kind));
        // Stacking can change at any time (a bond gains a port), so it is listed every time.
        item.lowers = lowersOf(dir.get(), sysfs);
        snapshot.interfaces.push_back(std::move(item));
    }
    fixed_ = std::move(seen);
    // The order a directory lists in is arbitrary; callers take the first match by name.
    std::sort(snapshot.interfaces.begin(), snapshot.interfaces.end(),
              [](const InterfaceStats &a, const InterfaceStats &b) { return a.name < b.name; });
    return snapshot;
}

} // namespace byteward
