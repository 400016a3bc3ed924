// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <vector>

namespace byteward::gui {

// The rows of one table section as a list model. Each row is the screen's own description of it
// (a plain map); the roles name the fields delegates bind to, with an empty value of the right
// type where a row has no such field. A row's height is the role "rowHeight", since an item's
// own height cannot be a delegate's required property. A new set of rows tells views only of the
// rows that changed, came or went, so the delegates of the others stay as they are.
class RowModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Rows come from a screen")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

  public:
    enum Role {
        CellRole = Qt::UserRole + 1, // the whole row, for views that lay out any table cell
        TitleRole,
        DetailRole,
        ValueRole,
        KeyRole,
        KindRole,
        OnRole,
        ImageRole,
        AccessoryRole,
        EditableRole,
        HeightRole,
        ReuseIdentifierRole,
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(rows_.size()); }
    // The row as the screen describes it; empty past the end.
    Q_INVOKABLE QVariantMap get(int row) const { return rows_.value(row); }
    void setRows(const QList<QVariantMap> &rows);

  signals:
    void countChanged();

  private:
    QList<int> changedRoles(const QVariantMap &before, const QVariantMap &after) const;

    QList<QVariantMap> rows_;
};

// A screen's table sections as a list model: each section's title and its rows, the rows a
// model of their own that lives as long as the section's place does.
class SectionModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Sections come from a screen")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

  public:
    enum Role { TitleRole = Qt::UserRole + 1, RowsRole };

    struct Section {
        QString title;
        QList<QVariantMap> rows;
    };

    explicit SectionModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return static_cast<int>(titles_.size()); }
    // The rows of a section; the first section's model exists even while there is none, for
    // screens that show one plain list.
    Q_INVOKABLE byteward::gui::RowModel *rowsOf(int section) const;
    // Sections keep their place: a section whose title changed says so, its rows follow the
    // rows' own rules, and sections past the old or new end come or go.
    void setSections(const QList<Section> &sections);

  signals:
    void countChanged();

  private:
    RowModel *rowModel(qsizetype section);

    QList<QString> titles_;
    // One per place a section ever had; index 0 always exists.
    std::vector<RowModel *> rowModels_;
};

} // namespace byteward::gui
