// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/data_type.h"
#include "platform/network_services.h"
#include "platform/network_statistics.h"
#include "storage/services.h"
#include "storage/user_defaults.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

// What was decided about one interface, and why.
struct InterfaceDecision {
    std::string name;
    DataType type = DataType::None;
    std::string reason;   // why it has its type (or none)
    std::string carrier;  // the typed interface it is stacked on; empty when none
    std::string upper;    // the typed interface stacked on it, which counts its bytes instead
    bool counted = false; // its bytes go into its type's figures

    bool operator==(const InterfaceDecision &) const = default;
};

// Decides which interfaces carry cellular and which Wi-Fi traffic. The built-in rules know the
// phone names, the Linux kernel's device types, naming schemes and tethering drivers; the modem
// manager names the interfaces of its connected bearers, and the network manager the devices on a
// metered connection. The user may replace the rules of either type with a list of names or shell
// patterns in the user defaults.
class InterfaceClassifier {
  public:
    // User-defaults keys: arrays of interface names or patterns such as "usb*".
    static constexpr const char *kCellularInterfacesKey = "cellularInterfaces";
    static constexpr const char *kWiFiInterfacesKey = "wifiInterfaces";
    // Whether a Wi-Fi or Ethernet link on a metered connection (a phone's hotspot) counts as
    // cellular. On when absent.
    static constexpr const char *kMeteredIsCellularKey = "meteredConnectionsAreCellular";

    InterfaceClassifier() = default;
    InterfaceClassifier(std::optional<std::vector<std::string>> cellularOverride,
                        std::optional<std::vector<std::string>> wifiOverride,
                        NetworkServicesState services = {}, bool meteredIsCellular = true);
    static InterfaceClassifier fromDefaults(UserDefaults &defaults);
    // The user's lists and setting, and what the network services say now.
    static InterfaceClassifier forServices(Services &services);

    // One interface on its own. Loopback is never cellular or Wi-Fi, whatever a list says.
    DataType classify(const InterfaceStats &interface) const;
    InterfaceDecision decide(const InterfaceStats &interface) const;
    // Every interface of a reading, in its order. Where a typed interface is stacked on another
    // typed one, the kernel counts the same bytes on both, so only the upper one counts.
    std::vector<InterfaceDecision> decide(const StatsSnapshot &snapshot) const;

  private:
    std::optional<std::vector<std::string>> cellular_;
    std::optional<std::vector<std::string>> wifi_;
    NetworkServicesState services_;
    bool meteredIsCellular_ = true;
};

// Where no interface counts as cellular or Wi-Fi, every figure stays at zero: this says so, lists
// the interfaces found and shows how to name one. Empty while any interface counts.
std::string nothingCountedNote(const StatsSnapshot &snapshot,
                               const std::vector<InterfaceDecision> &decisions);

} // namespace byteward
