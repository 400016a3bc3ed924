// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/kit/date_picker_view_controller.h"

#include "platform/i18n.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/string_formatter.h"
#include "screens/kit/table_cell.h"
#include "screens/kit/theme.h"

#include <algorithm>
#include <array>
#include <memory>
#include <unicode/dtfmtsym.h>
#include <unicode/dtptngen.h>

namespace byteward {

namespace {

// How the user's locale lays out a date and a time: the order of the date fields, and a 12 or
// 24 hour clock with its AM/PM texts.
struct LocaleLayout {
    std::vector<std::string> dateOrder{"month", "day", "year"};
    std::vector<std::string> timeOrder{"hour", "minute", "ampm"};
    bool twelveHour = true;
    bool padHour = false;
    std::vector<std::string> monthNames;
    std::vector<std::string> amPm{"AM", "PM"};
};

std::string utf8(const icu::UnicodeString &text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// The position of the first pattern letter among `letters`, outside quoted literals; npos when
// the pattern has none.
std::size_t fieldPosition(const std::string &pattern, std::string_view letters) {
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '\'')
            quoted = !quoted;
        else if (!quoted && letters.find(pattern[i]) != std::string_view::npos)
            return i;
    }
    return std::string::npos;
}

// The fields in the order the pattern writes them; those it lacks go last.
std::vector<std::string>
orderedFields(const std::string &pattern,
              std::vector<std::pair<std::string, std::string_view>> fields) {
    std::stable_sort(fields.begin(), fields.end(), [&pattern](const auto &a, const auto &b) {
        return fieldPosition(pattern, a.second) < fieldPosition(pattern, b.second);
    });
    std::vector<std::string> out;
    out.reserve(fields.size());
    for (const auto &field : fields)
        out.push_back(field.first);
    return out;
}

LocaleLayout localeLayout(const Calendar &calendar) {
    LocaleLayout layout;
    icu::Locale locale(calendar.localeId().c_str());
    UErrorCode status = U_ZERO_ERROR;
    locale.setKeywordValue("calendar", "gregorian", status);
    status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_SUCCESS(status) && generator) {
        const std::string datePattern =
            utf8(generator->getBestPattern(icu::UnicodeString("yMMMd"), status));
        status = U_ZERO_ERROR;
        const std::string timePattern =
            utf8(generator->getBestPattern(icu::UnicodeString("jm"), status));
        if (U_SUCCESS(status)) {
            layout.dateOrder =
                orderedFields(datePattern, {{"year", "y"}, {"month", "ML"}, {"day", "d"}});
            layout.twelveHour = fieldPosition(timePattern, "hK") != std::string::npos;
            layout.padHour = timePattern.find("HH") != std::string::npos;
            layout.timeOrder =
                layout.twelveHour
                    ? orderedFields(timePattern, {{"hour", "hK"}, {"minute", "m"}, {"ampm", "a"}})
                    : std::vector<std::string>{"hour", "minute"};
        }
    }
    status = U_ZERO_ERROR;
    icu::DateFormatSymbols symbols(locale, status);
    if (U_SUCCESS(status)) {
        int count = 0;
        const icu::UnicodeString *months = symbols.getMonths(
            count, icu::DateFormatSymbols::STANDALONE, icu::DateFormatSymbols::ABBREVIATED);
        for (int i = 0; i < count && i < 12; ++i)
            layout.monthNames.push_back(utf8(months[i]));
        const icu::UnicodeString *marks = symbols.getAmPmStrings(count);
        if (count >= 2) layout.amPm = {utf8(marks[0]), utf8(marks[1])};
    }
    for (int m = static_cast<int>(layout.monthNames.size()); m < 12; ++m)
        layout.monthNames.push_back(std::to_string(m + 1));
    return layout;
}

std::string twoDigits(int n) {
    return (n < 10 ? "0" : "") + std::to_string(n);
}

int daysInMonth(const Calendar &calendar, int year, int month) {
    // Day 0 of the next month is the last day of this one.
    return calendar.components(calendar.dateFromComponents({year, month + 1, 0, 12, 0, 0, 0})).day;
}

std::vector<std::string> numbers(int first, int last, bool pad = false) {
    std::vector<std::string> out;
    for (int n = first; n <= last; ++n)
        out.push_back(pad ? twoDigits(n) : std::to_string(n));
    return out;
}

// How many years the wheel offers beyond the current one.
constexpr int kWheelYears = 10;

} // namespace

void DatePickerViewController::viewDidLoad() {
    minimumDate_ = services_.clock.now();
    date_ = initialDate && *initialDate > minimumDate_ ? *initialDate : minimumDate_;
}

void DatePickerViewController::setSelectedDate(Instant date) {
    date_ = date;
    txtDate_ =
        StringFormatter(services_.calendar).getLocalizedShortDateShortTimeStringFromDate(date);
}

std::vector<DateWheelColumn> DatePickerViewController::wheel() const {
    const Calendar &calendar = services_.calendar;
    const LocaleLayout layout = localeLayout(calendar);
    const DateComponents c = calendar.components(date_);
    const int firstYear = calendar.components(minimumDate_).year;
    const int lastYear = std::max(firstYear + kWheelYears, c.year);

    std::vector<DateWheelColumn> columns;
    for (const auto &field : layout.dateOrder) {
        if (field == "year")
            columns.push_back({field, numbers(firstYear, lastYear), c.year - firstYear});
        else if (field == "month")
            columns.push_back({field, layout.monthNames, c.month - 1});
        else
            columns.push_back(
                {field, numbers(1, daysInMonth(calendar, c.year, c.month)), c.day - 1});
    }
    for (const auto &field : layout.timeOrder) {
        if (field == "hour" && layout.twelveHour) {
            auto hours = numbers(0, 11);
            hours[0] = "12";
            columns.push_back({field, hours, c.hour % 12});
        } else if (field == "hour") {
            columns.push_back({field, numbers(0, 23, layout.padHour), c.hour});
        } else if (field == "minute") {
            columns.push_back({field, numbers(0, 59, true), c.minute});
        } else {
            columns.push_back({field, layout.amPm, c.hour >= 12 ? 1 : 0});
        }
    }
    return columns;
}

void DatePickerViewController::setWheelField(const std::string &field, int index) {
    const auto columns = wheel();
    const auto column =
        std::find_if(columns.begin(), columns.end(),
                     [&field](const DateWheelColumn &c) { return c.field == field; });
    if (column == columns.end() || index < 0 || index >= static_cast<int>(column->items.size()))
        return;
    const bool twelveHour = std::any_of(columns.begin(), columns.end(),
                                        [](const DateWheelColumn &c) { return c.field == "ampm"; });
    const Calendar &calendar = services_.calendar;
    DateComponents c = calendar.components(date_);
    if (field == "year")
        c.year = calendar.components(minimumDate_).year + index;
    else if (field == "month")
        c.month = index + 1;
    else if (field == "day")
        c.day = index + 1;
    else if (field == "minute")
        c.minute = index;
    else if (field == "ampm")
        c.hour = c.hour % 12 + 12 * index;
    else if (twelveHour)
        c.hour = (c.hour >= 12 ? 12 : 0) + index;
    else
        c.hour = index;
    // The wheel shows minutes; a day past the month's end turns back to its last day, as a
    // wheel does, rather than into the next month.
    c.second = 0;
    c.day = std::min(c.day, daysInMonth(calendar, c.year, c.month));
    setSelectedDate(std::max(calendar.dateFromComponents(c), minimumDate_));
}

void DatePickerViewController::noEndDateSelected() {
    txtDate_ = kNoEndDate;
}

bool DatePickerViewController::finish() {
    if (finished_) return false;
    finished_ = true;
    return true;
}

void DatePickerViewController::done() {
    if (!finish()) return;
    const std::optional<Instant> result =
        txtDate_ == kNoEndDate ? std::nullopt : std::optional<Instant>(date_);
    if (delegate != nullptr) delegate->datePickerViewControllerDidFinish(*this, result);
    navigator_.dismiss(*this);
}

void DatePickerViewController::cancel() {
    if (!finish()) return;
    if (delegate != nullptr) delegate->datePickerViewControllerDidFinishWithCancel(*this);
    navigator_.dismiss(*this);
}

bool DatePickerViewController::prefersStatusBarHidden() {
    return BytewardTheme::appPrefersStatusBarHidden();
}

ValueDict DatePickerViewController::labels() const {
    ValueDict out;
    out.set("txtDate", labelValue(txtDate_ == kNoEndDate ? tr(kNoEndDate) : txtDate_));
    out.set("btnNoEndDate", labelValue(tr(kNoEndDate)));
    out.set("btnDone", labelValue(tr("Done")));
    out.set("btnCancel", labelValue(tr("Cancel")));
    return out;
}

ValueDict DatePickerViewController::values() const {
    ValueArray columns;
    for (const auto &column : wheel()) {
        ValueDict d;
        d.set("field", Value(column.field));
        d.set("items", Value(ValueArray(column.items.begin(), column.items.end())));
        d.set("index", Value(column.index));
        columns.emplace_back(std::move(d));
    }
    ValueDict out;
    out.set("wheel", Value(std::move(columns)));
    out.set("date", Value(date_));
    out.set("theme", Value(screenThemeValues()));
    return out;
}

bool DatePickerViewController::perform(const std::string &action, const Value &argument) {
    if (action == "viewDidLoad")
        viewDidLoad();
    else if (action == "setSelectedDate")
        setWheelField(argumentString(argument, "field"), argumentInt(argument, "index"));
    else if (action == "noEndDateSelected")
        noEndDateSelected();
    else if (action == "done")
        done();
    else if (action == "cancel")
        cancel();
    else
        return false;
    return true;
}

} // namespace byteward
