// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/network_statistics.h"
#include "support/test_env.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

void addInterface(const fs::path &root, const std::string &name, const std::string &rx,
                  const std::string &tx, const std::string &flags = "0x1003",
                  const std::string &uevent = "") {
    test::writeFile(root / name / "statistics" / "rx_bytes", rx + "\n");
    test::writeFile(root / name / "statistics" / "tx_bytes", tx + "\n");
    test::writeFile(root / name / "flags", flags + "\n");
    test::writeFile(root / name / "uevent", uevent);
}

TEST(SysfsNetworkStatistics, ReadsCountersFlagsAndKindsOfEveryInterface) {
    test::TempDir dir;
    addInterface(dir.path(), "wwan0", "5000000000", "1000000000", "0x1091",
                 "DEVTYPE=wwan\nINTERFACE=wwan0\n");
    addInterface(dir.path(), "wlan0", "123", "456", "0x1003", "DEVTYPE=wlan\n");
    fs::create_directories(dir.path() / "wlp2s0" / "phy80211");
    addInterface(dir.path(), "wlp2s0", "1", "2");
    addInterface(dir.path(), "eth0", "18446744073709551615", "0");
    addInterface(dir.path(), "lo", "99", "99", "0x9");
    fs::create_directories(dir.path() / "bonding_masters"); // not a device: no statistics
    test::writeFile(dir.path() / "wwan0" / "ifindex", "7\n");

    const StatsSnapshot snapshot = SysfsNetworkStatistics(dir.path()).read();
    ASSERT_TRUE(snapshot.ok()) << snapshot.error;
    ASSERT_EQ(snapshot.interfaces.size(), 5u);
    const auto &eth0 = snapshot.interfaces[0];
    EXPECT_EQ(eth0.name, "eth0");
    EXPECT_EQ(eth0.receivedBytes, 18446744073709551615ull);
    const auto &lo = snapshot.interfaces[1];
    EXPECT_TRUE(lo.loopback);
    const auto &wlan0 = snapshot.interfaces[2];
    EXPECT_EQ(wlan0.devType, "wlan");
    EXPECT_FALSE(wlan0.loopback);
    const auto &wlp = snapshot.interfaces[3];
    EXPECT_TRUE(wlp.wireless);
    const auto &wwan0 = snapshot.interfaces[4];
    EXPECT_EQ(wwan0.devType, "wwan");
    EXPECT_EQ(wwan0.receivedBytes, 5'000'000'000ull);
    EXPECT_EQ(wwan0.sentBytes, 1'000'000'000ull);
    EXPECT_EQ(wwan0.index, 7) << "a re-created interface is told apart by its index";
    EXPECT_EQ(wlan0.index, -1);
}

TEST(SysfsNetworkStatistics, ReadsHowInterfacesAreStackedAndWhichDriverServesThem) {
    test::TempDir dir;
    const fs::path root = dir.path() / "class" / "net";
    addInterface(root, "rmnet_ipa0", "10", "20");
    addInterface(root, "rmnet_data0", "5", "6");
    test::writeFile(root / "rmnet_ipa0" / "ifindex", "4\n");
    test::writeFile(root / "rmnet_ipa0" / "iflink", "4\n");
    test::writeFile(root / "rmnet_data0" / "ifindex", "9\n");
    test::writeFile(root / "rmnet_data0" / "iflink", "4\n");
    fs::create_directory_symlink("../rmnet_ipa0", root / "rmnet_data0" / "lower_rmnet_ipa0");
    fs::create_directory_symlink("../rmnet_data0", root / "rmnet_ipa0" / "upper_rmnet_data0");
    // device -> the USB interface, whose driver link names the driver
    fs::create_directories(dir.path() / "bus" / "usb" / "drivers" / "rndis_host");
    fs::create_directories(dir.path() / "devices" / "usb1");
    fs::create_directory_symlink("../../bus/usb/drivers/rndis_host",
                                 dir.path() / "devices" / "usb1" / "driver");
    fs::create_directory_symlink("../../../devices/usb1", root / "rmnet_ipa0" / "device");

    const StatsSnapshot snapshot = SysfsNetworkStatistics(root).read();
    ASSERT_TRUE(snapshot.ok()) << snapshot.error;
    ASSERT_EQ(snapshot.interfaces.size(), 2u);
    const auto &data = snapshot.interfaces[0];
    const auto &carrier = snapshot.interfaces[1];
    EXPECT_EQ(data.name, "rmnet_data0");
    EXPECT_EQ(data.lowers, std::vector<std::string>{"rmnet_ipa0"});
    EXPECT_EQ(data.link, 4);
    EXPECT_EQ(data.driver, "");
    EXPECT_TRUE(carrier.lowers.empty()) << "upper_ links are not carriers";
    EXPECT_EQ(carrier.index, carrier.link);
    EXPECT_EQ(carrier.driver, "rndis_host");
}

TEST(SysfsNetworkStatistics, WhatAnInterfaceIsIsReadAgainOnlyForANewIndex) {
    // A long-lived reader keeps each interface's kind by its index; counters and stacking are
    // read every time. A tree changed under a kept index shows whether the kind was read again.
    struct Case {
        const char *name;
        const char *secondIndex; // the ifindex file at the second read; null: none at all
        const char *devType;     // the kind the second read reports
    };
    const Case cases[] = {
        {"same interface", "5", "wwan"},
        {"re-created: a new index", "6", "wlan"},
        {"a tree without indexes", nullptr, "wlan"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        addInterface(dir.path(), "usb0", "10", "20", "0x1003", "DEVTYPE=wwan\n");
        addInterface(dir.path(), "eth0", "1", "2");
        if (c.secondIndex != nullptr) test::writeFile(dir.path() / "usb0" / "ifindex", "5\n");
        const SysfsNetworkStatistics statistics(dir.path());
        ASSERT_EQ(statistics.read().interfaces.at(1).devType, "wwan");

        addInterface(dir.path(), "usb0", "30", "40", "0x1003", "DEVTYPE=wlan\n");
        if (c.secondIndex != nullptr)
            test::writeFile(dir.path() / "usb0" / "ifindex", std::string(c.secondIndex) + "\n");
        fs::create_directory_symlink("../eth0", dir.path() / "usb0" / "lower_eth0");
        const StatsSnapshot snapshot = statistics.read();
        ASSERT_TRUE(snapshot.ok()) << snapshot.error;
        const InterfaceStats &usb0 = snapshot.interfaces.at(1);
        EXPECT_EQ(usb0.devType, c.devType);
        EXPECT_EQ(usb0.receivedBytes, 30u);
        EXPECT_EQ(usb0.lowers, std::vector<std::string>{"eth0"});
    }
}

TEST(SysfsNetworkStatistics, UnreadableStatisticsAreAnErrorNotZero) {
    test::TempDir dir;
    struct Case {
        const char *what;
        std::function<void(const fs::path &)> damage;
    };
    const Case cases[] = {
        {"missing root", [](const fs::path &root) { fs::remove_all(root); }},
        {"garbled counter",
         [](const fs::path &root) {
             test::writeFile(root / "wwan0/statistics/rx_bytes", "n/a\n");
         }},
        {"negative counter",
         [](const fs::path &root) { test::writeFile(root / "wwan0/statistics/tx_bytes", "-5\n"); }},
        {"missing counter",
         [](const fs::path &root) { fs::remove(root / "wwan0/statistics/tx_bytes"); }},
    };
    for (const auto &c : cases) {
        const fs::path root = dir.path() / c.what;
        addInterface(root, "wwan0", "10", "20");
        c.damage(root);
        const StatsSnapshot snapshot = SysfsNetworkStatistics(root).read();
        EXPECT_FALSE(snapshot.ok()) << c.what;
        EXPECT_TRUE(snapshot.interfaces.empty()) << c.what;
    }
}

// What a reader reports of each interface, counters aside (they move while the test runs).
std::string described(const StatsSnapshot &snapshot) {
    std::ostringstream out;
    for (const InterfaceStats &i : snapshot.interfaces) {
        out << i.name << " index " << i.index << " link " << i.link << " loopback " << i.loopback
            << " type '" << i.devType << "' lowers";
        for (const std::string &lower : i.lowers)
            out << ' ' << lower;
        out << '\n';
    }
    return snapshot.ok() ? out.str() : "error: " + snapshot.error;
}

// In a network namespace of its own, with its own sysfs: a reader kept from sample to sample
// against a fresh one, while interfaces are replaced, renamed and re-created under a kept name.
// 0 when they agree throughout, 77 when the namespace cannot be made; what differs goes to `log`.
int keptAgainstFreshOnTheKernel(const fs::path &dir, const fs::path &log) {
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) return 77;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 77;
    const fs::path sys = dir / "sys";
    fs::create_directory(sys);
    if (::mount("sysfs", sys.c_str(), "sysfs", 0, nullptr) != 0) return 77;
    const auto ip = [](const std::string &args) {
        return std::system(("ip " + args + " >/dev/null 2>&1").c_str()) == 0;
    };
    if (!ip("link add bw0 type veth peer name bw1")) return 77;
    const SysfsNetworkStatistics kept(sys / "class" / "net");
    std::ofstream out(log);
    int failures = 0;
    const auto compare = [&](const char *step) {
        const std::string ours = described(kept.read());
        const std::string fresh = described(SysfsNetworkStatistics(sys / "class" / "net").read());
        if (ours == fresh && ours.find("bw0") != std::string::npos) return;
        out << step << ":\nkept reader:\n" << ours << "fresh reader:\n" << fresh;
        ++failures;
    };
    compare("first read");
    compare("read again");
    const std::pair<const char *, std::vector<std::string>> steps[] = {
        {"bw0 deleted and made again", {"link del bw0", "link add bw0 type veth peer name bw1"}},
        {"bw0 renamed, a new bw0 made",
         {"link set bw0 name bwx", "link add bw0 type veth peer name bw2"}},
        {"bwx made a port of a bond", {"link add bond0 type bond", "link set bwx master bond0"}},
    };
    for (const auto &[step, commands] : steps) {
        // A kernel without bonds, say, leaves the step out.
        if (std::all_of(commands.begin(), commands.end(), ip)) compare(step);
    }
    return failures == 0 ? 0 : 1;
}

TEST(SysfsNetworkStatistics, AKeptReaderFollowsInterfacesTheKernelReplaces) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace of its own";
    test::TempDir dir;
    const fs::path log = dir.path() / "differences";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(keptAgainstFreshOnTheKernel(dir.path(), log));
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no network namespace or veth here";
    std::ifstream in(log);
    const std::string differences{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(WEXITSTATUS(status), 0) << differences;
}

} // namespace
} // namespace byteward
