// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The billing-cycle operations of AppData: the period's dates under each plan rule, and the
// period pass that keeps the period counters and closes finished periods into the history.
#include "model/app_data.h"
#include "model/history.h"
#include "model/util.h"

#include <algorithm>

namespace byteward {

namespace {

constexpr long long kWeeklyFirst = 101;
constexpr long long kWeeklyLast = 107;
constexpr long long kDaily = 1001;
constexpr long long kCustom = 9999;

// The user-defaults keys of a custom period, per data type.
struct CustomKeys {
    const char *startDate;
    const char *resetDays;
    const char *lastResetDays;
};

CustomKeys customKeysFor(const std::string &type) {
    if (type == kWiFi) return {"CustomStartDateWiFi", "ResetDaysWiFi", "LastResetDaysWiFi"};
    return {"CustomStartDate", "ResetDays", "LastResetDays"};
}

Instant midnightOf(const Calendar &calendar, int year, int month, int day) {
    return calendar.dateFromComponents(DateComponents{year, month, day, 0, 0, 0, 0});
}

} // namespace

bool AppData::date(Instant date, Instant start, Instant end) {
    return Util::date(date, start, end);
}

Instant AppData::getMinDate(std::optional<double> lengthInDays) const {
    const auto length = static_cast<int>(lengthInDays.value_or(0));
    const Calendar &calendar = services_.calendar;
    return calendar.addDays(calendar.startOfDay(accountingNow()), 1 - length);
}

void AppData::setBillingDates(long long planCode) {
    const Instant now = accountingNow();
    const DateComponents today = services_.calendar.components(now);
    if (planCode == kDaily)
        setDailyDates(now);
    else if (planCode == kCustom)
        setCustomDates(now);
    else if (planCode > 100)
        setWeeklyDates(planCode, today, now);
    else
        setMonthlyDates(static_cast<int>(planCode), today);
}

void AppData::setMonthlyDates(int planDay, const DateComponents &today) {
    const Calendar &calendar = services_.calendar;
    int year = today.year;
    int month = today.month;
    if (today.day >= planDay && ++month == 13) {
        month = 1;
        ++year;
    }
    // A billing day February lacks starts the period on March 1; the period before it began on
    // the billing day in January. Every fourth year is taken as a leap year.
    int offset = 0;
    if (month == 2 && (planDay == 30 || planDay == 31 || (planDay == 29 && year % 4 != 0))) {
        services_.log.line("handling feb..");
        month = 3;
        offset = 32 - planDay;
        planDay = 1;
    }
    nextBillingDate = midnightOf(calendar, year, month, planDay);
    const DateComponents next = calendar.components(*nextBillingDate);
    lastBillingDate = midnightOf(calendar, next.year, next.month - 1, next.day - offset);
    // A day February lacks carries the start into March (the 31st of February is March 3),
    // while February's period ended on March 1: the days between would belong to no period, and
    // a period shown in them would not hold today. March's period starts where February's ended.
    const Instant firstOfMonth = midnightOf(calendar, next.year, next.month, 1);
    if (*lastBillingDate > firstOfMonth) lastBillingDate = firstOfMonth;
}

void AppData::setWeeklyDates(long long planCode, const DateComponents &today, Instant now) {
    const Calendar &calendar = services_.calendar;
    int target =
        planCode >= kWeeklyFirst && planCode <= kWeeklyLast ? static_cast<int>(planCode - 100) : 1;
    if (today.weekday >= target)
        target += 7; // on the start weekday itself the next start is a week away
    nextBillingDate = calendar.addDays(calendar.startOfDay(now), target - today.weekday);
    const DateComponents next = calendar.components(*nextBillingDate);
    lastBillingDate = midnightOf(calendar, next.year, next.month, next.day - 7);
}

void AppData::setDailyDates(Instant now) {
    const Calendar &calendar = services_.calendar;
    lastBillingDate = calendar.startOfDay(now);
    nextBillingDate = calendar.addDays(*lastBillingDate, 1);
}

void AppData::setCustomDates(Instant now) {
    const Calendar &calendar = services_.calendar;
    UserDefaults &defaults = services_.defaults;
    const CustomKeys keys = customKeysFor(appDataType);

    Instant start = now;
    if (const auto stored = defaults.objectForKey(keys.startDate);
        stored && stored->asDate() != nullptr)
        start = *stored->asDate();
    const auto length = defaults.objectForKey(keys.resetDays);
    const long long days = length ? length->integerValue() : 0;
    auto lastLength = defaults.objectForKey(keys.lastResetDays);
    if (!lastLength) {
        if (length) {
            defaults.setObject(keys.lastResetDays, *length);
            defaults.synchronize();
        }
        lastLength = length;
    }

    // The user changed the length: keep the start within one new period of today, and never
    // in the future.
    if ((lastLength ? lastLength->integerValue() : 0) != days) {
        const Instant earliest =
            getMinDate(length ? std::optional<double>(length->doubleValue()) : std::nullopt);
        if (!(start > earliest)) {
            start = earliest;
            defaults.setObject(keys.startDate, Value(start));
            defaults.synchronize();
        } else if (start > now) {
            start = now;
            defaults.setObject(keys.startDate, Value(start));
            defaults.synchronize();
        }
        if (length) defaults.setObject(keys.lastResetDays, *length);
        defaults.synchronize();
    }

    // A period shorter than a day cannot be counted; one day is the daily plan.
    if (days <= 1) {
        setDailyDates(now);
        return;
    }
    const DateComponents s = calendar.components(start);
    lastBillingDate = midnightOf(calendar, s.year, s.month, s.day);
    nextBillingDate = calendar.addDays(*lastBillingDate, static_cast<int>(days));
    if (!(now < *nextBillingDate)) {
        // Straight to the period holding now, however long the absence: periods wholly missed
        // are skipped, as the other plans skip them.
        const int periods = std::max(calendar.calendarDaysBetween(*nextBillingDate, now), 0) /
                            static_cast<int>(days);
        lastBillingDate = calendar.addDays(*nextBillingDate, periods * static_cast<int>(days));
        nextBillingDate = calendar.addDays(*lastBillingDate, static_cast<int>(days));
        while (!(now < *nextBillingDate)) {
            lastBillingDate = nextBillingDate;
            nextBillingDate = calendar.addDays(*lastBillingDate, static_cast<int>(days));
        }
        defaults.setObject(keys.startDate, Value(*lastBillingDate));
        defaults.synchronize();
    }
}

void AppData::clearBillingPeriod() {
    lastBillingDate.reset();
    nextBillingDate.reset();
    billingDaysTotal.reset();
    billingDaysElapsed.reset();
    dataThisMonth.reset();
    dataThisMonthRecd.reset();
    dataThisMonthSent.reset();
}

void AppData::udpateBillingCounter(bool accumulate) {
    if (!appSettings) {
        appSettings.emplace(services_);
        appSettings->getSettings();
    }
    if (!appSettings->plans.cellular.firstDayOfCycle || !appSettings->plans.wifi.firstDayOfCycle) {
        clearBillingPeriod();
        return;
    }
    const auto &codeSetting = appSettings->plans[dataTypeFromString(appDataType)].firstDayOfCycle;
    const long long planCode = codeSetting->integerValue();
    monthlyResetOccured = false;
    if (planCode < 1) return;

    const auto oldLastBillingDate = lastBillingDate;
    const auto oldNextBillingDate = nextBillingDate;
    setBillingDates(planCode);

    if (accumulate) {
        // The period counters as stored; an increment counted in memory but never saved must
        // not reach the period.
        const ValueDict stored = fileExists() ? readStoredDictionary() : ValueDict{};
        dataThisMonth = getNumberForKey("dataThisMonth", stored);
        dataThisMonthRecd = getNumberForKey("dataThisMonthRecd", stored);
        dataThisMonthSent = getNumberForKey("dataThisMonthSent", stored);
        if (const Value *roaming = stored.find("dataRoamingThisMonth");
            roaming && roaming->isNumber())
            dataRoamingThisMonth = roaming->doubleValue();
        else
            dataRoamingThisMonth.reset();
    }
    closePeriodIfItEnded(oldLastBillingDate, oldNextBillingDate, accumulate);

    const Calendar &calendar = services_.calendar;
    billingDaysTotal = calendar.calendarDaysBetween(*lastBillingDate, *nextBillingDate);
    billingDaysElapsed = calendar.calendarDaysBetween(*lastBillingDate, accountingNow());
}

void AppData::closePeriodIfItEnded(std::optional<Instant> oldLastBillingDate,
                                   std::optional<Instant> oldNextBillingDate, bool accumulate) {
    const Instant now = accountingNow();
    if (!date(now, *lastBillingDate, *nextBillingDate) || !fileExists()) return;
    const ValueDict stored = readStoredDictionary();
    std::optional<Instant> previousUpdate;
    if (const Value *u = stored.find("lastUpdate"); u != nullptr && u->asDate() != nullptr)
        previousUpdate = *u->asDate();

    // An update at the very instant the period began already closed the old one.
    const bool periodBeganSinceLastUpdate =
        !(*lastBillingDate > now) && (!previousUpdate || *previousUpdate < *lastBillingDate);
    if (!periodBeganSinceLastUpdate) {
        if (accumulate) {
            dataThisMonth = dataThisMonth.value_or(0) + dataSinceLastRun.value_or(0);
            dataThisMonthSent = dataThisMonthSent.value_or(0) + dataSinceLastRunSent.value_or(0);
            dataThisMonthRecd = dataThisMonthRecd.value_or(0) + dataSinceLastRunRecd.value_or(0);
            if (roamingIncrement_ > 0)
                dataRoamingThisMonth = dataRoamingThisMonth.value_or(0) + roamingIncrement_;
        }
        return;
    }
    // Only an update closes a period: a display pass is not saved, so a log it wrote would be
    // written again by the next update. It still shows the new period from zero: the stored
    // figures belong to the old one.
    if (!accumulate) {
        dataThisMonth = 0.0;
        dataThisMonthRecd = 0.0;
        dataThisMonthSent = 0.0;
        if (dataRoamingThisMonth) dataRoamingThisMonth = 0.0;
        return;
    }

    // The old period's last day. A record that never had a period ends it the day before the
    // new one starts.
    const Calendar &calendar = services_.calendar;
    const Instant followingStart = oldNextBillingDate.value_or(*lastBillingDate);
    const DateComponents next = calendar.components(followingStart);
    const Instant endDate = calendar.dateFromComponents(
        DateComponents{next.year, next.month, next.day - 1, 0, 0, 0, 0});
    appendHistoryLog(History::initWithStartDate(
        oldLastBillingDate, endDate, dataThisMonthSent, dataThisMonthRecd, dataThisMonth,
        appDataType == kCellular ? History::kCellular : History::kWiFi, History::kBillingCycleLog));
    // The increment of the update that found the rollover belongs to neither period.
    dataThisMonth = 0.0;
    dataThisMonthRecd = 0.0;
    dataThisMonthSent = 0.0;
    if (dataRoamingThisMonth) dataRoamingThisMonth = 0.0;
    monthlyResetOccured = true;
}

} // namespace byteward
