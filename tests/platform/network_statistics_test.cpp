// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/network_statistics.h"
#include "support/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>

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

} // namespace
} // namespace byteward
