// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/logind.h"

#include <chrono>
#include <sdbus-c++/sdbus-c++.h>
#include <utility>
#include <vector>

namespace byteward {

namespace {

constexpr const char *kService = "org.freedesktop.login1";
constexpr const char *kPath = "/org/freedesktop/login1";
constexpr const char *kManager = "org.freedesktop.login1.Manager";
// logind itself gives a delay lock only a few seconds, so a slower answer is no answer.
constexpr auto kCallTimeout = std::chrono::seconds(2);

} // namespace

struct LogindPowerEvents::Bus {
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IProxy> manager;
    sdbus::UnixFd delayLock; // closing it releases the inhibitor
    std::vector<PowerEvent> arrived;
};

LogindPowerEvents::LogindPowerEvents(Log &log) : log_(log) {
    try {
        auto bus = std::make_unique<Bus>();
        bus->connection = sdbus::createSystemBusConnection();
        // Also bounds the calls sd-bus makes on its own, such as adding the signal matches.
        bus->connection->setMethodCallTimeout(kCallTimeout);
        bus->manager = sdbus::createProxy(*bus->connection, kService, kPath);
        // The signals are only queued here: they are handled from dispatch, outside sd-bus.
        Bus *raw = bus.get();
        bus->manager->uponSignal("PrepareForSleep")
            .onInterface(kManager)
            .call([raw](bool starting) {
                raw->arrived.push_back({PowerEvent::Kind::Sleep, starting});
            });
        bus->manager->uponSignal("PrepareForShutdown")
            .onInterface(kManager)
            .call([raw](bool starting) {
                raw->arrived.push_back({PowerEvent::Kind::Shutdown, starting});
            });
        bus->manager->finishRegistration();
        bus_ = std::move(bus);
    } catch (const std::exception &error) {
        failed(std::string("logind: no system bus (") + error.what() +
               "); sleep and shutdown will not wait for a last sample");
    }
}

LogindPowerEvents::~LogindPowerEvents() = default;

void LogindPowerEvents::failed(const std::string &reason) {
    if (reason == lastFailure_) return;
    lastFailure_ = reason;
    log_.line(reason);
}

bool LogindPowerEvents::takeDelayLock() {
    if (!bus_) return false;
    if (bus_->delayLock.get() >= 0) return true;
    try {
        sdbus::UnixFd lock;
        bus_->manager->callMethod("Inhibit")
            .onInterface(kManager)
            .withTimeout(kCallTimeout)
            .withArguments("shutdown:sleep", "Byteward", "Record usage before sleep and shutdown",
                           "delay")
            .storeResultsTo(lock);
        bus_->delayLock = std::move(lock);
        lastFailure_.clear();
        return bus_->delayLock.get() >= 0;
    } catch (const std::exception &error) {
        failed(std::string("logind: no delay lock (") + error.what() +
               "); sleep and shutdown will not wait for a last sample");
        return false;
    }
}

void LogindPowerEvents::releaseDelayLock() {
    if (bus_) bus_->delayLock = sdbus::UnixFd();
}

int LogindPowerEvents::pollFd() const {
    if (!bus_) return -1;
    try {
        return bus_->connection->getEventLoopPollData().fd;
    } catch (const std::exception &) {
        return -1;
    }
}

void LogindPowerEvents::dispatch(const std::function<void(const PowerEvent &)> &handler) {
    while (bus_) {
        try {
            while (bus_->connection->processPendingRequest()) {
            }
        } catch (const std::exception &error) {
            // A lost bus would leave its descriptor forever readable, and announcements could no
            // longer reach us, so a held lock would only delay sleep: give both up.
            std::vector<PowerEvent> arrived = std::move(bus_->arrived);
            bus_.reset();
            failed(std::string("logind: lost the system bus (") + error.what() +
                   "); sleep and shutdown will not wait for a last sample");
            for (const PowerEvent &event : arrived)
                handler(event);
            return;
        }
        if (bus_->arrived.empty()) return;
        // The handler may call logind, which can queue further signals; the next round takes them.
        const std::vector<PowerEvent> arrived = std::exchange(bus_->arrived, {});
        for (const PowerEvent &event : arrived)
            handler(event);
    }
}

} // namespace byteward
