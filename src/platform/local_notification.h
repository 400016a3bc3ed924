// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

// How often a notification comes back after it fired.
enum class RepeatInterval { None, Day, Week, Month };

// A local notification: shown at its fire date, or, with no body, only a new icon badge.
struct LocalNotification {
    std::string identifier; // the schedule's own id for this entry; set when scheduled
    Instant fireDate;
    std::string timeZone;  // the zone in force when it was scheduled
    std::string alertBody; // empty: badge only
    std::string alertAction;
    bool soundDefault = true;
    std::optional<long long> badgeNumber;
    ValueDict userInfo; // "UniqueId" -> the scheduler's identifier
    RepeatInterval repeatInterval = RepeatInterval::None;
    // A repeating one's first date, kept once it has come round: every later date is counted
    // from it, so a monthly one on the 31st comes back on the 31st after a shorter month.
    std::optional<Instant> repeatFrom;

    bool operator==(const LocalNotification &) const = default;
};

// The user-info key of an action a notification offers (a button); its value names the action.
inline constexpr const char *kNotificationActionKey = "action";

// One notification as it was delivered.
struct DeliveredNotification {
    Instant deliveredAt;
    LocalNotification notification;
    bool shown = false; // false: no notification server answered; the delivery is only logged
};

// Where due notifications go: the desktop's notification server and the application icon's
// badge. The D-Bus implementation lives beside this; tests record.
class NotificationSink {
  public:
    virtual ~NotificationSink() = default;
    // False when no notification server took it.
    virtual bool showNotification(const LocalNotification &notification) = 0;
    // Empty hides the badge. False when the badge could not be sent.
    virtual bool setBadge(std::optional<long long> count) = 0;
    // The actions the person chose on notifications that offered one, oldest first, each once.
    // Only a sink that stays connected hears them.
    virtual std::vector<std::string> takeInvokedActions() { return {}; }
    // Readable when a chosen action may be waiting; -1 when none can come.
    virtual int actionFd() const { return -1; }
};

} // namespace byteward
