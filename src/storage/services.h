#pragma once

#include "platform/boot_clock.h"
#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/log.h"
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
};

} // namespace byteward
