// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <utility>
#include <vector>

namespace byteward::test {

// A private message bus (dbus-daemon) in a temporary directory, stopped at the end.
class PrivateBus {
  public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;
    // Empty when dbus-daemon is not installed or would not start.
    const std::string &address() const { return address_; }

  private:
    std::string dir_;
    std::string address_;
    pid_t pid_ = -1;
};

// GeoClue2 as far as a client sees it: the manager, one client and a location object per fix,
// served from its own thread. What the client asked for is kept for the test.
class FakeGeoClue {
  public:
    explicit FakeGeoClue(const std::string &busAddress, std::uint32_t availableAccuracy = 8);
    ~FakeGeoClue();
    FakeGeoClue(const FakeGeoClue &) = delete;
    FakeGeoClue &operator=(const FakeGeoClue &) = delete;

    // Announces a new location and waits until the signal has left.
    void sendFix(double latitude, double longitude, Instant timestamp);

    struct Seen {
        std::string desktopId;
        std::uint32_t accuracy = 0;
        std::uint32_t distanceThreshold = 0;
        int clients = 0; // GetClient calls
        int starts = 0;
        int stops = 0;
        bool active = false;
    };
    Seen seen() const;
    // The next `count` starts are refused, as the user's agent does.
    void refuseStarts(int count);

  private:
    struct Server;
    void run();
    void post(std::function<void()> job);

    std::unique_ptr<Server> server_;
    mutable std::mutex mutex_;
    Seen seen_;
    int refusals_ = 0;
    std::vector<std::function<void()>> jobs_;
    int wakeFd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A Nominatim server on loopback that answers every request with what `respond` gives for the
// request target: an HTTP status and a body.
class FakeNominatim {
  public:
    using Responder = std::function<std::pair<int, std::string>(const std::string &target)>;
    explicit FakeNominatim(Responder respond);
    ~FakeNominatim();
    FakeNominatim(const FakeNominatim &) = delete;
    FakeNominatim &operator=(const FakeNominatim &) = delete;

    std::string endpoint() const { return "http://127.0.0.1:" + std::to_string(port_); }

    struct Request {
        std::string target;
        std::string userAgent;
        std::chrono::steady_clock::time_point at;
    };
    std::vector<Request> requests() const;

  private:
    void run();
    void serve(int connection);

    Responder respond_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::thread thread_;
};

// A Nominatim /reverse answer naming a town and a state.
std::string nominatimAnswer(const std::string &town, const std::string &state);

} // namespace byteward::test
