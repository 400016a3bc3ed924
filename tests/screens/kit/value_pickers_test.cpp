// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/kit/date_picker_view_controller.h"
#include "screens/kit/string_formatter.h"
#include "screens/kit/text_field_view_controller.h"
#include "support/recording_navigator.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

using std::chrono::hours;
using std::chrono::minutes;

// Hears both pickers and keeps every call.
struct PickerDelegate : DatePickerViewControllerDelegate, TextViewControllerDelegate {
    void datePickerViewControllerDidFinish(DatePickerViewController &,
                                           std::optional<Instant> d) override {
        calls.push_back("date");
        date = d;
    }
    void datePickerViewControllerDidFinishWithCancel(DatePickerViewController &) override {
        calls.push_back("cancel");
    }
    void textViewControllerDidFinish(TextFieldViewController &, const std::string &t,
                                     const IndexPath &at) override {
        calls.push_back("text");
        text = t;
        indexPath = at;
    }
    std::vector<std::string> calls;
    std::optional<Instant> date;
    std::string text;
    IndexPath indexPath;
};

// A local time in the environment's zone, "2028-01-31 10:15".
Instant local(test::TestEnv &env, int y, int mo, int d, int h, int mi) {
    return env.calendar.dateFromComponents({y, mo, d, h, mi, 0, 0});
}

std::vector<std::string> fields(const DatePickerViewController &picker) {
    std::vector<std::string> out;
    for (const auto &column : picker.wheel())
        out.push_back(column.field);
    return out;
}

TEST(DatePickerViewController, StartsAtTheInitialDateOnlyWhenItIsLaterThanNow) {
    const Instant now = test::FakeClock().current;
    const struct {
        const char *what;
        std::optional<Instant> initial;
        Instant start;
    } cases[] = {
        {"absent", std::nullopt, now},
        {"a minute ago", now - minutes(1), now},
        {"now itself", now, now},
        {"tomorrow", now + hours(24), now + hours(24)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::TestEnv env;
        test::RecordingNavigator navigator;
        PickerDelegate delegate;
        DatePickerViewController picker(env.services(), navigator);
        picker.delegate = &delegate;
        picker.initialDate = c.initial;
        picker.viewDidLoad();
        EXPECT_EQ(picker.minimumDate(), now);
        EXPECT_EQ(picker.txtDate(), "");
        // Untouched, the wheel's starting date is the answer, although the field is empty.
        picker.done();
        EXPECT_EQ(delegate.calls, std::vector<std::string>{"date"});
        EXPECT_EQ(delegate.date, c.start);
    }
}

TEST(DatePickerViewController, ReportsNoDateOnlyWhileTheFieldSaysSoAndFinishesOnce) {
    const struct {
        const char *what;
        std::vector<const char *> steps;
        std::vector<std::string> calls;
        bool dated; // the delegate received the wheel's date
    } cases[] = {
        {"no end date", {"noEndDate", "done"}, {"date"}, false},
        {"no end date, then the wheel", {"noEndDate", "wheel", "done"}, {"date"}, true},
        {"the wheel, then no end date", {"wheel", "noEndDate", "done"}, {"date"}, false},
        {"cancel after choosing", {"wheel", "cancel"}, {"cancel"}, false},
        {"pressed twice", {"wheel", "done", "done", "cancel"}, {"date"}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::TestEnv env;
        test::RecordingNavigator navigator;
        PickerDelegate delegate;
        DatePickerViewController picker(env.services(), navigator);
        navigator.presentModal(DatePickerViewController::kPageName, picker);
        picker.delegate = &delegate;
        picker.viewDidLoad();
        for (const std::string step : c.steps) {
            if (step == "noEndDate") picker.perform("noEndDateSelected", Value());
            if (step == "done") picker.perform("done", Value());
            if (step == "cancel") picker.perform("cancel", Value());
            if (step == "wheel") {
                ValueDict move;
                move.set("field", Value("minute"));
                move.set("index", Value(30));
                picker.perform("setSelectedDate", Value(move));
                EXPECT_EQ(picker.txtDate(),
                          StringFormatter(env.calendar)
                              .getLocalizedShortDateShortTimeStringFromDate(picker.date()));
            }
        }
        EXPECT_EQ(delegate.calls, c.calls);
        EXPECT_EQ(delegate.date.has_value(), c.dated);
        if (c.dated) {
            EXPECT_EQ(env.calendar.components(*delegate.date).minute, 30);
        }
        EXPECT_EQ(navigator.stack.size(), 0u);
        EXPECT_EQ(navigator.misplacedDismissals, 0);
    }
}

TEST(DatePickerViewController, WheelColumnsFollowTheLocale) {
    const struct {
        const char *locale;
        std::vector<std::string> fields;
        const char *firstHour;
    } cases[] = {
        {"en_US", {"month", "day", "year", "hour", "minute", "ampm"}, "12"},
        {"de_DE", {"day", "month", "year", "hour", "minute"}, "00"},
        {"ja_JP", {"year", "month", "day", "hour", "minute"}, "0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale);
        test::TestEnv env("UTC", c.locale);
        test::RecordingNavigator navigator;
        DatePickerViewController picker(env.services(), navigator);
        picker.viewDidLoad();
        EXPECT_EQ(fields(picker), c.fields);
        for (const auto &column : picker.wheel()) {
            if (column.field == "hour") {
                EXPECT_EQ(column.items.front(), c.firstHour);
            }
            if (column.field == "month") {
                EXPECT_EQ(column.items.size(), 12u);
            }
        }
    }
}

TEST(DatePickerViewController, WheelMovesKeepARealDateNoEarlierThanNow) {
    // From Monday 2028-01-31 10:15 in Berlin, in a 12-hour locale.
    const struct {
        const char *what;
        const char *field;
        int index;
        int expected[5]; // year, month, day, hour, minute
    } cases[] = {
        {"to February keeps to its last day (a leap day)", "month", 1, {2028, 2, 29, 10, 15}},
        {"to the afternoon", "ampm", 1, {2028, 1, 31, 22, 15}},
        {"to twelve o'clock in the morning", "hour", 0, {2028, 1, 31, 0, 15}},
        {"to the first day", "day", 0, {2028, 1, 1, 10, 15}},
        {"to a past year stops at now", "year", 0, {2025, 12, 8, 1, 0}},
        {"to a minute the wheel lacks changes nothing", "minute", 60, {2028, 1, 31, 10, 15}},
        {"to a field the wheel lacks changes nothing", "second", 3, {2028, 1, 31, 10, 15}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::TestEnv env("Europe/Berlin", "en_US");
        test::RecordingNavigator navigator;
        DatePickerViewController picker(env.services(), navigator);
        picker.initialDate = local(env, 2028, 1, 31, 10, 15);
        picker.viewDidLoad();
        picker.setWheelField(c.field, c.index);
        const DateComponents got = env.calendar.components(picker.date());
        EXPECT_EQ((std::vector<int>{got.year, got.month, got.day, got.hour, got.minute}),
                  (std::vector<int>(std::begin(c.expected), std::end(c.expected))));
    }
}

TEST(TextFieldViewController, HandsBackTheTypedTextOnDoneAndTheInitialTextOnCancel) {
    const struct {
        const char *what;
        std::vector<const char *> typed; // each a later state of the field
        const char *action;
        const char *expected;
    } cases[] = {
        {"done untouched", {}, "done", "Home"},
        {"done after typing", {"Ho", "Holiday"}, "done", "Holiday"},
        {"done after clearing", {""}, "done", ""},
        {"cancel after typing", {"Holiday"}, "cancel", "Home"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::RecordingNavigator navigator;
        PickerDelegate delegate;
        TextFieldViewController screen(navigator);
        navigator.presentModal(TextFieldViewController::kPageName, screen);
        screen.delegate = &delegate;
        screen.initialText = "Home";
        screen.indexPath = {3, 1};
        screen.viewDidLoad();
        EXPECT_EQ(screen.text(), "Home");
        for (const char *text : c.typed) {
            ValueDict typed;
            typed.set("text", Value(text));
            screen.perform("setText", Value(typed));
        }
        screen.perform(c.action, Value());
        screen.perform("done", Value()); // a second press reports nothing
        EXPECT_EQ(delegate.calls, std::vector<std::string>{"text"});
        EXPECT_EQ(delegate.text, c.expected);
        EXPECT_EQ(delegate.indexPath, (IndexPath{3, 1}));
        EXPECT_TRUE(navigator.stack.empty());
    }
}

} // namespace
} // namespace byteward
