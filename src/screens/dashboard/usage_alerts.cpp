// Milestone alerts, the badge figure of the update cycle, and the billing-reset reminders.
#include "model/app_settings.h"
#include "model/communications.h"
#include "model/text_format.h"
#include "screens/dashboard/main_view_controller.h"

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

bool isPercentBadgeSetting(const std::string &setting, bool isCellular) {
    if (isCellular)
        return setting == "CELLPERCENT" || setting == "CELL_REM_PERCENT" ||
               setting == "CELL_PROJ_PERCENT";
    return setting == "WIFIPERCENT" || setting == "WIFI_REM_PERCENT" ||
           setting == "WIFI_PROJ_PERCENT";
}

void MainViewController::evaluateAlerts(AppData &record, bool isCellular) {
    const std::string badgeSetting = AppSettings::text(appSettings_.appBadgeSetting);
    const float limit =
        isCellular
            ? getPlanLimitInDisplayUnitFrom(appSettings_.cellularDataLimit,
                                            AppSettings::text(appSettings_.cellularDataLimitUnit))
            : getPlanLimitInDisplayUnitFrom(appSettings_.wifiDataLimit,
                                            AppSettings::text(appSettings_.wifiDataLimitUnit));
    // A plan below one display unit (500 MB shown in GB) is still a plan.
    if (!(limit > 0)) {
        if (isPercentBadgeSetting(badgeSetting, isCellular)) appBadgeNumber.reset();
        return;
    }
    const std::string typeWord = isCellular ? "Cellular" : "WiFi";
    if (record.monthlyResetOccured) {
        resetNotificationKeys(typeWord);
        Communications::sendLocalNotificationNowWithAlertBody(
            services_, isCellular ? kNewCellularCycleMessage : kNewWiFiCycleMessage, "View");
    }

    const float used = converToDataUnitFromBytes(record.dataThisMonth);
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
}

void MainViewController::runMilestoneCascade(float percentRemain, const std::string &typeWord,
                                             float dataUsed) {
    const AppSettingsReader reader(services_.defaults);
    for (const auto &milestone : kMilestones) {
        if (!reader.getSettingsBoolValueForKey(milestone.switchKey)) continue;
        if (sendLocalNotificationForNotificationKey(milestone.switchKey, milestone.threshold,
                                                    percentRemain, typeWord, dataUsed))
            return;
    }
}

bool MainViewController::sendLocalNotificationForNotificationKey(const std::string &key,
                                                                 float defaultValue,
                                                                 float percentRemain,
                                                                 const std::string &type,
                                                                 float /*dataUsed*/) {
    bool newCycle = false;
    if (type == "WiFi")
        newCycle = appDataWifi_.monthlyResetOccured;
    else if (type == "Cellular")
        newCycle = appDataCellular_.monthlyResetOccured;
    if (!(percentRemain <= defaultValue)) return false;

    UserDefaults &defaults = services_.defaults;
    const std::string flagKey = type + key;
    if (!defaults.objectForKey(flagKey) || newCycle) defaults.setObject(flagKey, Value(false));
    if (!defaults.objectForKey(flagKey)->boolValue()) {
        const float usedPercent = 100.0f - percentRemain;
        Communications::sendLocalNotificationNowWithAlertBody(
            services_, type + format(" usage exceeded %.1f%%", static_cast<double>(usedPercent)),
            "View");
        defaults.setObject(flagKey, Value(true));
    }
    defaults.synchronize();
    return true;
}

void MainViewController::resetNotificationKeys(const std::string &typeWord) {
    UserDefaults &defaults = services_.defaults;
    for (const auto &milestone : kMilestones) {
        const std::string key = typeWord + milestone.switchKey;
        if (defaults.objectForKey(key)) defaults.setObject(key, Value(false));
    }
    defaults.synchronize();
}

void MainViewController::resetCellularNotificationKeys() {
    resetNotificationKeys("Cellular");
}

void MainViewController::resetWifiNotificationKeys() {
    resetNotificationKeys("WiFi");
}

float MainViewController::elapsedDays(const AppData &record) const {
    const DateComponents now = services_.calendar.components(services_.clock.now());
    return static_cast<float>(record.billingDaysElapsed.value_or(0)) +
           static_cast<float>(60 * now.hour + now.minute) / 1440.0f;
}

} // namespace byteward
