// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/interface_classifier.h"

#include "model/text_format.h"
#include "platform/i18n.h"

#include <algorithm>
#include <array>
#include <fnmatch.h>

namespace byteward {

namespace {

bool matchesAny(const std::string &name, const std::vector<std::string> &patterns) {
    return std::any_of(patterns.begin(), patterns.end(), [&](const std::string &pattern) {
        return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
    });
}

bool startsWithAny(const std::string &name, std::initializer_list<const char *> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&](const char *prefix) { return name.rfind(prefix, 0) == 0; });
}

bool contains(const std::vector<std::string> &names, const std::string &name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The reason of a built-in cellular rule, or empty. `modem` tells whether a network service
// says the interface belongs to a modem.
std::string builtInCellular(const InterfaceStats &i, bool modem) {
    static const std::array<const char *, 4> phoneNames{"pdp_ip0", "pdp_ip1", "pdp_ip2", "pdp_ip3"};
    if (std::find(phoneNames.begin(), phoneNames.end(), i.name) != phoneNames.end())
        return N_("phone data interface");
    if (i.devType == "wwan") return N_("kernel device type wwan");
    if (startsWithAny(i.name, {"wwan", "wwp"})) return N_("modem name");
    // Qualcomm phones stack rmnet_data* (or qmapmux*, qmimux*) on rmnet_ipa*/rmnet_mhi*/wwan*;
    // MediaTek phones use ccmni*.
    if (startsWithAny(i.name,
                      {"rmnet_data", "rmnet_ipa", "rmnet_mhi", "qmapmux", "qmimux", "ccmni"}))
        return N_("phone data interface");
    // A phone tethered over USB: these drivers serve nothing else.
    if (i.driver == "ipheth" || i.driver == "rndis_host") return "USB tethering (" + i.driver + ")";
    // Also USB Ethernet adapters use these; only a modem's are cellular.
    if (modem && (i.driver == "cdc_ncm" || i.driver == "cdc_ether"))
        return "USB modem (" + i.driver + ")";
    return {};
}

bool builtInWiFi(const InterfaceStats &i) {
    if (i.name == "en0" || i.name == "en1") return true;
    return i.devType == "wlan" || i.wireless || startsWithAny(i.name, {"wlan", "wlp", "wlx"});
}

std::optional<std::vector<std::string>> patternList(UserDefaults &defaults, const char *key) {
    const auto value = defaults.objectForKey(key);
    if (!value) return std::nullopt;
    std::vector<std::string> patterns;
    if (const ValueArray *array = value->asArray()) {
        for (const auto &item : *array)
            if (const std::string *text = item.asString()) patterns.push_back(*text);
    } else if (const std::string *text = value->asString()) {
        patterns.push_back(*text); // a single name written as a plain string
    }
    return patterns;
}

} // namespace

InterfaceClassifier::InterfaceClassifier(std::optional<std::vector<std::string>> cellularOverride,
                                         std::optional<std::vector<std::string>> wifiOverride,
                                         NetworkServicesState services, bool meteredIsCellular)
    : cellular_(std::move(cellularOverride)), wifi_(std::move(wifiOverride)),
      services_(std::move(services)), meteredIsCellular_(meteredIsCellular) {
}

InterfaceClassifier InterfaceClassifier::fromDefaults(UserDefaults &defaults) {
    return {patternList(defaults, kCellularInterfacesKey),
            patternList(defaults, kWiFiInterfacesKey)};
}

InterfaceClassifier InterfaceClassifier::forServices(Services &services) {
    const auto metered = services.defaults.objectForKey(kMeteredIsCellularKey);
    return {patternList(services.defaults, kCellularInterfacesKey),
            patternList(services.defaults, kWiFiInterfacesKey), services.network.state(),
            !metered || metered->boolValue()};
}

InterfaceDecision InterfaceClassifier::decide(const InterfaceStats &interface) const {
    InterfaceDecision d{interface.name, DataType::None, N_("no rule names it"), {}, {}, false};
    const auto typed = [&](DataType type, std::string reason) {
        d.type = type;
        d.reason = std::move(reason);
        d.counted = true;
        return d;
    };
    if (interface.loopback) {
        d.reason = N_("loopback");
        return d;
    }
    // A user's list is the whole rule for its type and outranks everything else.
    if (cellular_ && matchesAny(interface.name, *cellular_))
        return typed(DataType::Cellular, std::string("your list ") + kCellularInterfacesKey);
    if (wifi_ && matchesAny(interface.name, *wifi_))
        return typed(DataType::WiFi, std::string("your list ") + kWiFiInterfacesKey);

    bool modem = false;
    for (const ModemInfo &m : services_.modems) {
        if (contains(m.dataInterfaces, interface.name))
            return typed(DataType::Cellular, N_("ModemManager: a connected bearer"));
        modem = modem || contains(m.netPorts, interface.name);
    }
    for (const NetworkDeviceInfo &device : services_.devices) {
        if (device.interface != interface.name) continue;
        modem = modem || device.kind == NetworkDeviceInfo::Kind::Modem;
        const bool link = device.kind == NetworkDeviceInfo::Kind::WiFi ||
                          device.kind == NetworkDeviceInfo::Kind::Ethernet;
        if (link && device.active && device.metered && meteredIsCellular_)
            return typed(DataType::Cellular, N_("NetworkManager: a metered connection"));
    }
    if (!cellular_) {
        std::string reason = builtInCellular(interface, modem);
        if (!reason.empty()) return typed(DataType::Cellular, std::move(reason));
    }
    if (!wifi_ && builtInWiFi(interface)) return typed(DataType::WiFi, N_("Wi-Fi device"));
    if (cellular_ || wifi_) d.reason = N_("not in your lists");
    return d;
}

DataType InterfaceClassifier::classify(const InterfaceStats &interface) const {
    return decide(interface).type;
}

std::vector<InterfaceDecision> InterfaceClassifier::decide(const StatsSnapshot &snapshot) const {
    const auto &interfaces = snapshot.interfaces;
    std::vector<InterfaceDecision> decisions;
    decisions.reserve(interfaces.size());
    for (const auto &interface : interfaces)
        decisions.push_back(decide(interface));

    const auto position = [&](auto matches) -> std::size_t {
        return static_cast<std::size_t>(
            std::find_if(interfaces.begin(), interfaces.end(), matches) - interfaces.begin());
    };
    for (std::size_t upper = 0; upper < interfaces.size(); ++upper) {
        if (decisions[upper].type == DataType::None) continue;
        const InterfaceStats &u = interfaces[upper];
        std::vector<std::size_t> carriers;
        for (const std::string &lower : u.lowers)
            carriers.push_back(position([&](const auto &i) { return i.name == lower; }));
        // The iflink names the carrier where a driver links no lower_* entry; a veth pair's
        // point at each other, which is no stacking.
        if (u.lowers.empty() && u.link >= 0 && u.index >= 0 && u.link != u.index) {
            const std::size_t lower = position([&](const auto &i) { return i.index == u.link; });
            if (lower < interfaces.size() && interfaces[lower].link != u.index)
                carriers.push_back(lower);
        }
        for (const std::size_t lower : carriers) {
            if (lower >= interfaces.size() || lower == upper) continue;
            if (decisions[lower].type == DataType::None) continue;
            decisions[lower].counted = false;
            decisions[lower].upper = u.name;
            if (decisions[upper].carrier.empty()) decisions[upper].carrier = interfaces[lower].name;
        }
    }
    return decisions;
}

std::string nothingCountedNote(const StatsSnapshot &snapshot,
                               const std::vector<InterfaceDecision> &decisions) {
    if (!snapshot.ok()) return {};
    std::string found;
    std::string example;
    for (std::size_t i = 0; i < decisions.size(); ++i) {
        if (decisions[i].counted) return {};
        if (snapshot.interfaces[i].loopback) continue;
        if (example.empty()) example = decisions[i].name;
        // The fixed reasons are in the catalogue; those naming a driver or a list stay as they are.
        found +=
            (found.empty() ? "" : ", ") + decisions[i].name + " (" + tr(decisions[i].reason) + ")";
    }
    // TRANSLATORS: the found interfaces, then the command with its setting keys, kept as is.
    return format(tr("No interface counts as cellular or Wi-Fi, so every figure stays at zero. "
                     "Found: %s. Name yours in Settings under INTERFACES, or with: bytewardctl "
                     "defaults write %s -array %s (or %s)"),
                  found.empty() ? tr("none but the loopback") : found.c_str(),
                  InterfaceClassifier::kCellularInterfacesKey,
                  example.empty() ? "NAME" : example.c_str(),
                  InterfaceClassifier::kWiFiInterfacesKey);
}

} // namespace byteward
