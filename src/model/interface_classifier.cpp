#include "model/interface_classifier.h"

#include <array>
#include <fnmatch.h>

namespace byteward {

namespace {

bool matchesAny(const std::string &name, const std::vector<std::string> &patterns) {
    for (const auto &pattern : patterns)
        if (fnmatch(pattern.c_str(), name.c_str(), 0) == 0) return true;
    return false;
}

bool startsWithAny(const std::string &name, std::initializer_list<const char *> prefixes) {
    for (const char *prefix : prefixes)
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

bool builtInCellular(const InterfaceStats &i) {
    static const std::array<const char *, 4> phoneNames{"pdp_ip0", "pdp_ip1", "pdp_ip2", "pdp_ip3"};
    for (const char *name : phoneNames)
        if (i.name == name) return true;
    return i.devType == "wwan" || startsWithAny(i.name, {"wwan", "wwp"});
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
                                         std::optional<std::vector<std::string>> wifiOverride)
    : cellular_(std::move(cellularOverride)), wifi_(std::move(wifiOverride)) {
}

InterfaceClassifier InterfaceClassifier::fromDefaults(UserDefaults &defaults) {
    return {patternList(defaults, kCellularInterfacesKey),
            patternList(defaults, kWiFiInterfacesKey)};
}

DataType InterfaceClassifier::classify(const InterfaceStats &interface) const {
    if (interface.loopback) return DataType::None;
    // A user's list is the whole rule for its type and outranks the other type's built-in rules.
    if (cellular_ && matchesAny(interface.name, *cellular_)) return DataType::Cellular;
    if (wifi_ && matchesAny(interface.name, *wifi_)) return DataType::WiFi;
    if (!cellular_ && builtInCellular(interface)) return DataType::Cellular;
    if (!wifi_ && builtInWiFi(interface)) return DataType::WiFi;
    return DataType::None;
}

} // namespace byteward
