// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/log.h"
#include "platform/network_services.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// ModemManager and NetworkManager on the system bus. Connects on the first state(); after that it
// follows their announcements on the same connection. A service that does not run, vanishes,
// takes too long or answers with the wrong types reads as absent, and the log says why once per
// reason. Never throws, and a whole read stays within a few seconds however the services behave.
class DBusNetworkServices final : public NetworkServices {
  public:
    // `busAddress` empty: the system bus.
    explicit DBusNetworkServices(Log &log, std::string busAddress = {});
    ~DBusNetworkServices() override;
    DBusNetworkServices(const DBusNetworkServices &) = delete;
    DBusNetworkServices &operator=(const DBusNetworkServices &) = delete;

    const NetworkServicesState &state() override;
    // Not the connection's own descriptor: sd-bus reads signals into its queue while it waits
    // for an answer, and those must wake the caller too.
    int pollFd() const override;
    bool takeAnnouncements() override;
    void refresh() override;
    std::string disconnectCellular() override;
    std::string reconnectCellular() override;

  private:
    struct Bus;
    struct Snapshot;
    enum class Source { Bus, ModemManager, NetworkManager };
    // What disconnectCellular() turned off, so that reconnectCellular() turns on the same.
    struct Switched {
        bool throughNetworkManager = false;
        std::vector<std::string> paths; // devices, else bearers
    };

    bool connect();
    void subscribe(Bus &bus);
    void announced(bool relevant);
    void lose(const std::exception &error);
    // Takes in what arrived during our own calls, and keeps the descriptor readable if any of it
    // matters.
    void settle();
    Snapshot scan();
    void readModemManager(Snapshot &snapshot);
    void readNetworkManager(Snapshot &snapshot);
    std::string disconnectThroughNetworkManager(const Snapshot &now);
    std::string disconnectThroughModemManager(const Snapshot &now);
    std::string reconnectThroughNetworkManager(const Snapshot &now);
    std::string reconnectThroughModemManager(const Snapshot &now);
    void remember(bool throughNetworkManager, std::vector<std::string> paths);
    void failed(Source source, const std::string &reason);
    void succeeded(Source source);

    Log &log_;
    std::string busAddress_;
    std::unique_ptr<Bus> bus_;
    NetworkServicesState state_;
    bool read_ = false;
    bool announced_ = false; // a relevant announcement waits to be taken
    std::optional<Switched> switched_;
    std::string lastFailure_[3]; // by Source
};

} // namespace byteward
