// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// One network interface's counters and what kind of link it is.
struct InterfaceStats {
    std::string name;
    std::uint64_t receivedBytes = 0; // since boot
    std::uint64_t sentBytes = 0;     // since boot
    bool loopback = false;
    std::string devType;   // the kernel's DEVTYPE ("wlan", "wwan", ...); empty when none
    bool wireless = false; // has a phy80211 or wireless entry
    // The kernel's index of this interface; a deleted and re-created interface gets a new one.
    // -1 where the tree does not say.
    std::int64_t index = -1;
    // The index of the interface it sends through (the kernel's iflink); its own index, or -1,
    // when it sits on nothing. A veth's points at its peer, which may be in another namespace.
    std::int64_t link = -1;
    // The interfaces it is stacked on, from its lower_* links (a VLAN's or rmnet's carrier).
    std::vector<std::string> lowers;
    std::string driver; // the kernel driver of its device ("rndis_host", ...); empty: virtual
};

// Every interface at one moment, or why the statistics could not be read at all. An interface
// that does not exist is simply not listed: "absent" is not an error.
struct StatsSnapshot {
    std::vector<InterfaceStats> interfaces;
    std::string error;
    bool ok() const { return error.empty(); }
};

// The operating system's per-interface byte counters.
class NetworkStatistics {
  public:
    virtual ~NetworkStatistics() = default;
    virtual StatsSnapshot read() const = 0;
};

// Reads /sys/class/net/IF/statistics/{rx,tx}_bytes, IF/flags, IF/uevent, IF/phy80211, the
// indexes IF/ifindex and IF/iflink, the IF/lower_* links and the IF/device/driver link.
// BYTEWARD_NET_ROOT points it at another tree of the same layout.
class SysfsNetworkStatistics final : public NetworkStatistics {
  public:
    SysfsNetworkStatistics();
    explicit SysfsNetworkStatistics(std::filesystem::path root);
    ~SysfsNetworkStatistics() override;
    SysfsNetworkStatistics(const SysfsNetworkStatistics &) = delete;
    SysfsNetworkStatistics &operator=(const SysfsNetworkStatistics &) = delete;
    StatsSnapshot read() const override;
    const std::filesystem::path &root() const { return root_; }

  private:
    // What an interface is, kept while the kernel keeps its index.
    struct Fixed {
        std::uint64_t entry = 0; // its number in sysfs's listing; 0 in other trees
        std::int64_t index = -1;
        bool loopback = false;
        std::string devType;
        bool wireless = false;
        std::string driver;
    };

    std::filesystem::path root_;
    mutable std::mutex cacheMutex_;
    mutable std::map<std::string, Fixed, std::less<>> fixed_;
    mutable std::optional<bool> onSysfs_; // known once the folder was opened
};

} // namespace byteward
