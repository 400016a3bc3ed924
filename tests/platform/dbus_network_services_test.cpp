// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/dbus_network_services.h"
#include "platform/location_fakes.h"
#include "support/test_env.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <poll.h>
#include <sdbus-c++/sdbus-c++.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace byteward {

void PrintTo(const NetworkServicesState &state, std::ostream *out) {
    *out << "{modemManager " << state.modemManager << ", networkManager " << state.networkManager;
    for (const ModemInfo &modem : state.modems) {
        *out << ", modem " << modem.path << " data [";
        for (const auto &name : modem.dataInterfaces)
            *out << name << ' ';
        *out << "] ports [";
        for (const auto &name : modem.netPorts)
            *out << name << ' ';
        *out << "] sim '" << modem.simIdentifier << "' operator '" << modem.operatorName
             << "' roaming " << modem.roaming;
    }
    for (const NetworkDeviceInfo &device : state.devices)
        *out << ", device " << device.interface << " kind " << static_cast<int>(device.kind)
             << " active " << device.active << " metered " << device.metered;
    *out << '}';
}

namespace {

using namespace std::chrono_literals;
using Kind = NetworkDeviceInfo::Kind;
using SteadyClock = std::chrono::steady_clock;

constexpr const char *kPython = "/usr/bin/python3";
constexpr const char *kModem0 = "/org/freedesktop/ModemManager1/Modem/0";
constexpr const char *kBearer0 = "/org/freedesktop/ModemManager1/Bearer/0";
constexpr const char *kBearer1 = "/org/freedesktop/ModemManager1/Bearer/1";
constexpr const char *kDevice1 = "/org/freedesktop/NetworkManager/Devices/1";
constexpr std::uint32_t kEthernet = 1, kWifi = 2, kModemDevice = 8;

// tests/fakes/network_services.py on the given bus, killed at the end.
class FakeProcess {
  public:
    explicit FakeProcess(const std::string &address, std::vector<std::string> options = {}) {
        std::vector<std::string> args{kPython, BYTEWARD_FAKES "/network_services.py", "--address",
                                      address};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        ready_ = pid_ > 0 && readLine(out[0]) == "ready";
        close(out[0]);
    }
    ~FakeProcess() { kill(); }
    FakeProcess(const FakeProcess &) = delete;
    FakeProcess &operator=(const FakeProcess &) = delete;

    bool ready() const { return ready_; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Stopped, it keeps its names but answers nothing.
    void pause() { ::kill(pid_, SIGSTOP); }
    void resume() { ::kill(pid_, SIGCONT); }

  private:
    static std::string readLine(int fd) {
        std::string line;
        const auto giveUp = SteadyClock::now() + 10s;
        while (SteadyClock::now() < giveUp) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0) continue;
            char c = 0;
            if (read(fd, &c, 1) != 1 || c == '\n') break;
            line += c;
        }
        return line;
    }

    pid_t pid_ = -1;
    bool ready_ = false;
};

// The fake's control interface.
class Control {
  public:
    explicit Control(const std::string &address)
        : connection_(sdbus::createSessionBusConnectionWithAddress(address)),
          proxy_(sdbus::createProxy(*connection_, "org.byteward.Test", "/control")) {
        connection_->setMethodCallTimeout(5s);
    }
    template <typename... Args> void call(const char *method, const Args &...args) {
        proxy_->callMethod(method).onInterface(kInterface).withArguments(args...).storeResultsTo();
    }
    template <typename... Args> std::string path(const char *method, const Args &...args) {
        sdbus::ObjectPath result;
        proxy_->callMethod(method)
            .onInterface(kInterface)
            .withArguments(args...)
            .storeResultsTo(result);
        return result;
    }
    std::string addModem() { return path("AddModem", std::string("cdc-wdm0")); }
    std::string connectBearer(const std::string &modem, const std::string &interface) {
        return path("ConnectBearer", sdbus::ObjectPath(modem), interface);
    }
    void setSim(const std::string &modem, const std::string &iccid, const std::string &name) {
        call("SetSim", sdbus::ObjectPath(modem), iccid, name);
    }
    void addDevice(const std::string &interface, std::uint32_t type, bool active,
                   std::uint32_t metered = 0) {
        path("AddDevice", interface, type);
        call("SetDevice", interface, active, metered);
    }
    std::vector<std::string> calls() {
        std::vector<std::string> result;
        proxy_->callMethod("Calls").onInterface(kInterface).storeResultsTo(result);
        return result;
    }

  private:
    static constexpr const char *kInterface = "org.byteward.Test.NetworkServices";
    std::unique_ptr<sdbus::IConnection> connection_;
    std::unique_ptr<sdbus::IProxy> proxy_;
};

bool pythonDBusInstalled() {
    return std::system((std::string(kPython) + " -c 'import dbus, gi' 2>/dev/null").c_str()) == 0;
}

// A private bus with the fake on it, and the services under test.
struct Machine {
    explicit Machine(std::vector<std::string> options = {}, bool startFake = true) {
        if (bus.address().empty() || !pythonDBusInstalled()) return;
        if (startFake) {
            fake = std::make_unique<FakeProcess>(bus.address(), std::move(options));
            if (!fake->ready()) return;
            control = std::make_unique<Control>(bus.address());
        }
        services = std::make_unique<DBusNetworkServices>(log, bus.address());
    }
    bool ready() const { return services != nullptr; }

    // Whether an announcement that matters arrives within `span`.
    bool announcedWithin(std::chrono::milliseconds span) {
        const auto giveUp = SteadyClock::now() + span;
        do {
            pollfd ready{services->pollFd(), POLLIN, 0};
            ::poll(&ready, 1, 20);
            if (services->takeAnnouncements()) return true;
        } while (SteadyClock::now() < giveUp);
        return false;
    }
    long linesWith(const std::string &fragment) const {
        return std::count_if(log.lines.begin(), log.lines.end(), [&](const std::string &line) {
            return line.find(fragment) != std::string::npos;
        });
    }

    test::PrivateBus bus;
    test::CapturingLog log;
    std::unique_ptr<FakeProcess> fake;
    std::unique_ptr<Control> control;
    std::unique_ptr<DBusNetworkServices> services;
};

#define REQUIRE_FAKE(machine)                                                                      \
    do {                                                                                           \
        if (!(machine).ready())                                                                    \
            GTEST_SKIP() << "needs dbus-daemon, and python3-dbus and python3-gi for the fake";     \
    } while (false)

ModemInfo modem(std::vector<std::string> data, std::vector<std::string> ports, std::string sim = {},
                std::string operatorName = {}, bool roaming = false) {
    return ModemInfo{kModem0,        std::move(data),         std::move(ports),
                     std::move(sim), std::move(operatorName), roaming};
}

NetworkServicesState both(std::vector<ModemInfo> modems, std::vector<NetworkDeviceInfo> devices) {
    return NetworkServicesState{true, true, std::move(modems), std::move(devices)};
}

TEST(DBusNetworkServices, ReadsModemsAndDevicesAsTheServicesDescribeThem) {
    const ModemInfo plain = modem({"wwan0"}, {"wwan0"}, "8944000000000000001", "SimNet");
    ModemInfo registered = plain;
    registered.operatorName = "Roamed";
    registered.roaming = true;
    struct Case {
        const char *name;
        std::function<void(Control &, const std::string &modem)> arrange;
        NetworkServicesState expected;
    } cases[] = {
        {"a connected bearer carries data; the SIM names the operator",
         [](Control &, const std::string &) {}, both({plain}, {})},
        {"a disconnected bearer leaves its port but carries nothing",
         [](Control &c, const std::string &) {
             c.call("DisconnectBearer", sdbus::ObjectPath(kBearer0));
         },
         both({modem({}, {"wwan0"}, "8944000000000000001", "SimNet")}, {})},
        {"a renamed interface is read under its new name",
         [](Control &c, const std::string &) {
             c.call("SetBearerInterface", sdbus::ObjectPath(kBearer0), std::string("wwan1"));
         },
         both({modem({"wwan1"}, {"wwan1"}, "8944000000000000001", "SimNet")}, {})},
        {"a second bearer adds its interface",
         [](Control &c, const std::string &m) { c.connectBearer(m, "wwan0.1"); },
         both({modem({"wwan0", "wwan0.1"}, {"wwan0", "wwan0.1"}, "8944000000000000001", "SimNet")},
              {})},
        {"no SIM: no identifier and no operator",
         [](Control &c, const std::string &m) { c.setSim(m, "", ""); },
         both({modem({"wwan0"}, {"wwan0"})}, {})},
        {"the registered network's name wins; roaming (5)",
         [](Control &c, const std::string &m) {
             c.call("SetRegistration", sdbus::ObjectPath(m), 5U, std::string("Roamed"));
         },
         both({registered}, {})},
        {"roaming, SMS only (7)",
         [](Control &c, const std::string &m) {
             c.call("SetRegistration", sdbus::ObjectPath(m), 7U, std::string("Roamed"));
         },
         both({registered}, {})},
        {"roaming, CSFB not preferred (10)",
         [](Control &c, const std::string &m) {
             c.call("SetRegistration", sdbus::ObjectPath(m), 10U, std::string("Roamed"));
         },
         both({registered}, {})},
        {"home, SMS only (6) is not roaming",
         [](Control &c, const std::string &m) {
             c.call("SetRegistration", sdbus::ObjectPath(m), 6U, std::string(""));
         },
         both({plain}, {})},
        {"devices: kinds, activation and the metered guesses",
         [](Control &c, const std::string &) {
             c.addDevice("eth0", kEthernet, true, 4);     // guess no
             c.addDevice("wlan0", kWifi, true, 3);        // guess yes
             c.addDevice("wwan0", kModemDevice, true, 1); // yes
             c.addDevice("vpn0", 29, false, 2);           // no
         },
         both({plain}, {{"eth0", Kind::Ethernet, true, false},
                        {"wlan0", Kind::WiFi, true, true},
                        {"wwan0", Kind::Modem, true, true},
                        {"vpn0", Kind::Other, false, false}})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        REQUIRE_FAKE(machine);
        const std::string m = machine.control->addModem();
        machine.control->connectBearer(m, "wwan0");
        machine.control->setSim(m, "8944000000000000001", "SimNet");
        c.arrange(*machine.control, m);

        EXPECT_EQ(machine.services->state(), c.expected);
        EXPECT_EQ(machine.log.lines, std::vector<std::string>{});
    }
}

TEST(DBusNetworkServices, AnnouncesWhatMayChangeTheStateAndReadsItOnlyOnRefresh) {
    struct Case {
        const char *name;
        std::function<void(Control &)> change;
        bool announced;
    } cases[] = {
        {"a bearer connects", [](Control &c) { c.connectBearer(kModem0, "wwan1"); }, true},
        {"a bearer goes",
         [](Control &c) { c.call("DisconnectBearer", sdbus::ObjectPath(kBearer0)); }, true},
        {"another SIM", [](Control &c) { c.setSim(kModem0, "8944000000000000002", "Other"); },
         true},
        {"roaming starts",
         [](Control &c) { c.call("SetRoaming", sdbus::ObjectPath(kModem0), true); }, true},
        {"a modem is plugged in", [](Control &c) { c.addModem(); }, true},
        {"a modem is pulled out",
         [](Control &c) { c.call("RemoveModem", sdbus::ObjectPath(kModem0)); }, true},
        {"a connection activates",
         [](Control &c) { c.call("SetDevice", std::string("wlan0"), true, 0U); }, true},
        {"a connection turns metered",
         [](Control &c) { c.call("SetDevice", std::string("eth0"), true, 1U); }, true},
        {"a device is added", [](Control &c) { c.addDevice("usb0", kEthernet, false); }, true},
        {"a device goes", [](Control &c) { c.call("RemoveDevice", std::string("eth0")); }, true},
        {"the signal quality moves",
         [](Control &c) { c.call("SetSignalQuality", sdbus::ObjectPath(kModem0), 80U); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        REQUIRE_FAKE(machine);
        machine.control->connectBearer(machine.control->addModem(), "wwan0");
        machine.control->addDevice("eth0", kEthernet, true);
        machine.control->addDevice("wlan0", kWifi, false);
        const NetworkServicesState before = machine.services->state();
        EXPECT_FALSE(machine.announcedWithin(100ms)) << "nothing happened yet";

        c.change(*machine.control);

        EXPECT_EQ(machine.announcedWithin(c.announced ? 3s : 300ms), c.announced);
        EXPECT_EQ(machine.services->state(), before) << "only refresh() reads again";
        machine.services->refresh();
        EXPECT_EQ(machine.services->state() != before, c.announced);
    }
}

// sd-bus takes in signals while it waits for an answer; one that came during a read must still
// wake whoever polls, or a change could wait for the next tick.
TEST(DBusNetworkServices, AnAnnouncementTakenInDuringARefreshStillWakesThePoller) {
    Machine machine;
    REQUIRE_FAKE(machine);
    const std::string m = machine.control->addModem();
    machine.services->state();

    machine.control->connectBearer(m, "wwan0");
    machine.services->refresh();

    pollfd ready{machine.services->pollFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 1000), 1);
    EXPECT_TRUE(machine.services->takeAnnouncements());
    EXPECT_FALSE(machine.announcedWithin(100ms));
}

TEST(DBusNetworkServices, ServicesThatAreMissingBrokenOrSilentReadAsAbsentAndAreLoggedOnce) {
    struct Case {
        const char *name;
        std::vector<std::string> options;
        bool startFake, pause;
        bool modemManager, networkManager;
        const char *modemManagerLine, *networkManagerLine; // logged once each
    } cases[] = {
        {"neither runs",
         {},
         false,
         false,
         false,
         false,
         "ModemManager: not running",
         "NetworkManager: not running"},
        {"only NetworkManager runs",
         {"--no-modem-manager"},
         true,
         false,
         false,
         true,
         "ModemManager: not running",
         nullptr},
        {"only ModemManager runs",
         {"--no-network-manager"},
         true,
         false,
         true,
         false,
         nullptr,
         "NetworkManager: not running"},
        {"both answer with the wrong types",
         {"--nonsense"},
         true,
         false,
         false,
         false,
         "ModemManager: answered nonsense",
         "NetworkManager: answered nonsense"},
        {"both keep their names but never answer",
         {},
         true,
         true,
         false,
         false,
         "ModemManager: did not answer",
         "NetworkManager: did not answer"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine(c.options, c.startFake);
        REQUIRE_FAKE(machine);
        if (machine.control) {
            machine.control->connectBearer(machine.control->addModem(), "wwan0");
            machine.control->addDevice("wwan0", kModemDevice, true);
        }
        if (c.pause) machine.fake->pause();

        for (int read = 0; read < 2; ++read) {
            const auto start = SteadyClock::now();
            machine.services->refresh();
            EXPECT_LT(SteadyClock::now() - start, 5s);
        }

        const NetworkServicesState &state = machine.services->state();
        EXPECT_EQ(state.modemManager, c.modemManager);
        EXPECT_EQ(state.networkManager, c.networkManager);
        EXPECT_EQ(state.modems.size(), c.modemManager ? 1U : 0U);
        EXPECT_EQ(state.devices.size(), c.networkManager ? 1U : 0U);
        for (const char *line : {c.modemManagerLine, c.networkManagerLine}) {
            if (line == nullptr) continue;
            EXPECT_EQ(machine.linesWith(line), 1) << line;
        }
        EXPECT_EQ(machine.log.lines.size(),
                  (c.modemManagerLine ? 1U : 0U) + (c.networkManagerLine ? 1U : 0U));
        if (c.pause) machine.fake->resume();
    }
}

TEST(DBusNetworkServices, AServiceKilledOrRestartedIsAnnouncedAndReadAgain) {
    Machine machine;
    REQUIRE_FAKE(machine);
    machine.control->connectBearer(machine.control->addModem(), "wwan0");
    ASSERT_TRUE(machine.services->state().modemManager);

    machine.fake->kill();
    EXPECT_TRUE(machine.announcedWithin(3s));
    machine.services->refresh();
    EXPECT_EQ(machine.services->state(), NetworkServicesState{});

    machine.fake = std::make_unique<FakeProcess>(machine.bus.address());
    ASSERT_TRUE(machine.fake->ready());
    EXPECT_TRUE(machine.announcedWithin(3s));
    machine.services->refresh();
    EXPECT_EQ(machine.services->state(), both({}, {}));
    EXPECT_EQ(machine.linesWith("ModemManager: not running"), 1);
}

TEST(DBusNetworkServices, WithoutABusNothingIsReadAndNothingWaits) {
    test::CapturingLog log;
    DBusNetworkServices services(log, "unix:path=/nonexistent/bus");
    EXPECT_EQ(services.state(), NetworkServicesState{});
    services.refresh();
    EXPECT_EQ(services.pollFd(), -1);
    EXPECT_FALSE(services.takeAnnouncements());
    EXPECT_NE(services.disconnectCellular(), "");
    EXPECT_EQ(log.lines.size(), 1U);
}

TEST(DBusNetworkServices, SwitchingCellularDataTouchesOnlyModems) {
    using Calls = std::vector<std::string>;
    const std::string simpleDisconnect = std::string("Simple.Disconnect ") + kModem0;
    struct Case {
        const char *name;
        std::vector<std::string> options;
        std::function<void(Control &)> arrange;
        Calls afterDisconnect, afterReconnect;
    } cases[] = {
        {"NetworkManager's active modem, beside active Ethernet and Wi-Fi",
         {},
         [](Control &c) {
             c.connectBearer(c.addModem(), "wwan0");
             c.addDevice("eth0", kEthernet, true);
             c.addDevice("wwan0", kModemDevice, true);
             c.addDevice("wlan0", kWifi, true);
         },
         {std::string("Device.Disconnect ") + kDevice1},
         {std::string("ActivateConnection ") + kDevice1}},
        {"no active modem in NetworkManager: ModemManager's connected bearers",
         {},
         [](Control &c) {
             const std::string m = c.addModem();
             c.connectBearer(m, "wwan0");
             c.connectBearer(m, "wwan1");
             c.call("DisconnectBearer", sdbus::ObjectPath(kBearer1));
             c.addDevice("wlan0", kWifi, true);
         },
         {simpleDisconnect},
         {std::string("Bearer.Connect ") + kBearer0}},
        {"ModemManager alone",
         {"--no-network-manager"},
         [](Control &c) { c.connectBearer(c.addModem(), "wwan0"); },
         {simpleDisconnect},
         {std::string("Bearer.Connect ") + kBearer0}},
        {"nothing connected: nothing to turn off; on again turns on every modem",
         {},
         [](Control &c) {
             c.addDevice("eth0", kEthernet, false);
             c.addDevice("wwan0", kModemDevice, false);
         },
         {},
         {std::string("ActivateConnection ") + kDevice1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine(c.options);
        REQUIRE_FAKE(machine);
        c.arrange(*machine.control);

        EXPECT_EQ(machine.services->disconnectCellular(), "");
        EXPECT_EQ(machine.control->calls(), c.afterDisconnect);
        EXPECT_EQ(machine.services->reconnectCellular(), "");
        Calls expected = c.afterDisconnect;
        expected.insert(expected.end(), c.afterReconnect.begin(), c.afterReconnect.end());
        EXPECT_EQ(machine.control->calls(), expected);
    }
}

TEST(DBusNetworkServices, SwitchingWithoutEitherServiceSaysWhy) {
    Machine machine({}, /*startFake=*/false);
    REQUIRE_FAKE(machine);
    EXPECT_EQ(machine.services->disconnectCellular(),
              "neither NetworkManager nor ModemManager answered");
    EXPECT_EQ(machine.services->reconnectCellular(),
              "neither NetworkManager nor ModemManager answered");
}

} // namespace
} // namespace byteward
