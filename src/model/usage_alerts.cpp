// The update cycle's milestone alerts and badge figure.
#include "model/app_settings.h"
#include "model/communications.h"
#include "model/text_format.h"
#include "model/update_cycle.h"

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

const char *alertTypeWord(DataType type) {
    return type == DataType::WiFi ? "WiFi" : "Cellular";
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
            services_, isCellular ? kNewCellularCycleMessage : kNewWiFiCycleMessage, "View");
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
            services_, type + format(" usage exceeded %.1f%%", static_cast<double>(usedPercent)),
            "View");
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
    }
    defaults.synchronize();
}

float UpdateCycle::elapsedDays(const AppData &record) const {
    const DateComponents now = services_.calendar.components(services_.clock.now());
    return static_cast<float>(record.billingDaysElapsed.value_or(0)) +
           static_cast<float>(60 * now.hour + now.minute) / 1440.0f;
}

} // namespace byteward
