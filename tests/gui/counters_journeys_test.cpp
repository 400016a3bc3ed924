// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Counters tab by pointer and keyboard: adding, naming, editing and cancelling, resetting
// then saving or cancelling, pausing, moving, deleting and opening a counter's details.
#include "gui/journey.h"

namespace byteward::test {
namespace {

class CountersJourneys : public Journey {
  protected:
    // Adds a counter named so through the editor, as a person does.
    void addCounter(const QString &name) {
        click(QStringLiteral("addButton"));
        clickText(QStringLiteral("Name"));
        QQuickItem *field = find(QStringLiteral("textField"));
        ASSERT_NE(field, nullptr);
        EXPECT_TRUE(field->hasActiveFocus());
        replaceText(name);
        click(QStringLiteral("doneButton"));
        EXPECT_EQ(rowDetail(QStringLiteral("Name")), name);
        click(QStringLiteral("saveButton"));
        expectEditorClosed();
    }
    void expectEditorClosed() {
        EXPECT_EQ(findOptional(QStringLiteral("saveButton")), nullptr) << "the editor is still up";
    }
    void startOnCounters() {
        skipGreetings();
        settingsOfAFirstStart();
        start();
        selectTab(2);
    }
};

QString row(int index) {
    return QStringLiteral("counterRow%1").arg(index);
}

TEST_F(CountersJourneys, AddMovePauseDeleteAndOpenTheDetails) {
    startOnCounters();
    const QStringList first = rowTitles(QStringLiteral("counterRow"));
    const int at = static_cast<int>(first.size());
    addCounter(QStringLiteral("Roaming"));
    addCounter(QStringLiteral("Tethering"));
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")),
              (first + QStringList{QStringLiteral("Roaming"), QStringLiteral("Tethering")}));

    click(QStringLiteral("editButton"));
    click(find(QStringLiteral("moveDownButton"), find(row(at))));
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")),
              (first + QStringList{QStringLiteral("Tethering"), QStringLiteral("Roaming")}));
    click(find(QStringLiteral("deleteButton"), find(row(at))));
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")), first + QStringList{QStringLiteral("Roaming")});
    click(QStringLiteral("editButton"));

    // Paused with its switch; what is stored is what the screen shows.
    click(find(QStringLiteral("cellSwitch"), find(row(at))));
    const QVariantMap stored = screenRows(*app().counters()).value(at).toMap();
    EXPECT_EQ(stored.value("title").toString(), QStringLiteral("Roaming"));
    EXPECT_FALSE(stored.value("on").toBool());
    EXPECT_FALSE(find(QStringLiteral("cellSwitch"), find(row(at)))->property("checked").toBool());

    click(row(at));
    EXPECT_NE(findOptional(QStringLiteral("backButton")), nullptr) << "no details";
    click(QStringLiteral("backButton"));
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")), first + QStringList{QStringLiteral("Roaming")});
}

TEST_F(CountersJourneys, CancellingAnEditKeepsWhatWasStored) {
    startOnCounters();
    const QStringList first = rowTitles(QStringLiteral("counterRow"));
    addCounter(QStringLiteral("Roaming"));
    click(QStringLiteral("editButton"));
    click(row(static_cast<int>(first.size())));
    clickText(QStringLiteral("Name"));
    replaceText(QStringLiteral("Abroad"));
    click(QStringLiteral("doneButton"));
    EXPECT_EQ(rowDetail(QStringLiteral("Name")), QStringLiteral("Abroad"));
    click(QStringLiteral("cancelButton"));
    expectEditorClosed();
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")), first + QStringList{QStringLiteral("Roaming")});
}

struct ResetCase {
    const char *name;
    bool save;
};

class CounterResetJourneys : public CountersJourneys,
                             public ::testing::WithParamInterface<ResetCase> {};

TEST_P(CounterResetJourneys, TheEditorShowsZeroAtOnceAndOnlySavingKeepsIt) {
    startOnCounters();
    addCounter(QStringLiteral("Roaming"));
    // Traffic for the counter, taken by the app's own sample.
    setCounters("wwan0", 1'000'000 + 3 * 1'048'576, 200'000);
    setCounters("wlan0", 5'000'000 + 3 * 1'048'576, 700'000);
    app().sample();
    settle();
    click(QStringLiteral("editButton"));
    const int at = static_cast<int>(rowTitles(QStringLiteral("counterRow")).indexOf(QStringLiteral("Roaming")));
    click(row(at));
    const QString before = rowDetail(QStringLiteral("Received"));
    ASSERT_NE(before, QStringLiteral("0.00 MB"));
    click(QStringLiteral("cellButton"));
    expectAlert(QString::fromUtf8("Reset data usage for this counter to zero?"));
    answer(QStringLiteral("Reset Counter"));
    expectNoAlert();
    EXPECT_EQ(rowDetail(QStringLiteral("Received")), QStringLiteral("0.00 MB"));
    click(GetParam().save ? QStringLiteral("saveButton") : QStringLiteral("cancelButton"));
    expectEditorClosed();
    // Opened again, it shows what is stored.
    click(row(at));
    EXPECT_EQ(rowDetail(QStringLiteral("Received")),
              GetParam().save ? QStringLiteral("0.00 MB") : before);
    click(QStringLiteral("cancelButton"));
}

INSTANTIATE_TEST_SUITE_P(Endings, CounterResetJourneys,
                         ::testing::Values(ResetCase{"Save", true}, ResetCase{"Cancel", false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace byteward::test
