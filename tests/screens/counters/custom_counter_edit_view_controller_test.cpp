// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files.h"
#include "screens/counters/counter_screens.h"
#include "screens/counters/custom_counter_edit_view_controller.h"
#include "screens/kit/string_formatter.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;

constexpr double kMiB = 1024.0 * 1024.0;

// Each section as "header|reuse identifier,reuse identifier".
std::vector<std::string> outline(const CustomCounterEditViewController &editor) {
    std::vector<std::string> out;
    for (int s = 0; s < editor.numberOfSectionsInTableView(); ++s) {
        std::string line = editor.titleForHeaderInSection(s) + "|";
        for (int r = 0; r < editor.numberOfRowsInSection(s); ++r)
            line += (r ? "," : "") + editor.cellForRowAtIndexPath({s, r}).reuseIdentifier;
        out.push_back(line);
    }
    return out;
}

Value indexArgument(int index) {
    ValueDict d;
    d.set("index", Value(index));
    return Value(d);
}

struct Editor {
    explicit Editor(test::CounterScreens &s, CustomCounter *counter)
        : screen(s.services(), s.screens(), s.navigator) {
        screen.displayDataUnit = "MB";
        screen.isAddMode = counter == nullptr;
        if (counter) screen.setCustomCounter(*counter);
        screen.viewDidLoad();
        s.navigator.presentModal(CustomCounterEditViewController::kPageName, screen);
    }
    // Opens the name entry and ends it with `text`, or cancels it after typing `text`.
    void name(const std::string &text, bool cancel = false) {
        screen.didSelectRowAtIndexPath({0, 0});
        TextFieldViewController *entry = screen.textFieldViewController();
        entry->setText(text);
        cancel ? entry->cancel() : entry->done();
    }
    CustomCounterEditViewController screen;
};

const std::string N = "|CellWithName", T = "Track|CellWithDataType",
                  E = "End Date and Alert|CellWithEndDate,CellWithNotifyOption",
                  D = "Direction|CellWithOption", R = "|CellWithResetButton",
                  C3 = "Cellular Byteward|CellWithCellRecdDataInfo,CellWithCellSentDataInfo,"
                       "CellWithCellTotalDataInfo",
                  W3 = "Wi-Fi Byteward|CellWithWifiRecdDataInfo,CellWithWifiSentDataInfo,"
                       "CellWithWifiTotalDataInfo",
                  CR = "Cellular Byteward|CellWithCellRecdDataInfo",
                  CS = "Cellular Byteward|CellWithCellSentDataInfo",
                  WR = "Wi-Fi Byteward|CellWithWifiRecdDataInfo",
                  WS = "Wi-Fi Byteward|CellWithWifiSentDataInfo";

TEST(CustomCounterEditViewController, SectionsFollowTheModeTheTrackedTypesAndTheDirection) {
    const struct {
        const char *what;
        bool addMode;
        int track, direction; // segments chosen; -1 leaves the control alone
        bool trackCellular, trackWiFi;
        std::int32_t directionValue;
        std::vector<std::string> outline;
    } cases[] = {
        {"add mode", true, -1, -1, true, true, 3, {N, T, E, D}},
        {"add mode, Wi-Fi sent", true, 1, 1, false, true, 1, {N, T, E, D}},
        {"edit, both types, both directions",
         false,
         -1,
         -1,
         true,
         true,
         3,
         {N, T, E, D, C3, W3, R}},
        {"edit, received", false, -1, 0, true, true, 2, {N, T, E, D, CR, WR, R}},
        {"edit, both chosen again, sent", false, 2, 1, true, true, 1, {N, T, E, D, CS, WS, R}},
        {"edit, Wi-Fi only", false, 1, -1, false, true, 3, {N, T, E, D, W3, R}},
        {"edit, cellular received", false, 0, 0, true, false, 2, {N, T, E, D, CR, R}},
        {"edit, Wi-Fi sent", false, 1, 1, false, true, 1, {N, T, E, D, WS, R}},
        {"edit, out-of-range segments ignored",
         false,
         3,
         7,
         true,
         true,
         3,
         {N, T, E, D, C3, W3, R}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::CounterScreens s;
        CustomCounter counter = CustomCounter::initWithName("Trip", s.env.clock.current);
        counter.addDataToCounterWithDataSent(5, 10, 1);
        Editor editor(s, c.addMode ? nullptr : &counter);
        if (c.track >= 0) editor.screen.perform("dataTypeSegValueChanged", indexArgument(c.track));
        if (c.direction >= 0)
            editor.screen.perform("directionTypeSegValueChanged", indexArgument(c.direction));
        EXPECT_EQ(outline(editor.screen), c.outline);
        const CustomCounter &edited = *editor.screen.customCounter();
        EXPECT_EQ(edited.trackCellular, c.trackCellular);
        EXPECT_EQ(edited.trackWiFi, c.trackWiFi);
        EXPECT_EQ(edited.direction, c.directionValue);
        // Dropping a type from view keeps its amounts.
        if (!c.addMode) {
            EXPECT_EQ(counter.cellularDataTotal, 15);
        }
    }
}

TEST(CustomCounterEditViewController, CellsShowTheCounterInTheDisplayUnit) {
    test::CounterScreens s;
    CustomCounter counter = CustomCounter::initWithName("Trip", s.env.clock.current);
    counter.addDataToCounterWithDataSent(1 * kMiB, 2.5 * kMiB, 1);
    counter.addDataToCounterWithDataSent(0.5 * kMiB, 0, 2);
    counter.endDate = s.env.clock.current + hours(36);
    counter.notifyOnEnd = true;
    Editor editor(s, &counter);
    const std::string end = StringFormatter(s.env.calendar)
                                .getLocalizedShortDateShortTimeStringFromDate(*counter.endDate);
    // id | style | title | detail | height | accessory | control selected/on
    const std::vector<std::string> expected = {
        "CellWithName|value1|Name|Trip|41|disclosureIndicator||-1/0",
        "CellWithDataType|default|||44||segments|2/0",
        "CellWithEndDate|value1|End Date|" + end + "|44|disclosureIndicator||-1/0",
        "CellWithNotifyOption|value1|Alert on end||44|switch|switch|-1/1",
        "CellWithOption|default|||41||segments|2/0",
        "CellWithCellRecdDataInfo|value1|Received|2.50 MB|44|||-1/0",
        "CellWithCellSentDataInfo|value1|Sent|1.00 MB|44|||-1/0",
        "CellWithCellTotalDataInfo|value1|Total|3.50 MB|44|||-1/0",
        "CellWithWifiRecdDataInfo|value1|Received|0.00 MB|44|||-1/0",
        "CellWithWifiSentDataInfo|value1|Sent|0.50 MB|44|||-1/0",
        "CellWithWifiTotalDataInfo|value1|Total|0.50 MB|44|||-1/0",
        "CellWithResetButton|value1|||44||button|-1/0",
    };
    std::vector<std::string> shown;
    for (int sec = 0; sec < editor.screen.numberOfSectionsInTableView(); ++sec)
        for (int r = 0; r < editor.screen.numberOfRowsInSection(sec); ++r) {
            const TableCell cell = editor.screen.cellForRowAtIndexPath({sec, r});
            shown.push_back(cell.reuseIdentifier + "|" + cell.style + "|" + cell.title + "|" +
                            cell.detail + "|" + std::to_string(static_cast<int>(cell.height)) +
                            "|" + cell.accessory + "|" + cell.control + "|" +
                            std::to_string(cell.selectedIndex) + "/" + (cell.on ? "1" : "0"));
        }
    EXPECT_EQ(shown, expected);
}

TEST(CustomCounterEditViewController, SegmentsShowTheStoredChoice) {
    const struct {
        bool trackCellular, trackWiFi;
        std::int32_t direction;
        int trackSelected, directionSelected;
        int amountRows;
    } cases[] = {
        {true, true, 3, 2, 2, 3},
        {false, true, 1, 1, 1, 1},
        {true, false, 2, 0, 0, 1},
        // A damaged file: no segment fits, and the one amount row shows the total.
        {false, false, 0, -1, -1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.trackCellular << c.trackWiFi << c.direction);
        test::CounterScreens s;
        CustomCounter counter = CustomCounter::initWithName("Trip", s.env.clock.current);
        counter.trackCellular = c.trackCellular;
        counter.trackWiFi = c.trackWiFi;
        counter.direction = c.direction;
        Editor editor(s, &counter);
        EXPECT_EQ(editor.screen.cellForRowAtIndexPath({1, 0}).selectedIndex, c.trackSelected);
        EXPECT_EQ(editor.screen.cellForRowAtIndexPath({3, 0}).selectedIndex, c.directionSelected);
        EXPECT_EQ(editor.screen.numberOfRowsInSection(4), c.amountRows);
        EXPECT_FALSE(editor.screen.cellForRowAtIndexPath({4, 0}).title.empty());
    }
}

TEST(CustomCounterEditViewController, EndDateIsSetAndClearedThroughThePicker) {
    test::CounterScreens s("Europe/Berlin", "en_US");
    CustomCounter counter = CustomCounter::initWithName("Trip", s.env.clock.current);
    Editor editor(s, &counter);
    auto endRow = [&editor] { return editor.screen.cellForRowAtIndexPath({2, 0}).detail; };
    auto openPicker = [&] {
        editor.screen.perform("didSelectRow", [] {
            ValueDict d;
            d.set("section", Value(2));
            d.set("row", Value(0));
            return Value(d);
        }());
        EXPECT_EQ(s.navigator.top(), editor.screen.datePickerViewController());
        return editor.screen.datePickerViewController();
    };

    DatePickerViewController *picker = openPicker();
    EXPECT_EQ(picker->initialDate, std::nullopt);
    const Instant chosen = s.env.clock.current + hours(50) + seconds(20);
    picker->setSelectedDate(chosen);
    picker->done();
    EXPECT_EQ(counter.endDate, chosen);
    EXPECT_EQ(endRow(),
              StringFormatter(s.env.calendar).getLocalizedShortDateShortTimeStringFromDate(chosen));

    // The picker starts from the date as the row shows it: to the minute.
    picker = openPicker();
    EXPECT_EQ(picker->initialDate, chosen - seconds(20));
    picker->cancel();
    EXPECT_EQ(counter.endDate, chosen);

    picker = openPicker();
    picker->noEndDateSelected();
    picker->done();
    EXPECT_EQ(counter.endDate, std::nullopt);
    EXPECT_EQ(endRow(), "No End Date");
    EXPECT_EQ(s.navigator.top(), &editor.screen);
    EXPECT_EQ(s.navigator.misplacedDismissals, 0);
}

TEST(CustomCounterEditViewController, NameEntryStartsFromTheNameAndKeepsItOnCancel) {
    test::CounterScreens s;
    CustomCounter counter = CustomCounter::initWithName("Trip", s.env.clock.current);
    Editor editor(s, &counter);
    editor.screen.didSelectRowAtIndexPath({0, 0});
    TextFieldViewController *entry = editor.screen.textFieldViewController();
    ASSERT_EQ(s.navigator.top(), entry);
    EXPECT_EQ(entry->text(), "Trip");
    EXPECT_EQ(entry->placeholderText, "counter name");
    EXPECT_EQ(entry->keyboardType, 0);
    // A second tap while the entry is up does not open another.
    editor.screen.didSelectRowAtIndexPath({0, 0});
    EXPECT_EQ(editor.screen.textFieldViewController(), entry);
    entry->setText("Roaming");
    entry->done();
    EXPECT_EQ(counter.name, "Roaming");
    editor.name("Holiday", /*cancel=*/true);
    EXPECT_EQ(counter.name, "Roaming");
    EXPECT_EQ(editor.screen.cellForRowAtIndexPath({0, 0}).detail, "Roaming");
}

TEST(CustomCounterEditViewController, AddModeStoresANewCounterWithItsEndAlert) {
    test::CounterScreens s;
    s.add("Existing");
    Editor editor(s, nullptr);
    EXPECT_EQ(editor.screen.customCounter()->name, "New Counter");
    editor.screen.dataTypeSegValueChanged(1);
    editor.screen.alertSwitchValueChanged(true);
    editor.screen.didSelectRowAtIndexPath({2, 0});
    const Instant end = s.env.clock.current + hours(24);
    editor.screen.datePickerViewController()->setSelectedDate(end);
    editor.screen.datePickerViewController()->done();
    editor.screen.saveAndDismissView();
    editor.screen.saveAndDismissView(); // a second press stores nothing more

    EXPECT_EQ(s.stored(), (std::vector<std::string>{"Existing", "New Counter"}));
    const CustomCounter stored = s.storedNamed("New Counter");
    EXPECT_FALSE(stored.trackCellular);
    EXPECT_TRUE(stored.trackWiFi);
    EXPECT_EQ(stored.endDate, end);
    EXPECT_EQ(stored.wifiDataTotal, 0);
    ASSERT_EQ(s.env.notifications.scheduledLocalNotifications().size(), 1u);
    EXPECT_EQ(s.env.notifications.scheduledLocalNotifications()[0].alertBody,
              "Custom Counter New Counter Ended!");
    EXPECT_TRUE(s.navigator.stack.empty());
    EXPECT_EQ(s.analytics.entries(),
              std::vector<std::string>{"event Create or edit custom counter"});
}

TEST(CustomCounterEditViewController, SaveStoresTheEditsAndCancelStoresNothing) {
    const struct {
        const char *what;
        std::vector<const char *> steps;
        const char *storedName;
        double storedCellular, storedWiFi; // totals, bytes
        double shownCellular;              // in the caller's counter afterwards
    } cases[] = {
        {"cancel after reset", {"reset", "answer 1", "cancel"}, "Trip", 300, 30, 300},
        {"cancel after renaming", {"rename", "cancel"}, "Trip", 300, 30, 300},
        {"reset declined", {"reset", "answer 0", "save"}, "Trip", 300, 30, 300},
        {"save after reset", {"reset", "answer 1", "rename", "save"}, "Work", 0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::CounterScreens s;
        s.add("Trip", 100, 200, 10, 20);
        const auto before = readWholeFile(CustomCounter::archivePath(s.services()));
        CustomCounter shown = CustomCounter::getAllCustomCounters(s.services())[0];
        Editor editor(s, &shown);
        for (const std::string step : c.steps) {
            if (step == "reset") {
                editor.screen.perform("resetCounter", Value());
                ASSERT_TRUE(s.presenter.alerts.back().actionSheet);
                EXPECT_EQ(s.presenter.alerts.back().title,
                          "Reset data usage for this counter to zero?");
                EXPECT_EQ(test::RecordingPresenter::buttons(s.presenter.alerts.back()),
                          (std::vector<std::string>{"Cancel", "Reset Counter"}));
            }
            if (step == "answer 0") s.presenter.answer(0);
            if (step == "answer 1") s.presenter.answer(1);
            if (step == "rename") editor.name("Work");
            if (step == "save") editor.screen.perform("saveAndDismissView", Value());
            if (step == "cancel") editor.screen.perform("cancelAndDismissView", Value());
        }
        const CustomCounter stored = CustomCounter::getAllCustomCounters(s.services())[0];
        EXPECT_EQ(stored.name, c.storedName);
        EXPECT_EQ(stored.cellularDataTotal, c.storedCellular);
        EXPECT_EQ(stored.wifiDataTotal, c.storedWiFi);
        EXPECT_EQ(shown.cellularDataTotal, c.shownCellular);
        if (std::string(c.steps.back()) == "cancel") {
            EXPECT_EQ(readWholeFile(CustomCounter::archivePath(s.services())), before);
        }
        EXPECT_TRUE(s.navigator.stack.empty());
    }
}

TEST(CustomCounterEditViewController, SavingKeepsTrafficCountedWhileTheEditorWasOpen) {
    test::CounterScreens s;
    s.add("Trip", 100, 200);
    CustomCounter shown = CustomCounter::getAllCustomCounters(s.services())[0];
    Editor editor(s, &shown);
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s.services(), 1000,
                                                                            2000, "cellular"));
    editor.name("Work");
    editor.screen.saveAndDismissView();
    const CustomCounter stored = s.storedNamed("Work");
    EXPECT_EQ(stored.cellularDataTotal, 3300);
    EXPECT_EQ(shown.cellularDataTotal, 3300);
}

TEST(CustomCounterEditViewController, ReappliesTheThemeOnEachAnnouncementWhileItLives) {
    test::CounterScreens s;
    auto editor =
        std::make_unique<CustomCounterEditViewController>(s.services(), s.screens(), s.navigator);
    int applied = 0;
    editor->onChanged = [&applied] { ++applied; };
    editor->isAddMode = true;
    editor->viewDidLoad();
    s.events.post(NotificationCenter::kProgressBarMileStoneNotification);
    EXPECT_EQ(applied, 2);
    editor.reset();
    s.events.post(NotificationCenter::kProgressBarMileStoneNotification);
    EXPECT_EQ(applied, 2);
}

} // namespace
} // namespace byteward
