// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/analytics_log.h"
#include "storage/services.h"

#include <memory>
#include <optional>
#include <stdexcept>

namespace byteward {

// The real Linux services of one process: counters from sysfs, the kernel's boot clock, the
// system clock (or BYTEWARD_NOW), the user's calendar, the XDG files, the system log, and
// ModemManager and NetworkManager on the system bus (none when BYTEWARD_NETWORK_SERVICES=none).
class PlatformServices {
  public:
    // Throws std::runtime_error when BYTEWARD_NOW holds something that is not a date.
    explicit PlatformServices(bool verbose = false);
    PlatformServices(const PlatformServices &) = delete;
    PlatformServices &operator=(const PlatformServices &) = delete;

    Services &services() { return *services_; }
    SystemLog &log() { return log_; }
    const Calendar &calendar() const { return calendar_; }
    AnalyticsLog &analytics() { return *analytics_; }

  private:
    SystemLog log_;
    IcuCalendar calendar_;
    std::optional<SystemClock> clock_;
    SysfsNetworkStatistics statistics_;
    ProcBootClock boot_;
    Paths paths_;
    std::unique_ptr<PlistUserDefaults> defaults_;
    std::unique_ptr<PlistUserDefaults> widgetDefaults_;
    std::unique_ptr<NotificationSchedule> notifications_;
    std::unique_ptr<AnalyticsLog> analytics_;
    std::unique_ptr<NetworkServices> network_;
    std::unique_ptr<Services> services_;
};

} // namespace byteward
