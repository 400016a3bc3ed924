// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/communications.h"

#include "platform/data_lock.h"
#include "platform/iso8601.h"

namespace byteward {

namespace {

LocalNotification notificationAt(const Services &services, Instant fireDate) {
    LocalNotification notification;
    notification.fireDate = fireDate;
    notification.timeZone = services.calendar.timeZoneId();
    return notification;
}

} // namespace

void Communications::sendLocalNotificationNowWithAlertBody(Services &services,
                                                           const std::string &body,
                                                           const std::string &action) {
    LocalNotification notification = notificationAt(services, services.clock.now());
    notification.alertBody = body;
    notification.alertAction = action;
    services.notifications.scheduleLocalNotification(std::move(notification));
}

void Communications::sendLocalNotificationOnDate(Services &services, Instant fireDate,
                                                 const std::string &body, const std::string &action,
                                                 const std::string &uniqueId) {
    LocalNotification notification = notificationAt(services, fireDate);
    services.log.line("unique id:" + uniqueId);
    notification.userInfo.set(kUniqueIdKey, uniqueId);
    services.log.line("Firedate " + formatIso8601(fireDate, services.calendar));
    notification.alertBody = body;
    notification.alertAction = action;
    services.notifications.scheduleLocalNotification(std::move(notification));
}

void Communications::cancelLocationNotification(Services &services, const std::string &uniqueId) {
    try {
        // Look and cancel in one step, so another process cannot change the schedule in between.
        DataLock lock(services.paths.dataDir);
        for (const auto &notification : services.notifications.scheduledLocalNotifications()) {
            const Value *id = notification.userInfo.find(kUniqueIdKey);
            if (id == nullptr || id->asString() == nullptr || *id->asString() != uniqueId) continue;
            services.log.line("found notification to cancel");
            services.notifications.cancelLocalNotification(notification.identifier);
            return;
        }
    } catch (const LockTimeout &error) {
        services.log.line(std::string("cannot cancel notification ") + uniqueId + ": " +
                          error.what());
    }
}

void Communications::sendBadgeNotification(Services &services,
                                           std::optional<long long> badgeNumber) {
    services.notifications.scheduleLocalNotification(badgeNotification(services, badgeNumber));
}

LocalNotification Communications::badgeNotification(const Services &services,
                                                    std::optional<long long> badgeNumber) {
    // Nothing but the badge: no text, no sound.
    LocalNotification notification = notificationAt(services, services.clock.now());
    notification.soundDefault = false;
    notification.badgeNumber = badgeNumber;
    return notification;
}

} // namespace byteward
