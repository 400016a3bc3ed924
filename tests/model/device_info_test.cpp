// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/device_info.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

InterfaceStats iface(std::string name, std::string devType = {}, bool wireless = false,
                     bool loopback = false) {
    InterfaceStats i;
    i.name = std::move(name);
    i.devType = std::move(devType);
    i.wireless = wireless;
    i.loopback = loopback;
    return i;
}

TEST(InterfaceClassifier, BuiltInRulesKnowPhoneNamesKernelTypesAndNamingSchemes) {
    const InterfaceClassifier classifier;
    struct Case {
        InterfaceStats interface;
        DataType expected;
    };
    const Case cases[] = {
        {iface("pdp_ip0"), DataType::Cellular},
        {iface("pdp_ip3"), DataType::Cellular},
        {iface("pdp_ip4"), DataType::None},
        {iface("wwan0"), DataType::Cellular},
        {iface("wwp0s20f0u6"), DataType::Cellular},
        {iface("rmnet_data0", "wwan"), DataType::Cellular},
        {iface("en0"), DataType::WiFi},
        {iface("en1"), DataType::WiFi},
        {iface("en2"), DataType::None},
        {iface("wlan0"), DataType::WiFi},
        {iface("wlp3s0"), DataType::WiFi},
        {iface("wlx00c0ca123456"), DataType::WiFi},
        {iface("mlan0", "wlan"), DataType::WiFi},
        {iface("ath0", "", true), DataType::WiFi},
        {iface("eth0"), DataType::None},
        {iface("enp0s31f6"), DataType::None},
        {iface("usb0"), DataType::None},
        {iface("lo", "", false, true), DataType::None},
        {iface("wlan9", "wlan", true, true), DataType::None},
    };
    for (const auto &c : cases)
        EXPECT_EQ(classifier.classify(c.interface), c.expected) << c.interface.name;
}

TEST(InterfaceClassifier, UserListsReplaceTheBuiltInRulesOfTheirTypeOnly) {
    // A tethered phone on usb0 is the cellular link; wwan0 is a modem the user no longer pays for.
    const InterfaceClassifier classifier(std::vector<std::string>{"usb*", "enx*"}, std::nullopt);
    struct Case {
        const char *name;
        DataType expected;
    };
    const Case cases[] = {
        {"usb0", DataType::Cellular}, {"enx001122334455", DataType::Cellular},
        {"wwan0", DataType::None},    {"pdp_ip0", DataType::None},
        {"wlan0", DataType::WiFi},    {"eth0", DataType::None},
    };
    for (const auto &c : cases)
        EXPECT_EQ(classifier.classify(iface(c.name)), c.expected) << c.name;
    EXPECT_EQ(classifier.classify(iface("usb0", "", false, true)), DataType::None)
        << "loopback stays out";
}

TEST(InterfaceClassifier, ReadsTheListsFromTheUserDefaults) {
    test::TestEnv env;
    env.defaults().setObject(InterfaceClassifier::kWiFiInterfacesKey,
                             Value(ValueArray{Value("eth1")}));
    env.defaults().setObject(InterfaceClassifier::kCellularInterfacesKey, Value("ppp0"));
    const auto classifier = InterfaceClassifier::fromDefaults(env.defaults());
    EXPECT_EQ(classifier.classify(iface("eth1")), DataType::WiFi);
    EXPECT_EQ(classifier.classify(iface("wlan0")), DataType::None);
    EXPECT_EQ(classifier.classify(iface("ppp0")), DataType::Cellular);
}

InterfaceStats linked(std::string name, std::int64_t index, std::int64_t link,
                      std::vector<std::string> lowers = {}, std::string driver = {}) {
    InterfaceStats i = iface(std::move(name));
    i.index = index;
    i.link = link;
    i.lowers = std::move(lowers);
    i.driver = std::move(driver);
    return i;
}

TEST(InterfaceClassifier, ModemsTetheringAndMeteredLinksFollowTheNetworkServices) {
    NetworkServicesState services;
    services.modemManager = services.networkManager = true;
    services.modems.push_back({"/m/0", {"mdm7"}, {"usb1"}, "8944", "Op", false});
    using Kind = NetworkDeviceInfo::Kind;
    services.devices = {{"wlan0", Kind::WiFi, true, true},  {"eth0", Kind::Ethernet, true, true},
                        {"wlan1", Kind::WiFi, false, true}, {"wlan2", Kind::WiFi, true, false},
                        {"usb2", Kind::Modem, true, false}};
    const InterfaceClassifier withServices(std::nullopt, std::nullopt, services);
    const InterfaceClassifier meteredOff(std::nullopt, std::nullopt, services, false);
    const InterfaceClassifier userWiFi(std::nullopt, std::vector<std::string>{"wlan0"}, services);
    const InterfaceClassifier none;
    struct Case {
        const InterfaceClassifier &classifier;
        InterfaceStats interface;
        DataType expected;
    };
    const Case cases[] = {
        {withServices, iface("mdm7"), DataType::Cellular}, // a bearer's interface, any name
        {none, iface("mdm7"), DataType::None},
        {withServices, iface("wlan0"), DataType::Cellular}, // a phone's hotspot
        {withServices, iface("eth0"), DataType::Cellular},
        {meteredOff, iface("wlan0"), DataType::WiFi},
        {userWiFi, iface("wlan0"), DataType::WiFi}, // the user's list outranks the services
        {withServices, iface("wlan1"), DataType::WiFi}, // metered but not connected
        {withServices, iface("wlan2"), DataType::WiFi},
        {none, linked("usb0", 3, 3, {}, "rndis_host"), DataType::Cellular},
        {none, linked("eth1", 3, 3, {}, "ipheth"), DataType::Cellular},
        {none, linked("usb1", 3, 3, {}, "cdc_ncm"), DataType::None}, // maybe a USB Ethernet adapter
        {withServices, linked("usb1", 3, 3, {}, "cdc_ncm"), DataType::Cellular}, // a modem's port
        {withServices, linked("usb2", 3, 3, {}, "cdc_ether"), DataType::Cellular},
        {none, iface("rmnet_ipa0"), DataType::Cellular},
        {none, iface("rmnet_mhi0"), DataType::Cellular},
        {none, iface("qmapmux0.0"), DataType::Cellular},
        {none, iface("ccmni1"), DataType::Cellular},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.classifier.classify(c.interface), c.expected) << c.interface.name;
}

TEST(InterfaceClassifier, AStackedInterfaceAndItsCarrierNeverBothCount) {
    struct Case {
        const char *what;
        std::vector<InterfaceStats> interfaces;
        std::vector<std::string> counted;
        std::vector<std::pair<std::string, std::string>> carriers; // upper, carrier
    };
    const Case cases[] = {
        {"rmnet on its carrier, by lower link",
         {linked("rmnet_data0", 9, 4, {"rmnet_ipa0"}), linked("rmnet_ipa0", 4, 4)},
         {"rmnet_data0"},
         {{"rmnet_data0", "rmnet_ipa0"}}},
        {"qmimux on wwan0, by iflink alone",
         {linked("qmimux0", 6, 2), linked("wwan0", 2, 2)},
         {"qmimux0"},
         {{"qmimux0", "wwan0"}}},
        {"a chain counts at its top only",
         {linked("rmnet_data0", 9, 5, {"rmnet_ipa0"}), linked("rmnet_ipa0", 5, 4, {"wwan0"}),
          linked("wwan0", 4, 4)},
         {"rmnet_data0"},
         {{"rmnet_data0", "rmnet_ipa0"}, {"rmnet_ipa0", "wwan0"}}},
        {"a veth pair's peers point at each other and both count",
         {linked("wwan0", 4, 5), linked("wwan1", 5, 4)},
         {"wwan0", "wwan1"},
         {}},
        {"an uncounted bridge over Wi-Fi leaves the Wi-Fi counted",
         {linked("br0", 7, 7, {"wlan0"}), linked("wlan0", 3, 3)},
         {"wlan0"},
         {}},
        {"a carrier that is gone is no reason to drop the upper",
         {linked("rmnet_data0", 9, 4, {"rmnet_ipa0"})},
         {"rmnet_data0"},
         {}},
    };
    const InterfaceClassifier classifier;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        StatsSnapshot snapshot{c.interfaces, {}};
        const auto decisions = classifier.decide(snapshot);
        std::vector<std::string> counted;
        std::vector<std::pair<std::string, std::string>> carriers;
        for (const auto &d : decisions) {
            if (d.counted) counted.push_back(d.name);
            if (!d.carrier.empty()) carriers.emplace_back(d.name, d.carrier);
            if (!d.upper.empty()) {
                EXPECT_FALSE(d.counted) << d.name;
            }
        }
        EXPECT_EQ(counted, c.counted);
        EXPECT_EQ(carriers, c.carriers);
    }
}

TEST(DeviceInfo, ReadsOneInterfaceByNameAndNeverTheLoopback) {
    test::FakeNetworkStatistics stats;
    test::FakeBootClock boot;
    stats.set("pdp_ip0", 4'000'000'000, 1'000'000'000);
    stats.set("lo", 77, 88);
    stats.set("pdp_ip0", 4'000'000'000, 1'000'000'000);
    InterfaceStats duplicate = iface("en0");
    duplicate.receivedBytes = 1;
    stats.snapshot.interfaces.push_back(duplicate);
    duplicate.receivedBytes = 999;
    stats.snapshot.interfaces.push_back(duplicate);
    const DeviceInfo device(stats, boot);

    EXPECT_EQ(device.getCurrentDataUsageForBSDInterface("pdp_ip0"), 5'000'000'000.0);
    EXPECT_EQ(device.getCurrentDataReceivedForBSDInterface("pdp_ip0"), 4'000'000'000.0);
    EXPECT_EQ(device.getCurrentDataSentForBSDInterface("pdp_ip0"), 1'000'000'000.0);
    EXPECT_EQ(device.getCurrentDataUsageForBSDInterface("lo"), 0.0);
    EXPECT_EQ(device.getCurrentDataUsageForBSDInterface("pdp_ip1"), 0.0);
    EXPECT_EQ(device.getCurrentDataReceivedForBSDInterface("en0"), 1.0) << "the first entry counts";
    stats.snapshot.error = "gone";
    stats.snapshot.interfaces.clear();
    EXPECT_EQ(device.getCurrentDataUsageForBSDInterface("pdp_ip0"), 0.0);
}

TEST(DeviceInfo, SumsADataTypeInDoubleAndKeepsUnreadableApartFromZero) {
    test::FakeNetworkStatistics stats;
    test::FakeBootClock boot;
    stats.set("wwan0", 18'000'000'000'000'000'000ull, 1);
    stats.set("wwan1", 1'000'000'000'000'000'000ull, 2);
    stats.set("wlan0", 10, 20);
    const DeviceInfo device(stats, boot);
    const InterfaceClassifier classifier;
    EXPECT_DOUBLE_EQ(*device.readDataType(DataType::Cellular, kDirectionReceived, classifier),
                     1.9e19);
    EXPECT_EQ(*device.readDataType(DataType::WiFi, kDirectionTotal, classifier), 30.0);
    EXPECT_EQ(*device.readDataType(DataType::WiFi, 0, classifier), 0.0);
    EXPECT_EQ(*device.readDataType(DataType::WiFi, 4, classifier), 0.0);
    stats.snapshot = StatsSnapshot{{}, "cannot list"};
    EXPECT_FALSE(device.readDataType(DataType::WiFi, kDirectionTotal, classifier).has_value());
}

} // namespace
} // namespace byteward
