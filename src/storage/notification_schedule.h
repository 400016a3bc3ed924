// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/local_notification.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/value.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

// "day", "week", "month" or "none".
const char *repeatWord(RepeatInterval interval);

// Byteward's own persistent schedule of local notifications, since the Linux desktop keeps
// none: a file in the state directory, changed under the data lock, and a log of every
// delivery beside it.
class NotificationSchedule {
  public:
    NotificationSchedule(Paths paths, Log &log, const Clock &clock, const Calendar &calendar);

    // Adds to the schedule; gives the entry an identifier when it has none. Returns it, or empty
    // when the schedule could not be written. Fire dates are kept to the whole second.
    std::string scheduleLocalNotification(LocalNotification notification);
    // The schedule in the order notifications were scheduled.
    std::vector<LocalNotification> scheduledLocalNotifications() const;
    void cancelLocalNotification(const std::string &identifier);
    void cancelAllLocalNotifications();

    // Delivers every notification due now through the sink, logs each delivery, re-arms the
    // repeating ones for their next date and drops the rest from the schedule. Returns how many
    // were delivered.
    int deliverDueNotifications(NotificationSink &sink);
    // As above, with `now` due at once as if it had been scheduled last; it never goes through
    // the schedule's file, so a wake-up that only refreshes the badge writes no schedule.
    int deliverDueNotifications(NotificationSink &sink, LocalNotification now);
    // The deliveries so far, oldest first. The log keeps the newest half megabyte or so of them.
    std::vector<DeliveredNotification> deliveredNotifications() const;
    // The earliest fire date in the schedule.
    std::optional<Instant> nextFireDate() const;

  private:
    int deliverDue(NotificationSink &sink, const LocalNotification *immediate);
    // Shows one due notification (or only its badge) and appends it to the delivery log.
    void present(NotificationSink &sink, const LocalNotification &notification, Instant now);

    Paths paths_;
    Log &log_;
    const Clock &clock_;
    const Calendar &calendar_;
};

} // namespace byteward
