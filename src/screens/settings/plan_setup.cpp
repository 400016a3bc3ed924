// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/settings/plan_setup.h"

#include "model/app_data.h"
#include "model/data_formatter.h"
#include "model/text_format.h"
#include "platform/data_lock.h"
#include "platform/i18n.h"
#include "platform/iso8601.h"

#include <cstdio>

namespace byteward {

namespace {

constexpr long long kCustomPlan = 9999;

long long storedInteger(UserDefaults &defaults, const char *key) {
    const auto value = defaults.objectForKey(key);
    return value ? value->integerValue() : 0;
}

void store(UserDefaults &defaults, const char *key, Value value) {
    defaults.setObject(key, std::move(value));
    defaults.synchronize();
}

// 00:00 today plus (1 − length) days: the earliest start one period may keep.
Instant earliestStart(Services &services, long long length) {
    const Calendar &calendar = services.calendar;
    return calendar.addDays(calendar.startOfDay(services.clock.now()),
                            static_cast<int>(1 - length));
}

} // namespace

PlanTypeViewController::PlanTypeViewController(Services &services) : services_(services) {
}

void PlanTypeViewController::tableView(unsigned row) {
    planType = row;
    store(services_.defaults, "CellularPlanType", Value(static_cast<long long>(row)));
}

void StartDayViewController::viewDidLoad() {
    planType =
        static_cast<unsigned>(std::max(0LL, storedInteger(services_.defaults, "CellularPlanType")));
    daysOfMonth.clear();
    for (int day = 1; day <= 31; ++day)
        daysOfMonth.push_back(day);
    daysOfWeek = {tr("Sunday"),   tr("Monday"), tr("Tuesday"), tr("Wednesday"),
                  tr("Thursday"), tr("Friday"), tr("Saturday")};
}

int StartDayViewController::numberOfRows() const {
    return static_cast<int>(planType != 0 ? daysOfWeek.size() : daysOfMonth.size());
}

std::string StartDayViewController::titleForRow(int row) const {
    if (row < 0 || row >= numberOfRows()) return {};
    if (planType != 0) return daysOfWeek[static_cast<std::size_t>(row)];
    std::string day = std::to_string(daysOfMonth[static_cast<std::size_t>(row)]);
    services_.log.line("day " + day);
    return day;
}

void StartDayViewController::pickerView(int row) {
    if (row < 0 || row >= numberOfRows()) return;
    long long code = 0;
    if (planType != 0) {
        selectedDate = format(tr("Every %s"), daysOfWeek[static_cast<std::size_t>(row)].c_str());
        code = row < 6 ? 101 + row : 107;
    } else {
        const int day = daysOfMonth[static_cast<std::size_t>(row)];
        // Only the first two days take their own suffix on this screen.
        const char *suffix = day == 1 ? N_("st") : day == 2 ? N_("nd") : N_("th");
        selectedDate = format(tr("%d%s of the month"), day, tr(suffix));
        code = day;
    }
    store(services_.defaults, "firstDayOfCycle", Value(code));
}

void DaysViewController::viewDidLoad() {
    days.clear();
    for (int length = 2; length <= 1000; ++length)
        days.push_back(length);
}

std::string DaysViewController::titleForRow(int row) const {
    return row >= 0 && row < numberOfRows() ? std::to_string(days[static_cast<std::size_t>(row)])
                                            : std::string();
}

void DaysViewController::pickerView(int row) {
    if (row < 0 || row >= numberOfRows()) return;
    const int length = days[static_cast<std::size_t>(row)];
    selectedDate = format(trn("%d Day", "%d Days", static_cast<unsigned long>(length)), length);
    services_.defaults.setObject("ResetDays", Value(length));
    store(services_.defaults, "firstDayOfCycle", Value(kCustomPlan));
}

void CustomDatePickerController::viewDidLoad() {
    UserDefaults &defaults = services_.defaults;
    const char *startKey = wifi_ ? "CustomStartDateWiFi" : "CustomStartDate";
    const Instant now = services_.clock.now();
    minimumDate =
        earliestStart(services_, storedInteger(defaults, wifi_ ? "ResetDaysWiFi" : "ResetDays"));
    maximumDate = now;
    date = now;
    const auto stored = defaults.objectForKey(startKey);
    if (!stored || stored->asDate() == nullptr) return;
    const Instant start = *stored->asDate();
    if (!(start > minimumDate)) {
        date = minimumDate;
        store(defaults, startKey, Value(date));
    } else if (start > now) {
        date = now;
        store(defaults, startKey, Value(date));
    } else {
        date = start;
    }
}

void CustomDatePickerController::setSelectedDate(Instant chosen) {
    date = chosen;
    UserDefaults &defaults = services_.defaults;
    defaults.setObject(wifi_ ? "CustomStartDateWiFi" : "CustomStartDate", Value(chosen));
    store(defaults, wifi_ ? "firstDayOfCycleWifi" : "firstDayOfCycle", Value(kCustomPlan));
}

void StartDateViewController::viewDidLoad() {
    UserDefaults &defaults = services_.defaults;
    minimumDate = earliestStart(services_, storedInteger(defaults, "ResetDays"));
    services_.log.line("Min Date is: " + formatIso8601(minimumDate, services_.calendar));
    maximumDate = services_.clock.now();
    const auto stored = defaults.objectForKey("CustomStartDate");
    date = stored && stored->asDate() != nullptr ? *stored->asDate() : services_.clock.now();
    store(defaults, "CustomStartDate", Value(date));
}

void StartDateViewController::setSelectedDate(Instant chosen) {
    date = chosen;
    store(services_.defaults, "CustomStartDate", Value(chosen));
    // The platform's plain textual form of a date.
    const long long seconds = static_cast<long long>(secondsSince1970(chosen));
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc);
    selectedDate = tr("Starting ") + std::string(text);
}

std::string DigitWheels::titleForRow(int row, int component) const {
    if (component == kUnitWheel) return row == 0 ? "MB" : row == 1 ? "GB" : "";
    return row >= 0 && row < 10 ? quota[static_cast<std::size_t>(row)] : std::string();
}

int DigitWheels::value() const {
    return 1000 * selected[0] + 100 * selected[1] + 10 * selected[2] + selected[3];
}

void DigitWheels::show(long long number) {
    for (int wheel = kDigitWheels - 1; wheel >= 0; --wheel) {
        selected[static_cast<std::size_t>(wheel)] = static_cast<int>(number % 10);
        number /= 10;
    }
}

void QuotaViewController::viewDidLoad() {
    UserDefaults &defaults = services_.defaults;
    const long long limit = storedInteger(defaults, "cellularDataLimit");
    if (limit > 0) {
        services_.log.line(format("data limit int value:%lld", limit));
        show(limit);
    }
    const auto unitValue = defaults.objectForKey("cellularDataLimitUnit");
    selected[kUnitWheel] = unitValue && unitValue->stringValue() == "MB" ? 0 : 1;
}

void QuotaViewController::pickerView(int row, int component) {
    if (component < 0 || component > kUnitWheel || row < 0 || row >= numberOfRows(component))
        return;
    selected[static_cast<std::size_t>(component)] = row;
    int quotaValue = value();
    // A plan never gets a quota of 0 from here.
    if (quotaValue == 0) {
        selected[0] = 1;
        selected[1] = 0;
        selected[2] = 2;
        selected[3] = 4;
        quotaValue = 1024;
    }
    services_.defaults.setObject("cellularDataLimitUnit", Value(unit()));
    store(services_.defaults, "cellularDataLimit", Value(quotaValue));
    selectedQuota = std::to_string(quotaValue) + " " + unit();
}

void CurrentUsageViewController::viewDidLoad() {
    const long long limit = storedInteger(services_.defaults, "cellularDataLimit");
    if (limit > 0) show(limit);
}

void CurrentUsageViewController::pickerView(int row, int component) {
    if (component < 0 || component > kUnitWheel || row < 0 || row >= numberOfRows(component))
        return;
    selected[static_cast<std::size_t>(component)] = row;
    const int used = value();
    const float bytes = DataFormatter::convertToBytesFromDataUnit(used, unit());
    services_.defaults.synchronize();
    selectedQuota = std::to_string(used) + " " + unit();
    // One read-modify-write of the record, so an update running meanwhile is not lost.
    DataLock lock(services_.paths.dataDir);
    AppData record(services_);
    record.getAppData(kCellular);
    record.dataThisMonth = static_cast<double>(bytes);
    // A failure reaches the person through the write-failure listener.
    (void)record.saveAppData();
}

} // namespace byteward
