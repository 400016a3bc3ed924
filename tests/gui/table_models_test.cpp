// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The adapter's list models and labels: a new set of rows tells views only of the rows that
// changed, came or went, the delegates of the others stay, and a label tells only of its own
// change.
#include "gui/screen_adapter.h"
#include "support/test_env.h"

#include <QAbstractItemModelTester>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace byteward::test {
namespace {

using gui::RowModel;

// Rows named by letter; a prime marks a row whose detail changed ("B'").
QList<QVariantMap> rowsOf(const QStringList &names) {
    QList<QVariantMap> rows;
    for (const QString &name : names) {
        const QString title = name.left(1);
        rows.append(
            {{QStringLiteral("title"), title},
             {QStringLiteral("detail"),
              name.endsWith(QLatin1Char('\'')) ? QStringLiteral("new") : QStringLiteral("old")}});
    }
    return rows;
}

struct Range {
    int first;
    int last;
    bool operator==(const Range &) const = default;
};

void PrintTo(const Range &range, std::ostream *out) {
    *out << '[' << range.first << ", " << range.last << ']';
}

// What a view heard of one new set of rows.
struct Heard {
    std::vector<int> changed;
    std::vector<Range> inserted;
    std::vector<Range> removed;
    int resets = 0;
};

Heard setRowsAndListen(RowModel &model, const QList<QVariantMap> &rows) {
    Heard heard;
    const auto changed = QObject::connect(&model, &RowModel::dataChanged,
                                          [&](const QModelIndex &from, const QModelIndex &to) {
                                              for (int row = from.row(); row <= to.row(); ++row)
                                                  heard.changed.push_back(row);
                                          });
    const auto inserted = QObject::connect(&model, &RowModel::rowsInserted,
                                           [&](const QModelIndex &, int first, int last) {
                                               heard.inserted.push_back({first, last});
                                           });
    const auto removed = QObject::connect(&model, &RowModel::rowsRemoved,
                                          [&](const QModelIndex &, int first, int last) {
                                              heard.removed.push_back({first, last});
                                          });
    const auto reset = QObject::connect(&model, &RowModel::modelReset, [&] { ++heard.resets; });
    model.setRows(rows);
    for (const auto &connection : {changed, inserted, removed, reset})
        QObject::disconnect(connection);
    return heard;
}

struct RowsCase {
    const char *name;
    QStringList before;
    QStringList after;
    std::vector<int> changed;
    std::vector<Range> inserted;
    std::vector<Range> removed;
};

class RowModelUpdates : public ::testing::TestWithParam<RowsCase> {};

TEST_P(RowModelUpdates, OnlyTheRowsThatChangedCameOrWentAreTold) {
    const RowsCase &c = GetParam();
    RowModel model;
    // Stops the run on any signal that does not agree with the model's contents.
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRows(rowsOf(c.before));

    const Heard heard = setRowsAndListen(model, rowsOf(c.after));

    EXPECT_EQ(heard.changed, c.changed);
    EXPECT_EQ(heard.inserted, c.inserted);
    EXPECT_EQ(heard.removed, c.removed);
    EXPECT_EQ(heard.resets, 0);
    ASSERT_EQ(model.count(), c.after.size());
    for (int row = 0; row < model.count(); ++row)
        EXPECT_EQ(model.get(row), rowsOf(c.after).at(row)) << "row " << row;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RowModelUpdates,
    ::testing::Values(
        RowsCase{"TheSameRowsTellNothing", {"A", "B"}, {"A", "B"}, {}, {}, {}},
        RowsCase{"AChangedRowChangesInPlace", {"A", "B", "C"}, {"A", "B'", "C"}, {1}, {}, {}},
        RowsCase{"ARowAddedInTheMiddleIsTheOnlyOneInserted",
                 {"A", "B", "C"},
                 {"A", "X", "B", "C"},
                 {},
                 {{1, 1}},
                 {}},
        RowsCase{"ARowDeletedInTheMiddleIsTheOnlyOneRemoved",
                 {"A", "B", "C"},
                 {"A", "C"},
                 {},
                 {},
                 {{1, 1}}},
        RowsCase{"RowsAddedAtTheEndAreInserted", {"A"}, {"A", "B", "C"}, {}, {{1, 2}}, {}},
        RowsCase{"AFirstRowAddedIsInserted", {"B"}, {"A", "B"}, {}, {{0, 0}}, {}},
        RowsCase{"AnEmptiedListRemovesEveryRow", {"A", "B"}, {}, {}, {}, {{0, 1}}},
        RowsCase{"AFilledListInsertsEveryRow", {}, {"A", "B"}, {}, {{0, 1}}, {}},
        RowsCase{"ChangedAndDeletedTogetherTellEachOnce",
                 {"A", "B", "C", "D"},
                 {"A'", "B", "D"},
                 {0},
                 {},
                 {{2, 2}}},
        RowsCase{"TwoRowsSwappedChangeInPlace",
                 {"A", "B", "C", "D"},
                 {"A", "C", "B", "D"},
                 {1, 2},
                 {},
                 {}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RowModelRoles, AFieldARowLacksReadsAsAnEmptyValueOfItsType) {
    RowModel model;
    model.setRows(
        {{{QStringLiteral("title"), QStringLiteral("Days")}, {QStringLiteral("height"), 60LL}}});
    const QHash<int, QByteArray> names = model.roleNames();
    auto role = [&](const char *name) { return names.key(name, -1); };
    const QModelIndex first = model.index(0);
    EXPECT_EQ(model.data(first, role("title")), QVariant(QStringLiteral("Days")));
    EXPECT_EQ(model.data(first, role("rowHeight")).toDouble(), 60.0);
    EXPECT_EQ(model.data(first, role("detail")), QVariant(QString()));
    EXPECT_EQ(model.data(first, role("on")), QVariant(false));
    EXPECT_EQ(model.data(first, role("cell")).toMap().value(QStringLiteral("title")),
              QStringLiteral("Days"));
}

// A Repeater over the model, as the pages lay out their rows.
class RowDelegates : public ::testing::Test {
  protected:
    void SetUp() override {
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQuick
            Item {
                property alias model: repeater.model
                Repeater {
                    id: repeater
                    objectName: "repeater"
                    Item { required property string title; required property string detail }
                }
            })",
                          QUrl());
        root.reset(qobject_cast<QQuickItem *>(component.create()));
        ASSERT_NE(root, nullptr) << component.errorString().toStdString();
        root->setProperty("model", QVariant::fromValue(&model));
    }
    std::vector<QQuickItem *> delegates() const {
        QObject *repeater = root->findChild<QObject *>(QStringLiteral("repeater"));
        std::vector<QQuickItem *> items;
        for (int i = 0; i < repeater->property("count").toInt(); ++i) {
            QQuickItem *item = nullptr;
            QMetaObject::invokeMethod(repeater, "itemAt", Q_RETURN_ARG(QQuickItem *, item),
                                      Q_ARG(int, i));
            items.push_back(item);
        }
        return items;
    }

    QQmlEngine engine;
    RowModel model;
    std::unique_ptr<QQuickItem> root;
};

TEST_F(RowDelegates, ARowChangedInPlaceKeepsItsDelegateAndShowsTheNewValue) {
    model.setRows(rowsOf({"A", "B", "C"}));
    const auto before = delegates();
    model.setRows(rowsOf({"A", "B'", "C"}));
    EXPECT_EQ(delegates(), before);
    EXPECT_EQ(before.at(1)->property("detail").toString(), QStringLiteral("new"));
}

TEST_F(RowDelegates, AddingOrDeletingARowLeavesTheOtherDelegatesAlone) {
    model.setRows(rowsOf({"A", "B", "C"}));
    const auto before = delegates();
    model.setRows(rowsOf({"A", "X", "B", "C"}));
    const auto added = delegates();
    ASSERT_EQ(added.size(), 4U);
    EXPECT_EQ(added.at(0), before.at(0));
    EXPECT_EQ(added.at(2), before.at(1));
    EXPECT_EQ(added.at(3), before.at(2));
    EXPECT_EQ(added.at(1)->property("title").toString(), QStringLiteral("X"));

    model.setRows(rowsOf({"A", "C"}));
    EXPECT_EQ(delegates(), (std::vector<QQuickItem *>{before.at(0), before.at(2)}));
}

// A screen whose labels and rows a test sets.
class SettableScreen : public Screen {
  public:
    ValueDict labels() const override { return labelValues; }
    ValueArray sections() const override {
        ValueDict section;
        section.set("title", Value(std::string()));
        section.set("rows", Value(rows));
        return {Value(std::move(section))};
    }
    bool perform(const std::string &, const Value &) override { return false; }

    ValueDict labelValues;
    ValueArray rows;
};

Value titled(const std::string &title) {
    ValueDict row;
    row.set("title", Value(title));
    return Value(std::move(row));
}

TEST(ScreenAdapterUpdates, ALabelTellsOnlyOfItsOwnChangeAndAMissingOneIsHidden) {
    CapturingLog log;
    SettableScreen screen;
    screen.labelValues.set("lblTitle", labelValue("Cellular"));
    screen.labelValues.set("lblDays", labelValue("12"));
    gui::ScreenAdapter adapter(&screen, log);
    gui::ScreenLabel *title = adapter.label(QStringLiteral("lblTitle"));
    gui::ScreenLabel *days = adapter.label(QStringLiteral("lblDays"));
    EXPECT_EQ(days->text(), QStringLiteral("12"));
    EXPECT_FALSE(days->hidden());
    EXPECT_EQ(adapter.label(QStringLiteral("lblTitle")), title) << "one object per label";
    QSignalSpy titleText(title, &gui::ScreenLabel::textChanged);
    QSignalSpy daysText(days, &gui::ScreenLabel::textChanged);
    QSignalSpy daysHidden(days, &gui::ScreenLabel::hiddenChanged);

    screen.labelValues.set("lblDays", labelValue("11"));
    adapter.update();
    EXPECT_EQ(days->text(), QStringLiteral("11"));
    EXPECT_EQ(daysText.count(), 1);
    EXPECT_EQ(daysHidden.count(), 0);
    EXPECT_EQ(titleText.count(), 0);

    screen.labelValues = ValueDict{};
    adapter.update();
    EXPECT_EQ(title->text(), QString());
    EXPECT_TRUE(title->hidden());
    EXPECT_TRUE(adapter.label(QStringLiteral("lblNoSuchLabel"))->hidden());
}

TEST(ScreenAdapterUpdates, ARowTheScreenAddsIsInsertedIntoTheListShown) {
    CapturingLog log;
    SettableScreen screen;
    screen.rows = {titled("March"), titled("April")};
    gui::ScreenAdapter adapter(&screen, log);
    RowModel *rows = adapter.rows();
    ASSERT_EQ(rows->count(), 2);
    QSignalSpy inserted(rows, &RowModel::rowsInserted);
    QSignalSpy changed(rows, &RowModel::dataChanged);

    screen.rows = {titled("March"), titled("April"), titled("May")};
    adapter.update();
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.first().at(1).toInt(), 2);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(adapter.sections()->rowsOf(0), rows) << "the first section keeps its rows model";
}

} // namespace
} // namespace byteward::test
