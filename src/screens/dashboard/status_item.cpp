// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/dashboard/status_item.h"

#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/kit/theme.h"
#include "storage/user_defaults.h"

namespace byteward {

std::string periodUsageLine(const std::string &typeName, const PeriodFigures &figures,
                            const std::string &unit) {
    if (!figures.limited)
        return format(tr("%s: %s %s, no limit"), typeName.c_str(), figures.usedText.c_str(),
                      unit.c_str());
    // TRANSLATORS: the tooltip's line for a data type: "Cellular: 1.20 GB of 5.0 GB (24.0%)".
    return format(tr("%s: %s %s of %.1f %s (%s)"), typeName.c_str(), figures.usedText.c_str(),
                  unit.c_str(), static_cast<double>(figures.limit), unit.c_str(),
                  figures.usageText.c_str());
}

StatusItem statusItemOf(MainViewController &dashboard, UserDefaults &defaults) {
    StatusItem item;
    const auto stored = defaults.objectForKey(kShowStatusIconKey);
    item.shown = !stored || stored->boolValue();

    const AppSettings &settings = dashboard.appSettings();
    const bool wifiFirst = AppSettings::text(settings.startupScreen) == "WIFI";
    // The letter the bar draws with now: the remembered one lags while no bar is on screen.
    const UsageVisualView &bar = wifiFirst ? dashboard.visualViewWifi : dashboard.visualView;
    item.colour = BytewardColors::progressColorForLetter(bar.colourLetter(settings));

    const UpdateCycle &cycle = dashboard.updateCycle();
    const std::string unit = AppSettings::text(settings.displayUnit);
    auto line = [&](DataType type, const char *name) {
        return periodUsageLine(name, cycle.periodFigures(cycle.record(type), cycle.planLimit(type)),
                               unit);
    };
    const std::string cellular = line(DataType::Cellular, tr("Cellular"));
    const std::string wifi = line(DataType::WiFi, tr("Wi-Fi"));
    item.toolTip = wifiFirst ? wifi + "\n" + cellular : cellular + "\n" + wifi;
    return item;
}

} // namespace byteward
