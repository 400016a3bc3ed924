// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The billing-reset reminders, rescheduled when the user leaves the settings.
#include "model/app_data.h"
#include "model/app_settings.h"
#include "model/communications.h"
#include "platform/i18n.h"

namespace byteward {

namespace {

RepeatInterval repeatFor(long long planCode) {
    if (planCode == 1001) return RepeatInterval::Day;
    if (planCode < 101) return RepeatInterval::Month;
    return RepeatInterval::Week;
}

void cancelAllWithId(Services &services, const std::string &id) {
    for (const auto &scheduled : services.notifications.scheduledLocalNotifications()) {
        const Value *uid = scheduled.userInfo.find(Communications::kUniqueIdKey);
        if (uid != nullptr && uid->stringValue() == id)
            services.notifications.cancelLocalNotification(scheduled.identifier);
    }
}

} // namespace

void AppSettings::applySettings() {
    getSettings();
    // Only the reminders are replaced: custom counters' end alerts stay scheduled.
    cancelAllWithId(services_, kCellularReminderId);
    cancelAllWithId(services_, kWiFiReminderId);
    if (!enablePushNotifications || !enablePushNotifications->boolValue()) return;

    struct Reminder {
        const std::optional<Value> &code;
        const char *type;
        const char *id;
        const char *body;
    };
    const Reminder reminders[] = {
        {plans.cellular.firstDayOfCycle, kCellular, kCellularReminderId,
         N_("open app to reset cellular billing cycle")},
        {plans.wifi.firstDayOfCycle, kWiFi, kWiFiReminderId,
         N_("open app to reset WiFi billing cycle")},
    };
    for (const auto &reminder : reminders) {
        // Without a billing cycle there is nothing to be reminded of.
        if (!reminder.code || reminder.code->integerValue() < 1) continue;
        const long long planCode = reminder.code->integerValue();
        AppData record(services_);
        record.appDataType = reminder.type;
        record.setBillingDates(planCode);

        LocalNotification notification;
        notification.fireDate = *record.nextBillingDate;
        notification.timeZone = services_.calendar.timeZoneId();
        notification.alertBody = tr(reminder.body);
        notification.alertAction = "Byteward";
        notification.repeatInterval = repeatFor(planCode);
        if (text(appBadgeSetting) == "BILLINGRESET") notification.badgeNumber = 1;
        notification.userInfo.set(Communications::kUniqueIdKey, Value(reminder.id));
        services_.notifications.scheduleLocalNotification(notification);
    }
}

} // namespace byteward
