// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/bus_socket.h"

#include <cstdlib>
#include <string_view>
#include <sys/stat.h>

namespace byteward {

std::optional<std::string> missingBusSocket(const std::string &busAddress) {
    const char *system = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string address =
        !busAddress.empty()
            ? busAddress
            : (system != nullptr ? system : "unix:path=/run/dbus/system_bus_socket");
    constexpr std::string_view kUnixPath = "unix:path=";
    if (!address.starts_with(kUnixPath) || address.find(';') != std::string::npos)
        return std::nullopt;
    std::string path = address.substr(kUnixPath.size());
    path = path.substr(0, path.find(','));
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return "no bus at " + path;
    return std::nullopt;
}

} // namespace byteward
