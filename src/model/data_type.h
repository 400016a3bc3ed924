// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace byteward {

// The two kinds of traffic Byteward keeps apart.
enum class DataType { None, Cellular, WiFi };

inline constexpr const char *kCellular = "cellular";
inline constexpr const char *kWiFi = "wifi";

// Code that tests for "wifi" treats every other text as cellular.
inline DataType dataTypeFromString(std::string_view text) {
    return text == kWiFi ? DataType::WiFi : DataType::Cellular;
}

inline const char *dataTypeName(DataType type) {
    switch (type) {
    case DataType::Cellular:
        return kCellular;
    case DataType::WiFi:
        return kWiFi;
    case DataType::None:
        break;
    }
    return "none";
}

// One value of a kind for each data type: state that exists per type lives in one of these, so
// a rule is written once for both.
template <class T> struct PerType {
    T cellular;
    T wifi;

    T &operator[](DataType type) { return type == DataType::WiFi ? wifi : cellular; }
    const T &operator[](DataType type) const { return type == DataType::WiFi ? wifi : cellular; }
};

// The two types in the order every cycle handles them.
inline constexpr DataType kDataTypes[] = {DataType::Cellular, DataType::WiFi};

// Direction of traffic: 1 sent, 2 received, 3 both.
enum Direction { kDirectionSent = 1, kDirectionReceived = 2, kDirectionTotal = 3 };

} // namespace byteward
