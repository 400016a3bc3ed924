// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

namespace byteward {

// Why the bus at `busAddress` (empty: the system bus, as DBUS_SYSTEM_BUS_ADDRESS names it) cannot
// be there, when its address is a plain socket path that does not exist; nullopt otherwise. sd-bus
// keeps the connection it could not open (a leak in sdbus-c++ 1.2), so a bus that is plainly
// missing is told without asking sd-bus.
std::optional<std::string> missingBusSocket(const std::string &busAddress);

} // namespace byteward
