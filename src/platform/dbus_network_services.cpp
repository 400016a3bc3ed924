// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/dbus_network_services.h"

#include "platform/bus_socket.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <sdbus-c++/sdbus-c++.h>
#include <stdexcept>
#include <string_view>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace byteward {

namespace {

using SteadyClock = std::chrono::steady_clock;
using Properties = std::map<std::string, sdbus::Variant>;
using ManagedObjects = std::map<sdbus::ObjectPath, std::map<std::string, Properties>>;

constexpr const char *kModemManager = "org.freedesktop.ModemManager1";
constexpr const char *kModemManagerPath = "/org/freedesktop/ModemManager1";
constexpr const char *kModem = "org.freedesktop.ModemManager1.Modem";
constexpr const char *kModem3gpp = "org.freedesktop.ModemManager1.Modem.Modem3gpp";
constexpr const char *kModemSimple = "org.freedesktop.ModemManager1.Modem.Simple";
constexpr const char *kBearer = "org.freedesktop.ModemManager1.Bearer";
constexpr const char *kSim = "org.freedesktop.ModemManager1.Sim";
constexpr const char *kNetworkManager = "org.freedesktop.NetworkManager";
constexpr const char *kNetworkManagerPath = "/org/freedesktop/NetworkManager";
constexpr const char *kDevice = "org.freedesktop.NetworkManager.Device";
constexpr const char *kProperties = "org.freedesktop.DBus.Properties";
constexpr const char *kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char *kBusName = "org.freedesktop.DBus";
constexpr const char *kBusPath = "/org/freedesktop/DBus";

// A read is asked for at every announcement, so each call is short, and all the calls to one
// service together stay within a budget however many modems, bearers and devices it lists.
constexpr auto kCallTimeout = std::chrono::seconds(1);
constexpr auto kReadBudget = std::chrono::seconds(2);
// Connecting a bearer waits for the network to answer, which takes a modem several seconds.
constexpr auto kSwitchTimeout = std::chrono::seconds(20);

constexpr std::uint32_t kPortNet = 2;                      // MM_MODEM_PORT_TYPE_NET
constexpr std::array<std::uint32_t, 3> kRoaming{5, 7, 10}; // roaming, roaming-sms, roaming-csfb
constexpr std::uint32_t kDeviceEthernet = 1, kDeviceWifi = 2, kDeviceModem = 8;
constexpr std::uint32_t kDeviceActivated = 100;
constexpr std::uint32_t kMeteredYes = 1, kMeteredGuessYes = 3;

constexpr const char *kAbsentSuffix = "; counting follows the interface rules alone";
constexpr const char *kNeither = "neither NetworkManager nor ModemManager answered";

// A service answered, but not with what it documents.
struct Nonsense : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The properties whose change can change what we read; the others (signal quality, statistics)
// change often and must not wake anyone.
struct Watched {
    std::string_view interface;
    std::array<std::string_view, 4> properties;
};
constexpr std::array<Watched, 6> kWatched{{
    {kModem, {"Bearers", "Sim", "Ports"}},
    {kModem3gpp, {"RegistrationState", "OperatorName"}},
    {kBearer, {"Connected", "Interface"}},
    {kSim, {"SimIdentifier", "Imsi", "OperatorName"}},
    {kNetworkManager, {"Devices"}},
    // A device's State is followed through its StateChanged signal, which tells the old state too.
    {kDevice, {"IpInterface", "Interface", "Metered"}},
}};

bool watched(std::string_view interface, std::string_view property) {
    return std::any_of(kWatched.begin(), kWatched.end(), [&](const Watched &entry) {
        return entry.interface == interface &&
               std::find(entry.properties.begin(), entry.properties.end(), property) !=
                   entry.properties.end();
    });
}

// Whether an announcement may change what a read gives. One we cannot make sense of may.
bool mayChangeState(sdbus::Message &message) {
    const std::string member = message.getMemberName();
    const std::string interface = message.getInterfaceName();
    try {
        if (interface == kProperties && member == "PropertiesChanged") {
            std::string changedInterface;
            Properties changed;
            std::vector<std::string> invalidated;
            message >> changedInterface >> changed >> invalidated;
            for (const auto &entry : changed)
                if (watched(changedInterface, entry.first)) return true;
            return std::any_of(
                invalidated.begin(), invalidated.end(),
                [&](const std::string &name) { return watched(changedInterface, name); });
        }
        if (interface == kDevice && member == "StateChanged") {
            std::uint32_t now = 0, before = 0, reason = 0;
            message >> now >> before >> reason;
            return (now == kDeviceActivated) != (before == kDeviceActivated);
        }
    } catch (const std::exception &) {
        // Unreadable: it may matter.
    }
    return true;
}

std::string signalRule(const char *sender) {
    return std::string("type='signal',sender='") + sender + "'";
}

template <typename T>
T property(const Properties &properties, const std::string &name, const std::string &where) {
    const auto found = properties.find(name);
    if (found == properties.end()) throw Nonsense(where + " has no " + name);
    if (!found->second.containsValueOfType<T>())
        throw Nonsense(name + " of " + where + " is '" + found->second.peekValueType() +
                       "', not '" + sdbus::signature_of<T>::str() + "'");
    return found->second.get<T>();
}

// An object that went away between being listed and being read: a bearer or device removed
// meanwhile, whose removal is announced and read again.
bool gone(const sdbus::Error &error) {
    const std::string &name = error.getName();
    return name == "org.freedesktop.DBus.Error.UnknownObject" ||
           name == "org.freedesktop.DBus.Error.UnknownMethod";
}

// The calls of one read of one service, each short and all within the budget.
class ServiceReader {
  public:
    ServiceReader(sdbus::IConnection &connection, const char *service)
        : connection_(connection), service_(service), deadline_(SteadyClock::now() + kReadBudget) {}

    // Asked of the bus rather than the service, so that a service the bus could start on demand
    // is not started by us.
    bool running() {
        auto bus = sdbus::createProxy(connection_, kBusName, kBusPath);
        bool owned = false;
        bus->callMethod("NameHasOwner")
            .onInterface(kBusName)
            .withTimeout(timeout())
            .withArguments(service_)
            .storeResultsTo(owned);
        return owned;
    }

    ManagedObjects managedObjects(const std::string &path) {
        ManagedObjects objects;
        auto object = sdbus::createProxy(connection_, service_, path);
        object->callMethod("GetManagedObjects")
            .onInterface(kObjectManager)
            .withTimeout(timeout())
            .storeResultsTo(objects);
        return objects;
    }

    // nullopt: the object is gone.
    std::optional<Properties> getAll(const std::string &path, const char *interface) {
        Properties properties;
        try {
            auto object = sdbus::createProxy(connection_, service_, path);
            object->callMethod("GetAll")
                .onInterface(kProperties)
                .withTimeout(timeout())
                .withArguments(interface)
                .storeResultsTo(properties);
        } catch (const sdbus::Error &error) {
            if (gone(error)) return std::nullopt;
            throw;
        }
        return properties;
    }

    sdbus::Variant get(const std::string &path, const char *interface, const char *name) {
        sdbus::Variant value;
        auto object = sdbus::createProxy(connection_, service_, path);
        object->callMethod("Get")
            .onInterface(kProperties)
            .withTimeout(timeout())
            .withArguments(interface, name)
            .storeResultsTo(value);
        return value;
    }

  private:
    std::chrono::microseconds timeout() const {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - SteadyClock::now());
        if (left.count() <= 0) throw std::runtime_error("took longer than the read allows");
        return std::min<std::chrono::microseconds>(left, kCallTimeout);
    }

    sdbus::IConnection &connection_;
    std::string service_;
    SteadyClock::time_point deadline_;
};

NetworkDeviceInfo::Kind deviceKind(std::uint32_t type) {
    switch (type) {
    case kDeviceEthernet:
        return NetworkDeviceInfo::Kind::Ethernet;
    case kDeviceWifi:
        return NetworkDeviceInfo::Kind::WiFi;
    case kDeviceModem:
        return NetworkDeviceInfo::Kind::Modem;
    default:
        return NetworkDeviceInfo::Kind::Other;
    }
}

bool contains(const std::vector<std::string> &list, const std::string &item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

void addError(std::string &errors, const std::string &error) {
    if (error.empty()) return;
    if (!errors.empty()) errors += "; ";
    errors += error;
}

// Empty when the call went through, else why not.
template <typename... Args>
std::string command(sdbus::IConnection &connection, const char *service, const std::string &path,
                    const char *interface, const char *method, Args &&...args) {
    try {
        auto object = sdbus::createProxy(connection, service, path);
        object->callMethod(method)
            .onInterface(interface)
            .withTimeout(kSwitchTimeout)
            .withArguments(std::forward<Args>(args)...)
            .storeResultsTo();
        return {};
    } catch (const std::exception &error) {
        return std::string(method) + " on " + path + " failed: " + error.what();
    }
}

} // namespace

struct DBusNetworkServices::Bus {
    Bus() = default;
    Bus(const Bus &) = delete;
    Bus &operator=(const Bus &) = delete;
    ~Bus() {
        matches.clear();
        connection.reset();
        if (wakeFd >= 0) ::close(wakeFd);
        if (pollFd >= 0) ::close(pollFd);
    }

    std::unique_ptr<sdbus::IConnection> connection; // null once lost
    std::vector<sdbus::Slot> matches;
    int connectionFd = -1;
    int wakeFd = -1; // readable while an announcement already taken in from sd-bus waits
    int pollFd = -1; // an epoll set of the connection's descriptor and wakeFd
};

// A read, with what the state does not say but switching needs.
struct DBusNetworkServices::Snapshot {
    NetworkServicesState state;
    std::vector<std::vector<std::string>> bearers;          // by modem: all of its bearers
    std::vector<std::vector<std::string>> connectedBearers; // by modem
    std::vector<std::string> devicePaths;                   // by device
};

DBusNetworkServices::DBusNetworkServices(Log &log, std::string busAddress)
    : log_(log), busAddress_(std::move(busAddress)) {
}

DBusNetworkServices::~DBusNetworkServices() = default;

void DBusNetworkServices::failed(Source source, const std::string &reason) {
    std::string &last = lastFailure_[static_cast<int>(source)];
    if (reason == last) return;
    last = reason;
    const char *who = source == Source::ModemManager     ? "ModemManager: "
                      : source == Source::NetworkManager ? "NetworkManager: "
                                                         : "Network services: ";
    log_.line(who + reason + kAbsentSuffix);
}

void DBusNetworkServices::succeeded(Source source) {
    lastFailure_[static_cast<int>(source)].clear();
}

bool DBusNetworkServices::connect() {
    if (bus_ && bus_->connection) return true;
    bus_.reset();
    if (const auto missing = missingBusSocket(busAddress_)) {
        failed(Source::Bus, *missing);
        return false;
    }
    try {
        auto bus = std::make_unique<Bus>();
        bus->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        bus->pollFd = ::epoll_create1(EPOLL_CLOEXEC);
        if (bus->wakeFd < 0 || bus->pollFd < 0) throw std::runtime_error("out of file descriptors");
        bus->connection = busAddress_.empty()
                              ? sdbus::createSystemBusConnection()
                              : sdbus::createSessionBusConnectionWithAddress(busAddress_);
        // Also bounds the calls sd-bus makes on its own, such as adding the matches.
        bus->connection->setMethodCallTimeout(kCallTimeout);
        subscribe(*bus);
        bus->connectionFd = bus->connection->getEventLoopPollData().fd;
        for (const int fd : {bus->connectionFd, bus->wakeFd}) {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.fd = fd;
            if (::epoll_ctl(bus->pollFd, EPOLL_CTL_ADD, fd, &event) != 0)
                throw std::runtime_error("cannot watch the bus");
        }
        bus_ = std::move(bus);
        succeeded(Source::Bus);
        return true;
    } catch (const std::exception &error) {
        failed(Source::Bus, std::string("no bus (") + error.what() + ")");
        return false;
    }
}

// Bus-wide matches on the sender rather than one proxy per object: bearers, SIMs and devices come
// and go, and a restarted service has a new unique name.
void DBusNetworkServices::subscribe(Bus &bus) {
    auto add = [&](const std::string &rule) {
        bus.matches.push_back(bus.connection->addMatch(
            rule, [this](sdbus::Message &message) { announced(mayChangeState(message)); }));
    };
    for (const char *service : {kModemManager, kNetworkManager}) {
        add(signalRule(service) + ",interface='" + kProperties + "',member='PropertiesChanged'");
        add(signalRule(kBusName) + ",path='" + kBusPath + "',interface='" + kBusName +
            "',member='NameOwnerChanged',arg0='" + service + "'");
    }
    add(signalRule(kModemManager) + ",path='" + kModemManagerPath + "',interface='" +
        kObjectManager + "'");
    for (const char *member : {"DeviceAdded", "DeviceRemoved", "StateChanged"})
        add(signalRule(kNetworkManager) + ",interface='" + kNetworkManager + "',member='" + member +
            "'");
    add(signalRule(kNetworkManager) + ",interface='" + kDevice + "',member='StateChanged'");
}

void DBusNetworkServices::announced(bool relevant) {
    if (relevant) announced_ = true;
}

void DBusNetworkServices::lose(const std::exception &error) {
    failed(Source::Bus, std::string("lost the bus (") + error.what() + ")");
    // Its descriptor would stay readable for ever. What the services said no longer holds.
    ::epoll_ctl(bus_->pollFd, EPOLL_CTL_DEL, bus_->connectionFd, nullptr);
    bus_->matches.clear();
    bus_->connection.reset();
    announced_ = true;
    eventfd_write(bus_->wakeFd, 1);
}

void DBusNetworkServices::settle() {
    if (!bus_ || !bus_->connection) return;
    try {
        while (bus_->connection->processPendingRequest()) {
        }
    } catch (const std::exception &error) {
        lose(error);
        return;
    }
    if (announced_) eventfd_write(bus_->wakeFd, 1);
}

int DBusNetworkServices::pollFd() const {
    return bus_ ? bus_->pollFd : -1;
}

bool DBusNetworkServices::takeAnnouncements() {
    if (!bus_) return false;
    eventfd_t drained = 0;
    eventfd_read(bus_->wakeFd, &drained);
    if (bus_->connection) {
        try {
            while (bus_->connection->processPendingRequest()) {
            }
        } catch (const std::exception &error) {
            lose(error);
            eventfd_read(bus_->wakeFd, &drained);
        }
    }
    // Lost: nothing more can come until a read connects again.
    if (!bus_->connection) bus_.reset();
    return std::exchange(announced_, false);
}

const NetworkServicesState &DBusNetworkServices::state() {
    if (!read_) refresh();
    return state_;
}

void DBusNetworkServices::refresh() {
    read_ = true;
    state_ = scan().state;
}

DBusNetworkServices::Snapshot DBusNetworkServices::scan() {
    Snapshot snapshot;
    if (!connect()) return snapshot;
    readModemManager(snapshot);
    readNetworkManager(snapshot);
    settle();
    return snapshot;
}

void DBusNetworkServices::readModemManager(Snapshot &snapshot) {
    Snapshot read;
    try {
        ServiceReader reader(*bus_->connection, kModemManager);
        if (!reader.running()) {
            failed(Source::ModemManager, "not running");
            return;
        }
        for (const auto &[path, interfaces] : reader.managedObjects(kModemManagerPath)) {
            const auto modem = interfaces.find(kModem);
            if (modem == interfaces.end()) continue;
            const Properties &properties = modem->second;
            ModemInfo info;
            info.path = path;
            using Ports = std::vector<sdbus::Struct<std::string, std::uint32_t>>;
            for (const auto &port : property<Ports>(properties, "Ports", path))
                if (std::get<1>(port) == kPortNet) info.netPorts.push_back(std::get<0>(port));

            std::vector<std::string> bearers, connected;
            for (const auto &bearer :
                 property<std::vector<sdbus::ObjectPath>>(properties, "Bearers", path)) {
                const auto bearerProperties = reader.getAll(bearer, kBearer);
                if (!bearerProperties) continue;
                bearers.push_back(bearer);
                const auto interface =
                    property<std::string>(*bearerProperties, "Interface", bearer);
                if (!property<bool>(*bearerProperties, "Connected", bearer)) continue;
                connected.push_back(bearer);
                if (!interface.empty()) info.dataInterfaces.push_back(interface);
            }

            // A dual-SIM modem lists its active SIM here: a slot switch reads as another SIM.
            std::string simOperator;
            const auto sim = property<sdbus::ObjectPath>(properties, "Sim", path);
            if (sim != "/") {
                if (const auto simProperties = reader.getAll(sim, kSim)) {
                    info.simIdentifier =
                        property<std::string>(*simProperties, "SimIdentifier", sim);
                    if (info.simIdentifier.empty())
                        info.simIdentifier = property<std::string>(*simProperties, "Imsi", sim);
                    simOperator = property<std::string>(*simProperties, "OperatorName", sim);
                }
            }

            if (const auto gpp = interfaces.find(kModem3gpp); gpp != interfaces.end()) {
                const auto registration =
                    property<std::uint32_t>(gpp->second, "RegistrationState", path);
                info.roaming =
                    std::find(kRoaming.begin(), kRoaming.end(), registration) != kRoaming.end();
                info.operatorName = property<std::string>(gpp->second, "OperatorName", path);
            }
            if (info.operatorName.empty()) info.operatorName = simOperator;

            read.state.modems.push_back(std::move(info));
            read.bearers.push_back(std::move(bearers));
            read.connectedBearers.push_back(std::move(connected));
        }
    } catch (const Nonsense &error) {
        failed(Source::ModemManager, std::string("answered nonsense (") + error.what() + ")");
        return;
    } catch (const std::exception &error) {
        failed(Source::ModemManager, std::string("did not answer (") + error.what() + ")");
        return;
    }
    succeeded(Source::ModemManager);
    snapshot.state.modemManager = true;
    snapshot.state.modems = std::move(read.state.modems);
    snapshot.bearers = std::move(read.bearers);
    snapshot.connectedBearers = std::move(read.connectedBearers);
}

void DBusNetworkServices::readNetworkManager(Snapshot &snapshot) {
    Snapshot read;
    try {
        ServiceReader reader(*bus_->connection, kNetworkManager);
        if (!reader.running()) {
            failed(Source::NetworkManager, "not running");
            return;
        }
        const Properties manager{
            {"Devices", reader.get(kNetworkManagerPath, kNetworkManager, "Devices")}};
        for (const auto &path :
             property<std::vector<sdbus::ObjectPath>>(manager, "Devices", kNetworkManagerPath)) {
            const auto properties = reader.getAll(path, kDevice);
            if (!properties) continue;
            NetworkDeviceInfo device;
            device.interface = property<std::string>(*properties, "IpInterface", path);
            const auto interface = property<std::string>(*properties, "Interface", path);
            if (device.interface.empty()) device.interface = interface;
            device.kind = deviceKind(property<std::uint32_t>(*properties, "DeviceType", path));
            device.active = property<std::uint32_t>(*properties, "State", path) == kDeviceActivated;
            const auto metered = property<std::uint32_t>(*properties, "Metered", path);
            device.metered = metered == kMeteredYes || metered == kMeteredGuessYes;
            read.state.devices.push_back(std::move(device));
            read.devicePaths.push_back(path);
        }
    } catch (const Nonsense &error) {
        failed(Source::NetworkManager, std::string("answered nonsense (") + error.what() + ")");
        return;
    } catch (const std::exception &error) {
        failed(Source::NetworkManager, std::string("did not answer (") + error.what() + ")");
        return;
    }
    succeeded(Source::NetworkManager);
    snapshot.state.networkManager = true;
    snapshot.state.devices = std::move(read.state.devices);
    snapshot.devicePaths = std::move(read.devicePaths);
}

namespace {

bool isModem(const NetworkDeviceInfo &device) {
    return device.kind == NetworkDeviceInfo::Kind::Modem;
}

} // namespace

// Read afresh rather than from the last refresh, which may be old; the state itself changes only
// in refresh().
std::string DBusNetworkServices::disconnectCellular() {
    const Snapshot now = scan();
    if (!bus_ || !bus_->connection) return kNeither;
    const auto &devices = now.state.devices;
    std::string result = kNeither;
    if (now.state.networkManager && std::any_of(devices.begin(), devices.end(), [](auto &device) {
            return isModem(device) && device.active;
        }))
        result = disconnectThroughNetworkManager(now);
    else if (now.state.modemManager)
        result = disconnectThroughModemManager(now);
    else if (now.state.networkManager)
        result.clear(); // no modem connection to end
    settle();
    return result;
}

std::string DBusNetworkServices::disconnectThroughNetworkManager(const Snapshot &now) {
    std::string errors;
    std::vector<std::string> done;
    for (std::size_t i = 0; i < now.state.devices.size(); ++i) {
        const NetworkDeviceInfo &device = now.state.devices[i];
        if (!isModem(device) || !device.active) continue;
        const std::string error =
            command(*bus_->connection, kNetworkManager, now.devicePaths[i], kDevice, "Disconnect");
        if (error.empty()) done.push_back(now.devicePaths[i]);
        addError(errors, error);
    }
    remember(true, std::move(done));
    return errors;
}

std::string DBusNetworkServices::disconnectThroughModemManager(const Snapshot &now) {
    std::string errors;
    std::vector<std::string> done;
    for (std::size_t i = 0; i < now.state.modems.size(); ++i) {
        if (now.connectedBearers[i].empty()) continue;
        const std::string error =
            command(*bus_->connection, kModemManager, now.state.modems[i].path, kModemSimple,
                    "Disconnect", sdbus::ObjectPath("/"));
        if (error.empty())
            done.insert(done.end(), now.connectedBearers[i].begin(), now.connectedBearers[i].end());
        addError(errors, error);
    }
    remember(false, std::move(done));
    return errors;
}

// Added to what an earlier disconnect through the same service turned off: a second disconnect
// must not make the reconnect forget the first.
void DBusNetworkServices::remember(bool throughNetworkManager, std::vector<std::string> paths) {
    if (paths.empty()) return;
    if (!switched_ || switched_->throughNetworkManager != throughNetworkManager)
        switched_ = Switched{throughNetworkManager, {}};
    for (std::string &path : paths)
        if (!contains(switched_->paths, path)) switched_->paths.push_back(std::move(path));
}

std::string DBusNetworkServices::reconnectCellular() {
    const Snapshot now = scan();
    if (!bus_ || !bus_->connection) return kNeither;
    const auto &devices = now.state.devices;
    const bool throughNetworkManager =
        switched_
            ? switched_->throughNetworkManager
            : now.state.networkManager && std::any_of(devices.begin(), devices.end(), isModem);
    std::string result;
    if (throughNetworkManager)
        result = now.state.networkManager ? reconnectThroughNetworkManager(now)
                                          : "NetworkManager did not answer";
    else
        result = now.state.modemManager     ? reconnectThroughModemManager(now)
                 : now.state.networkManager ? "no modem to connect"
                                            : kNeither;
    if (result.empty()) switched_.reset();
    settle();
    return result;
}

std::string DBusNetworkServices::reconnectThroughNetworkManager(const Snapshot &now) {
    // What we turned off, where it is still there; else (a modem plugged in again has a new
    // path) every modem.
    std::vector<std::size_t> modems;
    for (std::size_t i = 0; i < now.state.devices.size(); ++i)
        if (isModem(now.state.devices[i])) modems.push_back(i);
    if (modems.empty()) return "no modem to connect";
    if (switched_ && std::any_of(modems.begin(), modems.end(), [&](std::size_t i) {
            return contains(switched_->paths, now.devicePaths[i]);
        }))
        std::erase_if(
            modems, [&](std::size_t i) { return !contains(switched_->paths, now.devicePaths[i]); });
    std::string errors;
    for (const std::size_t i : modems) {
        if (now.state.devices[i].active) continue;
        addError(errors, command(*bus_->connection, kNetworkManager, kNetworkManagerPath,
                                 kNetworkManager, "ActivateConnection", sdbus::ObjectPath("/"),
                                 sdbus::ObjectPath(now.devicePaths[i]), sdbus::ObjectPath("/")));
    }
    return errors;
}

std::string DBusNetworkServices::reconnectThroughModemManager(const Snapshot &now) {
    std::vector<std::string> bearers;
    for (const auto &ofModem : now.bearers)
        bearers.insert(bearers.end(), ofModem.begin(), ofModem.end());
    if (bearers.empty()) return "no modem to connect";
    if (switched_ && std::any_of(bearers.begin(), bearers.end(), [&](const std::string &bearer) {
            return contains(switched_->paths, bearer);
        }))
        std::erase_if(bearers, [&](const std::string &bearer) {
            return !contains(switched_->paths, bearer);
        });
    std::string errors;
    for (const std::string &bearer : bearers) {
        const bool connected = std::any_of(
            now.connectedBearers.begin(), now.connectedBearers.end(),
            [&](const std::vector<std::string> &ofModem) { return contains(ofModem, bearer); });
        if (connected) continue;
        addError(errors, command(*bus_->connection, kModemManager, bearer, kBearer, "Connect"));
    }
    return errors;
}

} // namespace byteward
