// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/settings/plan_setup_screen.h"

#include "platform/i18n.h"
#include "screens/kit/string_formatter.h"

namespace byteward {

namespace {

Value wheel(const std::vector<std::string> &rows, int selected, int width) {
    ValueDict d;
    d.set("rows", Value(ValueArray(rows.begin(), rows.end())));
    d.set("selected", Value(selected));
    d.set("width", Value(width));
    return Value(std::move(d));
}

long long field(const Value &argument, const char *key, long long fallback = -1) {
    const ValueDict *d = argument.asDict();
    const Value *v = d != nullptr ? d->find(key) : nullptr;
    return v != nullptr ? v->integerValue() : fallback;
}

Value digitWheels(const DigitWheels &wheels) {
    ValueArray out;
    for (int component = 0; component < wheels.numberOfComponents(); ++component) {
        std::vector<std::string> rows;
        rows.reserve(static_cast<std::size_t>(wheels.numberOfRows(component)));
        for (int row = 0; row < wheels.numberOfRows(component); ++row)
            rows.push_back(wheels.titleForRow(row, component));
        out.push_back(wheel(rows, wheels.selected[static_cast<std::size_t>(component)],
                            wheels.widthForComponent(component)));
    }
    return Value(std::move(out));
}

Value seconds(Instant date) {
    return Value(secondsSince1970(date));
}

// The days a date picker offers, from the earliest allowed to now, each at 00:00 (the first at
// the earliest instant itself), with the user's short date as its title.
Value dateRows(const Services &services, Instant earliest, Instant latest) {
    const StringFormatter dates(services.calendar);
    ValueArray rows;
    Instant day = earliest;
    for (int i = 0; i < 1100 && !(day > latest); ++i) {
        ValueDict row;
        row.set("title", Value(dates.getLocalizedShortDateNoTimeStringFromDate(day)));
        row.set("seconds", Value(secondsSince1970(day)));
        rows.emplace_back(std::move(row));
        day = services.calendar.addDays(services.calendar.startOfDay(day), 1);
    }
    if (rows.empty()) {
        // No length yet puts the earliest start after now; offer today so the wheel is not empty.
        ValueDict row;
        row.set("title", Value(dates.getLocalizedShortDateNoTimeStringFromDate(latest)));
        row.set("seconds", Value(secondsSince1970(latest)));
        rows.emplace_back(std::move(row));
    }
    return Value(std::move(rows));
}

} // namespace

PlanSetupScreen::PlanSetupScreen(Services &services, Kind kind) : services_(services), kind_(kind) {
    load();
}

PlanSetupScreen::~PlanSetupScreen() = default;

std::optional<PlanSetupScreen::Kind> PlanSetupScreen::kindNamed(const std::string &name) {
    if (name == "PlanType") return Kind::PlanType;
    if (name == "StartDay") return Kind::StartDay;
    if (name == "Days") return Kind::Days;
    if (name == "CustomDatePicker") return Kind::CustomDate;
    if (name == "CustomWiFiDatePicker") return Kind::CustomWiFiDate;
    if (name == "StartDate") return Kind::StartDate;
    if (name == "Quota") return Kind::Quota;
    if (name == "CurrentUsage") return Kind::CurrentUsage;
    return std::nullopt;
}

void PlanSetupScreen::load() {
    switch (kind_) {
    case Kind::PlanType:
        planType_ = std::make_unique<PlanTypeViewController>(services_);
        break;
    case Kind::StartDay:
        startDay_ = std::make_unique<StartDayViewController>(services_);
        startDay_->viewDidLoad();
        break;
    case Kind::Days:
        days_ = std::make_unique<DaysViewController>(services_);
        days_->viewDidLoad();
        break;
    case Kind::CustomDate:
    case Kind::CustomWiFiDate:
        customDate_ =
            std::make_unique<CustomDatePickerController>(services_, kind_ == Kind::CustomWiFiDate);
        customDate_->viewDidLoad();
        break;
    case Kind::StartDate:
        startDate_ = std::make_unique<StartDateViewController>(services_);
        startDate_->viewDidLoad();
        break;
    case Kind::Quota:
        quota_ = std::make_unique<QuotaViewController>(services_);
        quota_->viewDidLoad();
        break;
    case Kind::CurrentUsage:
        usage_ = std::make_unique<CurrentUsageViewController>(services_);
        usage_->viewDidLoad();
        break;
    }
}

ValueDict PlanSetupScreen::labels() const {
    static const char *const titles[] = {N_("Plan Type"),
                                         N_("Start Day"),
                                         N_("Cycle Length"),
                                         N_("Custom Start Date"),
                                         N_("Wi-Fi Custom Start Date"),
                                         N_("Start Date"),
                                         N_("Plan Quota"),
                                         N_("Current Usage")};
    ValueDict out;
    out.set("lblTitle", labelValue(tr(titles[static_cast<int>(kind_)])));
    std::string summary;
    if (startDay_) summary = startDay_->selectedDate;
    if (days_) summary = days_->selectedDate;
    if (startDate_) summary = startDate_->selectedDate;
    if (quota_) summary = quota_->selectedQuota;
    if (usage_) summary = usage_->selectedQuota;
    out.set("selectedDate", labelValue(summary, summary.empty()));
    return out;
}

ValueDict PlanSetupScreen::values() const {
    ValueDict out;
    out.set("kind", Value(static_cast<int>(kind_)));
    if (planType_) {
        out.set("rows", Value(ValueArray{Value(tr("Monthly")), Value(tr("Weekly"))}));
        out.set("checked", Value(static_cast<long long>(planType_->planType)));
    }
    if (startDay_) {
        std::vector<std::string> rows;
        rows.reserve(static_cast<std::size_t>(startDay_->numberOfRows()));
        for (int row = 0; row < startDay_->numberOfRows(); ++row)
            rows.push_back(
                startDay_->planType != 0
                    ? startDay_->daysOfWeek[static_cast<std::size_t>(row)]
                    : std::to_string(startDay_->daysOfMonth[static_cast<std::size_t>(row)]));
        out.set("wheels", Value(ValueArray{wheel(rows, -1, 200)}));
    }
    if (days_) {
        std::vector<std::string> rows;
        for (int length : days_->days)
            rows.push_back(std::to_string(length));
        out.set("wheels", Value(ValueArray{wheel(rows, -1, 120)}));
    }
    if (quota_) out.set("wheels", digitWheels(*quota_));
    if (usage_) out.set("wheels", digitWheels(*usage_));
    if (customDate_) {
        out.set("days", dateRows(services_, customDate_->minimumDate, customDate_->maximumDate));
        out.set("minimumDate", seconds(customDate_->minimumDate));
        out.set("maximumDate", seconds(customDate_->maximumDate));
        out.set("date", seconds(customDate_->date));
    }
    if (startDate_) {
        out.set("days", dateRows(services_, startDate_->minimumDate, startDate_->maximumDate));
        out.set("minimumDate", seconds(startDate_->minimumDate));
        out.set("maximumDate", seconds(startDate_->maximumDate));
        out.set("date", seconds(startDate_->date));
    }
    return out;
}

bool PlanSetupScreen::perform(const std::string &action, const Value &argument) {
    if (action == "load") {
        load();
        return true;
    }
    if (action == "select") {
        const auto row = static_cast<int>(field(argument, "row"));
        const auto component = static_cast<int>(field(argument, "component", 0));
        if (planType_)
            planType_->tableView(static_cast<unsigned>(std::max(0, row)));
        else if (startDay_)
            startDay_->pickerView(row);
        else if (days_)
            days_->pickerView(row);
        else if (quota_)
            quota_->pickerView(row, component);
        else if (usage_)
            usage_->pickerView(row, component);
        else
            return false;
        return true;
    }
    if (action == "setDate") {
        const ValueDict *d = argument.asDict();
        const Value *s = d != nullptr ? d->find("seconds") : nullptr;
        if (s == nullptr) return false;
        const Instant date = instantFromSeconds(s->doubleValue());
        if (customDate_)
            customDate_->setSelectedDate(date);
        else if (startDate_)
            startDate_->setSelectedDate(date);
        else
            return false;
        return true;
    }
    return false;
}

} // namespace byteward
