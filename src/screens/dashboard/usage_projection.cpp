// The dashboard's arithmetic: usage against the plan, the ideal pace, the projection, the status
// word, the bar's values, the badge figure and the widget values.
#include "model/text_format.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/kit/string_formatter.h"

#include <cmath>

namespace byteward {

namespace {

std::string unitOf(const AppSettings &settings) {
    return AppSettings::text(settings.displayUnit);
}

} // namespace

void MainViewController::renderStandardCountersForType(AppData &record,
                                                       std::optional<float> /*dataLimit*/,
                                                       std::optional<float> /*dailyDataLimit*/) {
    const std::string unit = unitOf(appSettings_);
    auto amount = [&](const std::optional<double> &bytes) {
        return format("%.2f %s", static_cast<double>(converToDataUnitFromBytes(bytes)),
                      unit.c_str());
    };
    lblSinceLastRun.text = detailValues[1] = amount(record.dataSinceAppLastRun);
    lblSinceLastBoot.text = detailValues[4] = amount(record.dataSinceLastBoot);
    lblAllTime.text = detailValues[3] = amount(record.dataAllTime);
    const std::string today =
        record.dataToday.value_or(0) == -1.0
            ? std::string("--")
            : format("%.2f", static_cast<double>(converToDataUnitFromBytes(record.dataToday)));
    lblUsedToday.text = detailValues[0] = today + " " + unit;
    lblToday.text = detailValues[2] =
        StringFormatter(services_.calendar)
            .getLocalizedShortDateNoTimeStringFromDate(services_.clock.now());
}

void MainViewController::renderMonthlyData(AppData &record, std::optional<float> dataLimit,
                                           UsageVisualView &visualView) {
    const bool isCellular = record.appDataType == kCellular;
    CycleLabels &labels = isCellular ? cellular : wifi;
    std::array<std::string, 9> &rows = isCellular ? detailValuesCell : detailValuesWiFi;
    if (!record.nextBillingDate || !record.lastBillingDate) {
        labels.lblNextBillingDate.hidden = labels.lblCurrentPeriod.hidden = labels.lblDays.hidden =
            true;
        return;
    }
    UserDefaults &widget = services_.widgetDefaults;
    widget.setObject("WidgetEnabled", Value(true));

    const Calendar &calendar = services_.calendar;
    const StringFormatter dates(calendar);
    const std::string unit = unitOf(appSettings_);
    const std::string badgeSetting = AppSettings::text(appSettings_.appBadgeSetting);
    const std::string prefix = isCellular ? "CELL" : "WIFI";

    // Cycle texts.
    const long long daysLeftWhole =
        record.billingDaysTotal.value_or(0) - record.billingDaysElapsed.value_or(0);
    DateComponents lastDay = calendar.components(*record.nextBillingDate);
    lastDay.day -= 1;
    lastDay.hour = lastDay.minute = lastDay.second = 0;
    const std::string period =
        dates.getLocalizedShortDateNoTimeStringFromDate(*record.lastBillingDate) + " - " +
        dates.getLocalizedShortDateNoTimeStringFromDate(calendar.dateFromComponents(lastDay));
    const float used = converToDataUnitFromBytes(record.dataThisMonth);
    const std::string usedText = format("%.2f", static_cast<double>(used));

    labels.lblMonthlyUsage.text = usedText;
    if (isCellular) widget.setObject("lblMonthlyUsage", Value(usedText));
    labels.lblCurrentPeriod = {period, false};
    rows[2] = period;
    labels.lblDays = {format("%lld", daysLeftWhole), false};
    labels.lblNextBillingDate = {
        dates.getLocalizedShortDateNoTimeStringFromDate(*record.nextBillingDate), false};
    rows[3] = labels.lblNextBillingDate.text;

    // The used amount goes on the badge whether or not the plan has a limit.
    if (badgeSetting == prefix + "QUOTA") appBadgeNumber = used;

    labels.lblMonthlyUsageSent.text = rows[8] =
        format("%.2f %s", static_cast<double>(converToDataUnitFromBytes(record.dataThisMonthSent)),
               unit.c_str());
    labels.lblMonthlyUsageRecd.text = rows[7] =
        format("%.2f %s", static_cast<double>(converToDataUnitFromBytes(record.dataThisMonthRecd)),
               unit.c_str());

    if (!dataLimit || !(*dataLimit > 0)) {
        renderUnlimitedPlan(labels, rows, isCellular, visualView, record);
        widget.synchronize();
        return;
    }

    // Single precision throughout, as the figures were always computed.
    const float limit = *dataLimit;
    const float elapsed = elapsedDays(record);
    const auto cycleDays = static_cast<float>(record.billingDaysTotal.value_or(0));
    const float ideal = elapsed / cycleDays * limit;
    const float usedPercent = used / limit * 100.0f;
    const float idealPercent = ideal / limit * 100.0f;
    const float remainingPercent = (limit - used) / limit * 100.0f;
    const float difference = ideal - used;
    const float daysLeft = cycleDays - elapsed;
    const float remaining = limit - used;
    float dailyRate = 0;
    float daysToQuota = 0;
    float projected = 0;
    if (elapsed > 0 && used / elapsed > 0) {
        dailyRate = used / elapsed;
        daysToQuota = limit / dailyRate;
        projected = dailyRate * cycleDays;
    }
    const float projectedPercent = projected / limit * 100.0f;

    std::string status;
    std::string differenceText;
    if (difference > 0) {
        status = "SAFE";
        labels.statusImage = "ok.png";
        differenceText = format("%.1f %s less", static_cast<double>(difference), unit.c_str());
    } else {
        status = usedPercent > 100.0f ? "OVERAGE" : "CAUTION";
        labels.statusImage = usedPercent > 100.0f ? "danger.png" : "caution.png";
        differenceText =
            format("%.1f %s more", static_cast<double>(std::fabs(ideal - used)), unit.c_str());
    }
    const std::string usageText = format("%.1f%s", static_cast<double>(usedPercent), "%");
    const std::string availableText =
        format("OF %.1f %s USED", static_cast<double>(limit), unit.c_str());

    labels.lblAvailable.text = availableText;
    if (isCellular) widget.setObject("lblAvailable", Value(availableText));
    labels.lblIdealUsage.text = rows[0] =
        format("%.1f %s %s%.1f%s%s", static_cast<double>(ideal), unit.c_str(), "(",
               static_cast<double>(idealPercent), "%", ")");
    labels.lblIdealActualDiff.text = status;
    rows[1] = differenceText;

    if (badgeSetting == prefix + "PERCENT")
        appBadgeNumber = usedPercent;
    else if (badgeSetting == prefix + "_REM_PERCENT")
        appBadgeNumber = remainingPercent;

    if (daysLeft > 1)
        labels.lblDailySuggested.text =
            format("%.1f", static_cast<double>(std::max(remaining / daysLeft, 0.0f)));
    else if (daysLeft > 0)
        labels.lblDailySuggested.text =
            format("%.1f", static_cast<double>(std::max(remaining, 0.0f)));
    else
        labels.lblDailySuggested.text = "";

    if (usedPercent <= idealPercent) {
        labels.lblQuotaOverDate.text = "NO";
    } else if (daysToQuota - elapsed < 0) {
        labels.lblQuotaOverDate.text = "QUOTA OVER";
    } else {
        const Instant over =
            calendar.addDays(*record.lastBillingDate, static_cast<int>(std::trunc(daysToQuota)));
        labels.lblQuotaOverDate.text =
            "YES ON " + dates.getLocalizedShortDateNoTimeStringFromDate(over);
    }
    rows[4] = labels.lblQuotaOverDate.text;

    labels.lblProjected.text = rows[5] =
        format("%.0f %s", static_cast<double>(projected), unit.c_str());
    if (remaining < 0)
        labels.lblRemainingUsage.text = isCellular ? "0" : "NONE";
    else
        labels.lblRemainingUsage.text = format("%.0f", static_cast<double>(remaining));
    if (badgeSetting == prefix + "_PROJ_PERCENT") appBadgeNumber = projectedPercent;

    visualView.currentUsagePercent = usedPercent;
    visualView.idealUsagePercent = idealPercent;
    visualView.usageText = usageText;
    visualView.diffText = differenceText;
    visualView.dataType = record.appDataType == kWiFi ? 2 : 1;
    if (isCellular && visualView.currentUsagePercent) {
        widget.setObject("currentUsagePercent",
                         Value(static_cast<double>(*visualView.currentUsagePercent)));
        widget.setObject("idealUsagePercent",
                         Value(static_cast<double>(*visualView.idealUsagePercent)));
        widget.setObject("usageText", Value(visualView.usageText));
        // The settings' values as they are: a threshold the settings no longer hold must not
        // live on in the widget.
        for (const auto &[key, value] : {std::pair{"progressYellow", &appSettings_.progressYellow},
                                         {"progressRed", &appSettings_.progressRed}}) {
            if (*value)
                widget.setObject(key, **value);
            else
                widget.removeObjectForKey(key);
        }
        services_.log.line(
            format("Current:%g", static_cast<double>(*visualView.currentUsagePercent)));
        services_.log.line(format("Ideal:%g", static_cast<double>(*visualView.idealUsagePercent)));
        services_.log.line("usageText:" + visualView.usageText);
    }
    widget.synchronize();
}

void MainViewController::renderUnlimitedPlan(CycleLabels &labels, std::array<std::string, 9> &rows,
                                             bool isCellular, UsageVisualView &visualView,
                                             const AppData &record) {
    labels.lblAvailable.text = "OF UNLIMITED";
    labels.lblRemainingUsage.text = "NO LIMIT";
    labels.lblDailySuggested.text = "NO LIMIT";
    labels.lblQuotaOverDate.text = rows[4] = "--";
    labels.lblIdealUsage.text = rows[0] = "--";
    labels.lblIdealActualDiff.text = rows[1] = "SAFE";
    labels.lblProjected.text = rows[5] = "--";
    const std::string badgeSetting = AppSettings::text(appSettings_.appBadgeSetting);
    if (isPercentBadgeSetting(badgeSetting, isCellular)) appBadgeNumber.reset();
    visualView.currentUsagePercent = 0.0f;
    visualView.idealUsagePercent = 0.0f;
    visualView.usageText = "0%";
    visualView.diffText = "";
    visualView.dataType = record.appDataType == kWiFi ? 2 : 1;
}

} // namespace byteward
