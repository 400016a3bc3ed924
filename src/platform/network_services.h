// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

namespace byteward {

// One modem as the modem manager describes it.
struct ModemInfo {
    std::string path;                        // its object path
    std::vector<std::string> dataInterfaces; // the interfaces of its connected bearers
    std::vector<std::string> netPorts;       // every network interface it drives, connected or not
    std::string simIdentifier;               // the active SIM's ICCID, else its IMSI; empty: none
    std::string operatorName;                // the network it is registered on, else the SIM's
    bool roaming = false;                    // registered on a network as roaming

    bool operator==(const ModemInfo &) const = default;
};

// One network device as the network manager describes it.
struct NetworkDeviceInfo {
    enum class Kind { Other, Ethernet, WiFi, Modem };
    std::string interface; // its IP interface, else its device interface
    Kind kind = Kind::Other;
    bool active = false;  // has an activated connection
    bool metered = false; // that connection is metered ("yes" or "guess yes")

    bool operator==(const NetworkDeviceInfo &) const = default;
};

// What the system's network services said when last asked. A service that does not run, or did
// not answer in time, reads as absent: counting then follows the interface rules alone.
struct NetworkServicesState {
    bool modemManager = false;   // the modem manager answered
    bool networkManager = false; // the network manager answered
    std::vector<ModemInfo> modems;
    std::vector<NetworkDeviceInfo> devices;

    bool operator==(const NetworkServicesState &) const = default;
};

// The modem manager and the network manager on the system bus. The D-Bus implementation lives
// beside this; tests script their own.
class NetworkServices {
  public:
    virtual ~NetworkServices() = default;
    // The state as last read; the first call reads it.
    virtual const NetworkServicesState &state() = 0;
    // Readable while announcements wait to be taken; -1 when none can ever come.
    virtual int pollFd() const = 0;
    // Takes the announcements that have arrived, without waiting, and leaves the state as it
    // was. True when they may change it (a bearer connected or went, a SIM or the registration
    // changed, an active connection came, went or turned metered): the caller samples under the
    // old state first, so the traffic so far lands on the right side, then calls refresh().
    virtual bool takeAnnouncements() = 0;
    // Reads the state again.
    virtual void refresh() = 0;
    // Turns cellular data off, or on again: through the network manager where it runs, else
    // through the modem manager. Touches nothing but the modems. Empty on success, else why not.
    virtual std::string disconnectCellular() = 0;
    virtual std::string reconnectCellular() = 0;
};

// No services at all: the interface rules alone decide.
class NoNetworkServices final : public NetworkServices {
  public:
    const NetworkServicesState &state() override { return state_; }
    int pollFd() const override { return -1; }
    bool takeAnnouncements() override { return false; }
    void refresh() override {}
    std::string disconnectCellular() override { return "no network services"; }
    std::string reconnectCellular() override { return "no network services"; }

  private:
    NetworkServicesState state_;
};

} // namespace byteward
