// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The dashboard's figures in words: usage against the plan, the ideal pace, the projection, the
// status word and the bar's values, from the update cycle's arithmetic.
#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/kit/string_formatter.h"

#include <algorithm>
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
    const std::string unit = unitOf(appSettings());
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
    const PeriodFigures f = cycle_.periodFigures(record, dataLimit);

    const Calendar &calendar = services_.calendar;
    const StringFormatter dates(calendar);
    const std::string unit = unitOf(appSettings());

    // Cycle texts.
    const long long daysLeftWhole =
        record.billingDaysTotal.value_or(0) - record.billingDaysElapsed.value_or(0);
    DateComponents lastDay = calendar.components(*record.nextBillingDate);
    lastDay.day -= 1;
    lastDay.hour = lastDay.minute = lastDay.second = 0;
    const std::string period =
        dates.getLocalizedShortDateNoTimeStringFromDate(*record.lastBillingDate) + " - " +
        dates.getLocalizedShortDateNoTimeStringFromDate(calendar.dateFromComponents(lastDay));

    labels.lblMonthlyUsage.text = f.usedText;
    labels.lblCurrentPeriod = {period, false};
    rows[2] = period;
    labels.lblDays = {format("%lld", daysLeftWhole), false};
    labels.lblNextBillingDate = {
        dates.getLocalizedShortDateNoTimeStringFromDate(*record.nextBillingDate), false};
    rows[3] = labels.lblNextBillingDate.text;

    labels.lblMonthlyUsageSent.text = rows[8] =
        format("%.2f %s", static_cast<double>(converToDataUnitFromBytes(record.dataThisMonthSent)),
               unit.c_str());
    labels.lblMonthlyUsageRecd.text = rows[7] =
        format("%.2f %s", static_cast<double>(converToDataUnitFromBytes(record.dataThisMonthRecd)),
               unit.c_str());

    if (!f.limited) {
        renderUnlimitedPlan(labels, rows, visualView, record);
        cycle_.publishPeriod(record, f);
        return;
    }

    const float difference = f.ideal - f.used;
    std::string differenceText;
    if (difference > 0) {
        labels.lblIdealActualDiff.text = tr("SAFE");
        labels.statusImage = "ok.png";
        differenceText = format(tr("%.1f %s less"), static_cast<double>(difference), unit.c_str());
    } else {
        labels.lblIdealActualDiff.text = f.usedPercent > 100.0f ? tr("OVERAGE") : tr("CAUTION");
        labels.statusImage = f.usedPercent > 100.0f ? "danger.png" : "caution.png";
        differenceText =
            format(tr("%.1f %s more"), static_cast<double>(std::fabs(difference)), unit.c_str());
    }

    labels.lblAvailable.text = f.availableText;
    labels.lblIdealUsage.text = rows[0] =
        format("%.1f %s %s%.1f%s%s", static_cast<double>(f.ideal), unit.c_str(), "(",
               static_cast<double>(f.idealPercent), "%", ")");
    rows[1] = differenceText;

    if (f.daysLeft > 1)
        labels.lblDailySuggested.text =
            format("%.1f", static_cast<double>(std::max(f.remaining / f.daysLeft, 0.0f)));
    else if (f.daysLeft > 0)
        labels.lblDailySuggested.text =
            format("%.1f", static_cast<double>(std::max(f.remaining, 0.0f)));
    else
        labels.lblDailySuggested.text = "";

    if (f.usedPercent <= f.idealPercent) {
        labels.lblQuotaOverDate.text = tr("NO");
    } else if (f.daysToQuota - f.elapsed < 0) {
        labels.lblQuotaOverDate.text = tr("QUOTA OVER");
    } else {
        const Instant over =
            calendar.addDays(*record.lastBillingDate, static_cast<int>(std::trunc(f.daysToQuota)));
        labels.lblQuotaOverDate.text =
            tr("YES ON ") + dates.getLocalizedShortDateNoTimeStringFromDate(over);
    }
    rows[4] = labels.lblQuotaOverDate.text;

    labels.lblProjected.text = rows[5] =
        format("%.0f %s", static_cast<double>(f.projected), unit.c_str());
    if (f.remaining < 0)
        labels.lblRemainingUsage.text = isCellular ? "0" : tr("NONE");
    else
        labels.lblRemainingUsage.text = format("%.0f", static_cast<double>(f.remaining));

    visualView.currentUsagePercent = f.usedPercent;
    visualView.idealUsagePercent = f.idealPercent;
    visualView.usageText = f.usageText;
    visualView.diffText = differenceText;
    visualView.dataType = record.appDataType == kWiFi ? 2 : 1;
    cycle_.publishPeriod(record, f);
}

void MainViewController::renderUnlimitedPlan(CycleLabels &labels, std::array<std::string, 9> &rows,
                                             UsageVisualView &visualView, const AppData &record) {
    labels.lblAvailable.text = tr("OF UNLIMITED");
    labels.lblRemainingUsage.text = tr("NO LIMIT");
    labels.lblDailySuggested.text = tr("NO LIMIT");
    labels.lblQuotaOverDate.text = rows[4] = "--";
    labels.lblIdealUsage.text = rows[0] = "--";
    labels.lblIdealActualDiff.text = rows[1] = tr("SAFE");
    labels.lblProjected.text = rows[5] = "--";
    visualView.currentUsagePercent = 0.0f;
    visualView.idealUsagePercent = 0.0f;
    visualView.usageText = "0%";
    visualView.diffText = "";
    visualView.dataType = record.appDataType == kWiFi ? 2 : 1;
}

} // namespace byteward
