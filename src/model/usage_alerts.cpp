// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The update cycle's milestone alerts and badge figure.
#include "model/app_settings.h"
#include "model/communications.h"
#include "model/text_format.h"
#include "model/update_cycle.h"
#include "platform/data_lock.h"
#include "platform/i18n.h"

#include <array>

namespace byteward {

namespace {

struct Milestone {
    const char *switchKey;
    float threshold; // percent of the plan remaining
};

// Most severe first: one cycle posts at most the most severe milestone reached.
constexpr std::array<Milestone, 6> kMilestones{{
    {"over_notification", 0},
    {"fifth_notification", 5},
    {"fourth_notification", 10},
    {"third_notification", 20},
    {"second_notification", 35},
    {"first_notification", 50},
}};

} // namespace

constexpr const char *kRoamingWord = N_("Roaming");

// Also the prefix of the milestone flags' keys: kept in English, translated where shown.
const char *alertTypeWord(DataType type) {
    return type == DataType::WiFi ? N_("WiFi") : N_("Cellular");
}

bool isPercentBadgeSetting(const std::string &setting, bool isCellular) {
    if (isCellular)
        return setting == "CELLPERCENT" || setting == "CELL_REM_PERCENT" ||
               setting == "CELL_PROJ_PERCENT";
    return setting == "WIFIPERCENT" || setting == "WIFI_REM_PERCENT" ||
           setting == "WIFI_PROJ_PERCENT";
}

void UpdateCycle::evaluateAlerts(AppData &record, DataType type) {
    const bool isCellular = type == DataType::Cellular;
    const std::string badgeSetting = AppSettings::text(settings_.appBadgeSetting);
    const float limit = planLimit(type);
    // A plan below one display unit (500 MB shown in GB) is still a plan.
    if (!(limit > 0)) {
        if (isPercentBadgeSetting(badgeSetting, isCellular)) appBadgeNumber.reset();
        return;
    }
    const std::string typeWord = alertTypeWord(type);
    if (record.monthlyResetOccured) {
        resetNotificationKeys(type);
        Communications::sendLocalNotificationNowWithAlertBody(
            services_, tr(isCellular ? kNewCellularCycleMessage : kNewWiFiCycleMessage),
            tr("View"));
    }

    const float used = units_.converToDataUnitFromBytes(record.dataThisMonth);
    const float remainingPercent = (limit - used) / limit * 100.0f;
    const float elapsed = elapsedDays(record);
    const float dailyRate = elapsed > 0 ? used / elapsed : 0.0f;
    const float projected =
        dailyRate > 0 ? dailyRate * static_cast<float>(record.billingDaysTotal.value_or(0)) : 0.0f;
    const float projectedPercent = projected / limit * 100.0f;

    const std::string prefix = isCellular ? "CELL" : "WIFI";
    if (badgeSetting == prefix + "PERCENT")
        appBadgeNumber = 100.0f - remainingPercent;
    else if (badgeSetting == prefix + "_REM_PERCENT")
        appBadgeNumber = remainingPercent;
    else if (badgeSetting == prefix + "_PROJ_PERCENT")
        appBadgeNumber = projectedPercent;

    runMilestoneCascade(remainingPercent, typeWord, used);
    if (isCellular) enforceDataLimit(record, remainingPercent);
}

void UpdateCycle::evaluateRoaming(const AppData &record) {
    const auto quota = services_.defaults.objectForKey(kRoamingQuotaKey);
    const double quotaBytes = quota ? quota->doubleValue() * 1024.0 * 1024.0 : 0.0;
    if (!(quotaBytes > 0)) return;
    if (record.monthlyResetOccured) resetNotificationKeys(DataType::Cellular);
    const double used = record.dataRoamingThisMonth.value_or(0);
    const auto remainingPercent = static_cast<float>((quotaBytes - used) / quotaBytes * 100.0);
    runMilestoneCascade(remainingPercent, kRoamingWord, units_.converToDataUnitFromBytes(used));
}

void UpdateCycle::enforceDataLimit(AppData &record, float remainingPercent) {
    if (!(remainingPercent <= 0)) return;
    const auto enabled = services_.defaults.objectForKey(kDataLimitKey);
    if (!enabled || !enabled->boolValue()) return;
    // Once a period: a person who turned data on again past the quota meant it.
    const Instant period = record.lastBillingDate.value_or(Instant{});
    if (record.dataLimitPeriod == period) return;
    // Claimed in the record first, under the data lock: another process's cycle that reaches the
    // quota at the same moment finds the claim and leaves the switch alone.
    const auto claim = [&](std::optional<Instant> value) {
        DataLock lock(services_.paths.dataDir);
        AppData stored(services_);
        stored.getAppData(kCellular);
        if (value && stored.dataLimitPeriod == value) return false;
        stored.dataLimitPeriod = value;
        if (FileResult saved = stored.saveAppData(); !saved) {
            services_.log.line("data limit: not recorded: " + saved.error);
            return false;
        }
        return true;
    };
    if (!claim(period)) return;
    record.dataLimitPeriod = period;
    if (const std::string failed = services_.network.disconnectCellular(); !failed.empty()) {
        services_.log.line("data limit: cellular data could not be turned off: " + failed);
        (void)claim(std::nullopt); // the next cycle tries again
        record.dataLimitPeriod.reset();
        return;
    }
    LocalNotification notification;
    notification.fireDate = services_.clock.now();
    notification.timeZone = services_.calendar.timeZoneId();
    notification.alertBody = tr(kDataLimitMessage);
    notification.alertAction = tr("Turn cellular data on");
    notification.userInfo.set(kActionKey, Value(kCellularOnAction));
    services_.notifications.scheduleLocalNotification(std::move(notification));
}

void UpdateCycle::runMilestoneCascade(float percentRemain, const std::string &typeWord,
                                      float dataUsed) {
    const AppSettingsReader reader(services_.defaults);
    for (const auto &milestone : kMilestones) {
        if (!reader.getSettingsBoolValueForKey(milestone.switchKey)) continue;
        if (sendLocalNotificationForNotificationKey(milestone.switchKey, milestone.threshold,
                                                    percentRemain, typeWord, dataUsed))
            return;
    }
}

bool UpdateCycle::sendLocalNotificationForNotificationKey(const std::string &key,
                                                          float defaultValue, float percentRemain,
                                                          const std::string &type,
                                                          float /*dataUsed*/) {
    bool newCycle = false;
    for (const DataType each : kDataTypes)
        if (type == alertTypeWord(each)) newCycle = records_[each].monthlyResetOccured;
    if (!(percentRemain <= defaultValue)) return false;

    UserDefaults &defaults = services_.defaults;
    const std::string flagKey = type + key;
    if (!defaults.objectForKey(flagKey) || newCycle) defaults.setObject(flagKey, Value(false));
    if (!defaults.objectForKey(flagKey)->boolValue()) {
        const float usedPercent = 100.0f - percentRemain;
        Communications::sendLocalNotificationNowWithAlertBody(
            services_,
            format(tr("%s usage exceeded %.1f%%"), tr(type.c_str()),
                   static_cast<double>(usedPercent)),
            tr("View"));
        defaults.setObject(flagKey, Value(true));
    }
    defaults.synchronize();
    return true;
}

void UpdateCycle::resetNotificationKeys(DataType type) {
    UserDefaults &defaults = services_.defaults;
    for (const auto &milestone : kMilestones) {
        const std::string key = alertTypeWord(type) + std::string(milestone.switchKey);
        if (defaults.objectForKey(key)) defaults.setObject(key, Value(false));
        // The roaming quota runs with the cellular period.
        const std::string roaming = kRoamingWord + std::string(milestone.switchKey);
        if (type == DataType::Cellular && defaults.objectForKey(roaming))
            defaults.setObject(roaming, Value(false));
    }
    defaults.synchronize();
}

float UpdateCycle::elapsedDays(const AppData &record) const {
    const DateComponents now = services_.calendar.components(services_.clock.now());
    return static_cast<float>(record.billingDaysElapsed.value_or(0)) +
           static_cast<float>(60 * now.hour + now.minute) / 1440.0f;
}

} // namespace byteward
