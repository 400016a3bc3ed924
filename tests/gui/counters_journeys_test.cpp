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

TEST_F(CountersJourneys, AddMovePauseDeleteAndOpenTheDetails) {
    startOnCounters();
    addCounter(QStringLiteral("Roaming"));
    addCounter(QStringLiteral("Tethering"));
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")),
              (QStringList{QStringLiteral("Roaming"), QStringLiteral("Tethering")}));

    click(QStringLiteral("editButton"));
    click(find(QStringLiteral("moveDownButton"), find(QStringLiteral("counterRow0"))));
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")),
              (QStringList{QStringLiteral("Tethering"), QStringLiteral("Roaming")}));
    click(find(QStringLiteral("deleteButton"), find(QStringLiteral("counterRow0"))));
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")), QStringList{QStringLiteral("Roaming")});
    click(QStringLiteral("editButton"));

    // Paused with its switch; what is stored is what the screen shows.
    click(find(QStringLiteral("cellSwitch"), find(QStringLiteral("counterRow0"))));
    const QVariantMap row =
        app().counters()->sections().value(0).toMap().value("rows").toList().value(0).toMap();
    EXPECT_FALSE(row.value("on").toBool());
    EXPECT_FALSE(find(QStringLiteral("cellSwitch"), find(QStringLiteral("counterRow0")))
                     ->property("checked")
                     .toBool());

    click(QStringLiteral("counterRow0"));
    click(QStringLiteral("backButton"));
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")), QStringList{QStringLiteral("Roaming")});
}

TEST_F(CountersJourneys, CancellingAnEditKeepsWhatWasStored) {
    startOnCounters();
    addCounter(QStringLiteral("Roaming"));
    click(QStringLiteral("editButton"));
    click(QStringLiteral("counterRow0"));
    clickText(QStringLiteral("Name"));
    replaceText(QStringLiteral("Abroad"));
    click(QStringLiteral("doneButton"));
    EXPECT_EQ(rowDetail(QStringLiteral("Name")), QStringLiteral("Abroad"));
    click(QStringLiteral("cancelButton"));
    expectEditorClosed();
    EXPECT_EQ(rowTitles(QStringLiteral("counterRow")), QStringList{QStringLiteral("Roaming")});
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
    click(QStringLiteral("counterRow0"));
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
    click(QStringLiteral("counterRow0"));
    EXPECT_EQ(rowDetail(QStringLiteral("Received")),
              GetParam().save ? QStringLiteral("0.00 MB") : before);
    click(QStringLiteral("cancelButton"));
}

INSTANTIATE_TEST_SUITE_P(Endings, CounterResetJourneys,
                         ::testing::Values(ResetCase{"Save", true}, ResetCase{"Cancel", false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace byteward::test
