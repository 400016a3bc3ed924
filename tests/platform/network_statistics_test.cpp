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
