#pragma once

#include "platform/calendar.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/value.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

// How often a notification comes back after it fired.
enum class RepeatInterval { None, Day, Week, Month };

// "day", "week", "month" or "none".
const char *repeatWord(RepeatInterval interval);

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
};

// Byteward's own persistent schedule of local notifications, since the Linux desktop keeps
// none: a file in the state directory, changed under the data lock, and a log of every
// delivery beside it.
class NotificationCenter {
  public:
    NotificationCenter(Paths paths, Log &log, const Clock &clock, const Calendar &calendar);

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
    // The deliveries so far, oldest first. The log keeps the newest half megabyte or so of them.
    std::vector<DeliveredNotification> deliveredNotifications() const;
    // The earliest fire date in the schedule.
    std::optional<Instant> nextFireDate() const;

  private:
    // Shows one due notification (or only its badge) and appends it to the delivery log.
    void present(NotificationSink &sink, const LocalNotification &notification, Instant now);

    Paths paths_;
    Log &log_;
    const Clock &clock_;
    const Calendar &calendar_;
};

} // namespace byteward
