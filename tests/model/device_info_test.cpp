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
