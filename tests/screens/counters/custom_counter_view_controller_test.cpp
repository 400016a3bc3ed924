// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/counters/counter_screens.h"
#include "screens/counters/custom_counter_view_controller.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

using std::chrono::hours;

constexpr double kMiB = 1024.0 * 1024.0;

Value rowArgument(int row, std::optional<bool> on = std::nullopt) {
    ValueDict d;
    d.set("row", Value(row));
    if (on) d.set("on", Value(*on));
    return Value(d);
}

// The list as the tab shows it: loaded, about to appear, at the root of the tab's stack.
struct List {
    explicit List(test::CounterScreens &s) : screen(s.services(), s.screens(), s.navigator) {
        s.navigator.stack = {&screen};
        screen.perform("viewDidLoad", Value());
        screen.perform("viewWillAppear", Value());
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (int r = 0; r < screen.numberOfRowsInSection(0); ++r)
            out.push_back(screen.cellForRowAtIndexPath({0, r}).title);
        return out;
    }
    CustomCounterViewController screen;
};

CustomCounter sampleCounter(bool cellular, bool wifi, std::int32_t direction) {
    CustomCounter c = CustomCounter::initWithName("Trip", {});
    c.addDataToCounterWithDataSent(1 * kMiB, 2 * kMiB, 1);
    c.addDataToCounterWithDataSent(0.25 * kMiB, 0.5 * kMiB, 2);
    c.trackCellular = cellular;
    c.trackWiFi = wifi;
    c.direction = direction;
    return c;
}

TEST(CustomCounterViewController, RowsShowTheTrackedAmountsInTheDisplayUnit) {
    const struct {
        bool cellular, wifi;
        std::int32_t direction;
        const char *unit;
        bool paused;
        const char *subtitle;
    } cases[] = {
        {true, true, 3, "MB", false, "Cellular  3.00 MB\nWi-Fi  0.75 MB"},
        {true, true, 1, "MB", true, "Cellular Sent 1.00 MB\nWi-Fi Sent 0.25 MB"},
        {true, true, 2, "MB", false, "Cellular Received 2.00 MB\nWi-Fi Received 0.50 MB"},
        {false, true, 1, "MB", false, "Wi-Fi Sent 0.25 MB"},
        {true, false, 3, "KB", false, "Cellular  3072.00 KB\n"},
        {true, true, 0, "MB", false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.subtitle);
        test::CounterScreens s;
        s.setDisplayUnit(c.unit);
        CustomCounter counter = sampleCounter(c.cellular, c.wifi, c.direction);
        counter.isPaused = c.paused;
        EXPECT_TRUE(CustomCounter::addCustomCounter(s.services(), counter));
        List list(s);
        const TableCell cell = list.screen.cellForRowAtIndexPath({0, 0});
        EXPECT_EQ(cell.detail, c.subtitle);
        EXPECT_EQ(cell.title, "Trip");
        EXPECT_EQ(cell.reuseIdentifier, "Cell");
        EXPECT_EQ(cell.style, "subtitle");
        EXPECT_EQ(cell.titleLines, 2);
        EXPECT_EQ(cell.detailLines, 2);
        EXPECT_EQ(cell.height, 90);
        EXPECT_EQ(cell.editingAccessory, "disclosureIndicator");
        EXPECT_EQ(cell.on, !c.paused);
    }
}

TEST(CustomCounterViewController, PauseSwitchKeepsTrafficAnUpdateAddedWhileTheListWasOpen) {
    test::CounterScreens s;
    s.setDisplayUnit("KB");
    s.add("Trip", 100, 200);
    s.add("Home");
    List list(s);
    // The daemon's update cycle runs while the list is on screen.
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s.services(), 1000,
                                                                            2000, "cellular"));
    list.screen.perform("switchToggled", rowArgument(0, false));

    EXPECT_TRUE(s.storedNamed("Trip").isPaused);
    EXPECT_EQ(s.storedNamed("Trip").cellularDataTotal, 3300);
    EXPECT_FALSE(s.storedNamed("Home").isPaused);
    EXPECT_EQ(s.storedNamed("Home").cellularDataTotal, 3000);
    EXPECT_EQ(list.screen.cellForRowAtIndexPath({0, 0}).detail,
              "Cellular  3.22 KB\nWi-Fi  0.00 KB"); // 3300 bytes, as stored now
    EXPECT_FALSE(list.screen.cellForRowAtIndexPath({0, 0}).on);

    // Paused, it takes nothing from the next update; resumed, it counts again.
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s.services(), 5, 5,
                                                                            "cellular"));
    EXPECT_EQ(s.storedNamed("Trip").cellularDataTotal, 3300);
    list.screen.perform("switchToggled", rowArgument(0, true));
    EXPECT_TRUE(CustomCounter::updateCustomCountersWithDataSentSinceLastRun(s.services(), 5, 5,
                                                                            "cellular"));
    EXPECT_EQ(s.storedNamed("Trip").cellularDataTotal, 3310);
    EXPECT_EQ(s.storedNamed("Home").cellularDataTotal, 3020);
}

TEST(CustomCounterViewController, DeleteAndMoveChangeTheStoreAndShowItsOrder) {
    test::CounterScreens s;
    CustomCounter ending = CustomCounter::initWithName("Ending", s.env.clock.current);
    ending.endDate = s.env.clock.current + hours(48);
    ending.notifyOnEnd = true;
    EXPECT_TRUE(CustomCounter::addCustomCounter(s.services(), ending));
    for (const char *name : {"A", "B", "C"})
        s.add(name);
    List list(s);
    ASSERT_EQ(s.env.notifications.scheduledLocalNotifications().size(), 1u);

    list.screen.perform("showEditMode", Value());
    list.screen.perform("commitEditingStyle", rowArgument(0));
    list.screen.perform("commitEditingStyle", rowArgument(7)); // no such row
    EXPECT_EQ(s.stored(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_TRUE(s.env.notifications.scheduledLocalNotifications().empty());

    ValueDict move;
    move.set("from", Value(0));
    move.set("to", Value(2));
    list.screen.perform("moveRow", Value(move));
    EXPECT_EQ(s.stored(), (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(list.names(), s.stored());
    EXPECT_TRUE(s.env.log.contains("Move Row 0 to row 2"));
}

TEST(CustomCounterViewController, EditModeSwapsTheLeftButtonAndChoosesWhatSelectionOpens) {
    const struct {
        bool editing;
        const char *leftButton;
        const char *opened;
    } cases[] = {
        {false, "edit", "push CustomCounterDetailView"},
        {true, "done", "present CustomCounterEditView"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.opened);
        test::CounterScreens s;
        s.add("A");
        s.add("B");
        List list(s);
        list.screen.perform("showEditMode", Value());
        if (!c.editing) list.screen.perform("leaveEditMode", Value());
        EXPECT_EQ(list.screen.values().find("leftButton")->stringValue(), c.leftButton);
        list.screen.perform("didSelectRow", rowArgument(1));
        list.screen.perform("didSelectRow", rowArgument(0)); // too late: B is opening
        EXPECT_EQ(s.navigator.pages(), std::vector<std::string>{c.opened});
        const CustomCounter *opened = c.editing ? list.screen.editor()->customCounter()
                                                : &list.screen.detail()->customCounter;
        EXPECT_EQ(opened->name, "B");
        if (c.editing) {
            EXPECT_FALSE(list.screen.editor()->isAddMode);
        } else {
            EXPECT_EQ(list.screen.detail()->displayDataUnit, "MB");
        }
    }
}

TEST(CustomCounterViewController, CountersAddedOrEditedInTheEditorShowWhenTheListIsBack) {
    test::CounterScreens s;
    s.add("Trip");
    List list(s);
    list.screen.perform("showAddMode", Value());
    ASSERT_TRUE(list.screen.editor()->isAddMode);
    list.screen.editor()->saveAndDismissView();
    EXPECT_EQ(list.names(), (std::vector<std::string>{"Trip", "New Counter"}));

    list.screen.perform("showEditMode", Value());
    list.screen.perform("didSelectRow", rowArgument(0));
    CustomCounterEditViewController &editor = *list.screen.editor();
    editor.didSelectRowAtIndexPath({0, 0});
    editor.textFieldViewController()->setText("Work");
    editor.textFieldViewController()->done();
    editor.saveAndDismissView();
    EXPECT_EQ(list.names(), (std::vector<std::string>{"Work", "New Counter"}));
    EXPECT_EQ(s.navigator.top(), &list.screen);
    EXPECT_EQ(s.navigator.misplacedDismissals, 0);
    EXPECT_EQ(s.analytics.entries(),
              (std::vector<std::string>{"event Viewing custom counter tab",
                                        "event Create or edit custom counter",
                                        "event Create or edit custom counter"}));
}

TEST(CustomCounterDetailViewController, RowsFollowTheTrackedTypesAndDirection) {
    const struct {
        bool cellular, wifi;
        std::int32_t direction;
        const char *tracks;
        std::vector<std::string> dataRows; // id|title|detail|height|lines
    } cases[] = {
        {false,
         true,
         1,
         "tracks sent Wi-Fi data",
         {"CellWithWifiDataInfo|Wi-Fi|0.25 MB sent|60|2"}},
        {true,
         true,
         3,
         "tracks sent & received, cellular (3G/Edge/GPRS) and Wi-Fi data",
         {"CellWithCellDataInfo|Cellular| 2.00 MB received\n 1.00 MB sent\n 3.00 MB total|90|3",
          "CellWithWifiDataInfo|Wi-Fi| 0.50 MB received\n 0.25 MB sent\n 0.75 MB total|90|3"}},
        {true,
         false,
         2,
         "tracks received cellular (3G/Eduge/GPRS) data",
         {"CellWithCellDataInfo|Cellular| 2.00 MB received|60|2"}},
        {false, false, 3, "tracks sent & received, ", {"CellWithDataInfo|No data tracked||90|1"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tracks);
        test::CounterScreens s;
        CustomCounterDetailViewController detail(s.services(), s.screens(), s.navigator);
        detail.customCounter = sampleCounter(c.cellular, c.wifi, c.direction);
        detail.displayDataUnit = "MB";
        detail.viewDidLoad();
        const TableCell name = detail.cellForRowAtIndexPath({0, 0});
        EXPECT_EQ(name.detail, c.tracks);
        EXPECT_EQ(name.height, 70);
        EXPECT_EQ(detail.cellForRowAtIndexPath({1, 0}).height, 60);
        std::vector<std::string> rows;
        for (int r = 0; r < detail.numberOfRowsInSection(2); ++r) {
            const TableCell cell = detail.cellForRowAtIndexPath({2, r});
            EXPECT_EQ(cell.style, "subtitle");
            rows.push_back(cell.reuseIdentifier + "|" + cell.title + "|" + cell.detail + "|" +
                           std::to_string(static_cast<int>(cell.height)) + "|" +
                           std::to_string(cell.detailLines));
        }
        EXPECT_EQ(rows, c.dataRows);
    }
}

TEST(CustomCounterDetailViewController, ShowsSavedEditsButNotCancelledOnes) {
    test::CounterScreens s;
    s.add("Trip", 100, 200);
    List list(s);
    list.screen.perform("didSelectRow", rowArgument(0));
    CustomCounterDetailViewController &detail = *list.screen.detail();

    detail.perform("showEditView", Value());
    ASSERT_FALSE(detail.editor()->isAddMode);
    detail.editor()->didSelectRowAtIndexPath({0, 0});
    detail.editor()->textFieldViewController()->setText("Work");
    detail.editor()->textFieldViewController()->done();
    detail.editor()->saveAndDismissView();
    EXPECT_EQ(detail.customCounter.name, "Work");

    detail.perform("showEditView", Value());
    detail.editor()->resetCounter();
    s.presenter.answer(1);
    detail.editor()->cancelAndDismissView();
    EXPECT_EQ(detail.customCounter.cellularDataTotal, 300);
    EXPECT_EQ(s.storedNamed("Work").cellularDataTotal, 300);

    detail.perform("dismissView", Value());
    EXPECT_EQ(s.navigator.top(), &list.screen);
    EXPECT_EQ(list.names(), std::vector<std::string>{"Work"});
    EXPECT_EQ(s.navigator.misplacedDismissals, 0);
    EXPECT_EQ(s.analytics.entries()[1], "event Viewing custom counter details");
}

} // namespace
} // namespace byteward
