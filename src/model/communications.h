// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "storage/notification_schedule.h"
#include "storage/services.h"

#include <string>

namespace byteward {

// Posts, schedules and cancels the application's local notifications with one call each.
class Communications {
  public:
    static constexpr const char *kUniqueIdKey = "UniqueId";

    // Scheduled to fire now.
    static void sendLocalNotificationNowWithAlertBody(Services &services, const std::string &body,
                                                      const std::string &action);
    // Scheduled for the date, with "UniqueId" in its user info.
    static void sendLocalNotificationOnDate(Services &services, Instant fireDate,
                                            const std::string &body, const std::string &action,
                                            const std::string &uniqueId);
    // Cancels the first scheduled notification whose "UniqueId" is the identifier.
    static void cancelLocationNotification(Services &services, const std::string &uniqueId);
    // A notification that only puts a number on the application icon, now.
    static void sendBadgeNotification(Services &services, std::optional<long long> badgeNumber);
    // The badge-only notification that sendBadgeNotification schedules, for a caller that
    // delivers it at once.
    static LocalNotification badgeNotification(const Services &services,
                                               std::optional<long long> badgeNumber);
};

} // namespace byteward
