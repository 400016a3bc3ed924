// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/device_info.h"

namespace byteward {

double DeviceInfo::counterOf(const InterfaceStats &interface, int direction) {
    // Each counter goes to double before the sum, so the sum cannot wrap.
    const auto received = static_cast<double>(interface.receivedBytes);
    const auto sent = static_cast<double>(interface.sentBytes);
    switch (direction) {
    case kDirectionSent:
        return sent;
    case kDirectionReceived:
        return received;
    case kDirectionTotal:
        return received + sent;
    default:
        return 0.0;
    }
}

double DeviceInfo::readInterface(std::string_view name, int direction) const {
    const StatsSnapshot snapshot = statistics_.read();
    for (const auto &interface : snapshot.interfaces)
        if (!interface.loopback && interface.name == name) return counterOf(interface, direction);
    return 0.0;
}

double DeviceInfo::getCurrentDataUsageForBSDInterface(std::string_view name) const {
    return readInterface(name, kDirectionTotal);
}

double DeviceInfo::getCurrentDataReceivedForBSDInterface(std::string_view name) const {
    return readInterface(name, kDirectionReceived);
}

double DeviceInfo::getCurrentDataSentForBSDInterface(std::string_view name) const {
    return readInterface(name, kDirectionSent);
}

std::int64_t DeviceInfo::getSecondsSinceLastBoot() const {
    return boot_.bootTime();
}

std::optional<DeviceInfo::Reading>
DeviceInfo::readDataType(DataType type, const InterfaceClassifier &classifier) const {
    const StatsSnapshot snapshot = statistics_.read();
    if (!snapshot.ok()) return std::nullopt;
    return readDataType(snapshot, type, classifier);
}

DeviceInfo::Reading DeviceInfo::readDataType(const StatsSnapshot &snapshot, DataType type,
                                             const InterfaceClassifier &classifier) {
    Reading reading;
    const auto decisions = classifier.decide(snapshot);
    for (std::size_t i = 0; i < decisions.size(); ++i) {
        const InterfaceStats &interface = snapshot.interfaces[i];
        if (interface.loopback) continue;
        const bool counted = decisions[i].counted && decisions[i].type == type;
        if (counted) {
            reading.sent += counterOf(interface, kDirectionSent);
            reading.received += counterOf(interface, kDirectionReceived);
            reading.total += counterOf(interface, kDirectionTotal);
        }
        reading.interfaces.push_back({interface.name, interface.index,
                                      counterOf(interface, kDirectionSent),
                                      counterOf(interface, kDirectionReceived), counted});
    }
    return reading;
}

std::optional<double> DeviceInfo::readDataType(DataType type, int direction,
                                               const InterfaceClassifier &classifier) const {
    const StatsSnapshot snapshot = statistics_.read();
    if (!snapshot.ok()) return std::nullopt;
    double sum = 0.0;
    const auto decisions = classifier.decide(snapshot);
    for (std::size_t i = 0; i < decisions.size(); ++i)
        if (decisions[i].counted && decisions[i].type == type)
            sum += counterOf(snapshot.interfaces[i], direction);
    return sum;
}

} // namespace byteward
