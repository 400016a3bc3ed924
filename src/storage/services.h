// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/boot_clock.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/network_services.h"
#include "platform/network_statistics.h"
#include "platform/paths.h"
#include "storage/notification_schedule.h"
#include "storage/user_defaults.h"

namespace byteward {

// The platform services the core and the screens use, handed to them in one piece.
struct Services {
    const Clock &clock;
    const NetworkStatistics &statistics;
    const BootClock &boot;
    const Calendar &calendar;
    UserDefaults &defaults;
    Log &log;
    Paths paths;
    NotificationSchedule &notifications;
    // The named suite the home-screen widget reads.
    UserDefaults &widgetDefaults;
    // The modem and network managers: which interfaces carry a modem's data, which SIM is in, and
    // which connections are metered.
    NetworkServices &network;
};

} // namespace byteward
