#pragma once

#include "model/data_type.h"
#include "platform/network_statistics.h"
#include "storage/user_defaults.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

// Decides which interfaces carry cellular and which Wi-Fi traffic. The built-in rules know the
// phone names and the Linux kernel's device types and naming schemes; the user may replace the
// rules of either type with a list of names or shell patterns in the user defaults.
class InterfaceClassifier {
  public:
    // User-defaults keys: arrays of interface names or patterns such as "usb*".
    static constexpr const char *kCellularInterfacesKey = "cellularInterfaces";
    static constexpr const char *kWiFiInterfacesKey = "wifiInterfaces";

    InterfaceClassifier() = default;
    InterfaceClassifier(std::optional<std::vector<std::string>> cellularOverride,
                        std::optional<std::vector<std::string>> wifiOverride);
    static InterfaceClassifier fromDefaults(UserDefaults &defaults);

    // Loopback is never cellular or Wi-Fi, whatever a list says.
    DataType classify(const InterfaceStats &interface) const;

  private:
    std::optional<std::vector<std::string>> cellular_;
    std::optional<std::vector<std::string>> wifi_;
};

} // namespace byteward
