// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/dbus_notifications.h"

#include "platform/markup.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <map>
#include <sdbus-c++/sdbus-c++.h>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace byteward {

namespace {

constexpr auto kCallTimeout = std::chrono::seconds(2);

// The socket the session bus listens on, where its address names one file: the library's own
// default ($XDG_RUNTIME_DIR/bus) or a single unix:path= address. Empty for anything else
// (abstract sockets, TCP, several addresses), which the library is left to try.
std::string sessionBusSocket() {
    const char *address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || *address == '\0') {
        const char *runtime = std::getenv("XDG_RUNTIME_DIR");
        return runtime != nullptr && *runtime != '\0' ? std::string(runtime) + "/bus"
                                                       : std::string();
    }
    std::string_view rest(address);
    if (rest.rfind("unix:", 0) != 0 || rest.find(';') != std::string_view::npos) return {};
    rest.remove_prefix(5);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        const std::string_view pair = rest.substr(0, comma);
        // An escaped path (%xx) is rare enough to leave to the library.
        if (pair.rfind("path=", 0) == 0 && pair.find('%') == std::string_view::npos)
            return std::string(pair.substr(5));
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return {};
}

// The bus's socket when it is known not to exist, else empty. A daemon on a machine without a
// desktop session would otherwise set up a connection every sample only to be refused.
std::string missingSessionBusSocket() {
    std::string socket = sessionBusSocket();
    struct stat info {};
    if (socket.empty() || ::stat(socket.c_str(), &info) == 0 || errno != ENOENT) return {};
    return socket;
}

} // namespace

struct DesktopNotificationSink::Bus {
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IProxy> notifications;
    std::unique_ptr<sdbus::IObject> launcherEntry;
    std::vector<std::string> invoked; // our actions chosen since they were last taken
};

DesktopNotificationSink::DesktopNotificationSink(Log *log) : log_(log) {
}

DesktopNotificationSink::~DesktopNotificationSink() = default;

DesktopNotificationSink::Bus *DesktopNotificationSink::bus() {
    if (bus_) {
        try {
            // Nobody runs an event loop on this connection: answer what arrived meanwhile (a
            // shell introspecting the launcher entry) so nothing piles up.
            while (bus_->connection->processPendingRequest()) {
            }
            return bus_.get();
        } catch (const std::exception &error) {
            // The bus went away; try a fresh connection below.
            failed(std::string("session bus lost: ") + error.what());
            bus_.reset();
        }
    }
    if (const std::string missing = missingSessionBusSocket(); !missing.empty()) {
        failed("no session bus: " + missing + " does not exist");
        return nullptr;
    }
    try {
        auto bus = std::make_unique<Bus>();
        bus->connection = sdbus::createSessionBusConnection();
        bus->notifications = sdbus::createProxy(*bus->connection, "org.freedesktop.Notifications",
                                                "/org/freedesktop/Notifications");
        bus->launcherEntry = sdbus::createObject(*bus->connection, kLauncherPath);
        // The server tells every client of every action. Ours carry our prefix, and count
        // whichever of our processes showed the notification: a command that posted it has
        // long exited when the person chooses.
        Bus *raw = bus.get();
        bus->notifications->uponSignal("ActionInvoked")
            .onInterface("org.freedesktop.Notifications")
            .call([raw](std::uint32_t /*id*/, const std::string &action) {
                if (action.rfind(kActionPrefix, 0) == 0) raw->invoked.push_back(action);
            });
        bus->notifications->finishRegistration();
        bus_ = std::move(bus);
    } catch (const std::exception &error) {
        failed(std::string("no session bus: ") + error.what());
    }
    return bus_.get();
}

void DesktopNotificationSink::failed(const std::string &reason) {
    if (reason == lastFailure_) return;
    lastFailure_ = reason;
    if (log_ != nullptr) log_->line(reason);
}

bool DesktopNotificationSink::showNotification(const LocalNotification &notification) {
    Bus *bus = this->bus();
    if (bus == nullptr) return false;
    std::vector<std::string> actions;
    const Value *offered = notification.userInfo.find(kNotificationActionKey);
    const std::string action = offered != nullptr ? offered->stringValue() : std::string();
    if (!notification.alertAction.empty())
        actions = {action.empty() ? std::string("default") : action, notification.alertAction};
    std::map<std::string, sdbus::Variant> hints{{"desktop-entry", sdbus::Variant(kDesktopId)}};
    if (!notification.soundDefault) hints.emplace("suppress-sound", sdbus::Variant(true));
    try {
        std::uint32_t id = 0;
        bus->notifications->callMethod("Notify")
            .onInterface("org.freedesktop.Notifications")
            .withTimeout(kCallTimeout)
            .withArguments("Byteward", std::uint32_t{0}, kIconName, "Byteward",
                           escapeNotificationMarkup(notification.alertBody), actions, hints,
                           std::int32_t{-1})
            .storeResultsTo(id);
        lastFailure_.clear();
        return true;
    } catch (const std::exception &error) {
        failed(std::string("notification server: ") + error.what());
        return false;
    }
}

bool DesktopNotificationSink::setBadge(std::optional<long long> count) {
    Bus *bus = this->bus();
    if (bus == nullptr) return false;
    const std::map<std::string, sdbus::Variant> properties{
        {"count", sdbus::Variant(static_cast<std::int64_t>(count.value_or(0)))},
        {"count-visible", sdbus::Variant(count.value_or(0) > 0)}};
    try {
        bus->launcherEntry->emitSignal("Update")
            .onInterface("com.canonical.Unity.LauncherEntry")
            .withArguments(std::string(kLauncherUri), properties);
        return true;
    } catch (const std::exception &error) {
        failed(std::string("launcher badge: ") + error.what());
        return false;
    }
}

std::vector<std::string> DesktopNotificationSink::takeInvokedActions() {
    if (!bus_) return {};
    try {
        while (bus_->connection->processPendingRequest()) {
        }
    } catch (const std::exception &error) {
        failed(std::string("session bus lost: ") + error.what());
        bus_.reset();
        return {};
    }
    return std::exchange(bus_->invoked, {});
}

int DesktopNotificationSink::actionFd() const {
    if (!bus_) return -1;
    try {
        return bus_->connection->getEventLoopPollData().fd;
    } catch (const std::exception &) {
        return -1;
    }
}

std::string escapeNotificationMarkup(std::string_view text) {
    return escapeMarkup(text);
}

} // namespace byteward
