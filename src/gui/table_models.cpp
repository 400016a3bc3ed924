// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/table_models.h"

#include <QQmlEngine>
#include <algorithm>

namespace byteward::gui {

namespace {

struct RoleField {
    int role;
    const char *name; // the role's name
    const char *key;  // the row's field
    // What a delegate reads when the row has no such field: an empty value of the field's type.
    QVariant empty;
};

const std::vector<RoleField> &roleFields() {
    static const std::vector<RoleField> fields = {
        {RowModel::TitleRole, "title", "title", QString()},
        {RowModel::DetailRole, "detail", "detail", QString()},
        {RowModel::ValueRole, "value", "value", QString()},
        {RowModel::KeyRole, "key", "key", QString()},
        {RowModel::KindRole, "kind", "kind", QString()},
        {RowModel::OnRole, "on", "on", false},
        {RowModel::ImageRole, "image", "image", QString()},
        {RowModel::AccessoryRole, "accessory", "accessory", QString()},
        {RowModel::EditableRole, "editable", "editable", false},
        {RowModel::HeightRole, "rowHeight", "height", 0.0},
        {RowModel::ReuseIdentifierRole, "reuseIdentifier", "reuseIdentifier", QString()},
    };
    return fields;
}

const RoleField *fieldFor(int role) {
    for (const RoleField &field : roleFields())
        if (field.role == role) return &field;
    return nullptr;
}

QVariant fieldOf(const QVariantMap &row, const RoleField &field) {
    const QVariant value = row.value(QLatin1String(field.key));
    if (!value.isValid()) return field.empty;
    QVariant typed = value;
    // A number where text is expected still shows; a value of no use reads as empty.
    return typed.convert(field.empty.metaType()) ? typed : field.empty;
}

} // namespace

int RowModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant RowModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size()) return {};
    const QVariantMap &row = rows_.at(index.row());
    if (role == CellRole) return row;
    const RoleField *field = fieldFor(role);
    return field != nullptr ? fieldOf(row, *field) : QVariant();
}

QHash<int, QByteArray> RowModel::roleNames() const {
    QHash<int, QByteArray> names{{CellRole, "cell"}};
    for (const RoleField &field : roleFields())
        names.insert(field.role, field.name);
    return names;
}

QList<int> RowModel::changedRoles(const QVariantMap &before, const QVariantMap &after) const {
    QList<int> roles{CellRole};
    for (const RoleField &field : roleFields())
        if (fieldOf(before, field) != fieldOf(after, field)) roles.append(field.role);
    return roles;
}

// The rows alike at both ends stay; between them, rows at the same place change in place and
// the rest are removed or inserted, so a row added or deleted anywhere is the only one to come
// or go.
void RowModel::setRows(const QList<QVariantMap> &rows) {
    const qsizetype oldCount = rows_.size();
    const qsizetype newCount = rows.size();
    qsizetype head = 0;
    while (head < oldCount && head < newCount && rows_.at(head) == rows.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < oldCount - head && tail < newCount - head &&
           rows_.at(oldCount - 1 - tail) == rows.at(newCount - 1 - tail))
        ++tail;
    const qsizetype oldMiddle = oldCount - head - tail;
    const qsizetype newMiddle = newCount - head - tail;
    const qsizetype paired = std::min(oldMiddle, newMiddle);

    for (qsizetype i = head; i < head + paired; ++i) {
        if (rows_.at(i) == rows.at(i)) continue;
        const QList<int> roles = changedRoles(rows_.at(i), rows.at(i));
        rows_[i] = rows.at(i);
        const QModelIndex at = index(static_cast<int>(i));
        emit dataChanged(at, at, roles);
    }
    const int first = static_cast<int>(head + paired);
    if (oldMiddle > paired) {
        beginRemoveRows({}, first, static_cast<int>(head + oldMiddle - 1));
        rows_.remove(first, oldMiddle - paired);
        endRemoveRows();
    }
    if (newMiddle > paired) {
        beginInsertRows({}, first, static_cast<int>(head + newMiddle - 1));
        for (qsizetype i = first; i < head + newMiddle; ++i)
            rows_.insert(i, rows.at(i));
        endInsertRows();
    }
    if (oldCount != newCount) emit countChanged();
}

SectionModel::SectionModel(QObject *parent) : QAbstractListModel(parent) {
    rowModel(0);
}

int SectionModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant SectionModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= titles_.size()) return {};
    if (role == TitleRole) return titles_.at(index.row());
    if (role == RowsRole) return QVariant::fromValue(rowModels_.at(index.row()));
    return {};
}

QHash<int, QByteArray> SectionModel::roleNames() const {
    return {{TitleRole, "title"}, {RowsRole, "rows"}};
}

RowModel *SectionModel::rowsOf(int section) const {
    if (section == 0) return rowModels_.front();
    return section > 0 && section < count() ? rowModels_.at(section) : nullptr;
}

RowModel *SectionModel::rowModel(qsizetype section) {
    while (static_cast<qsizetype>(rowModels_.size()) <= section) {
        auto *rows = new RowModel(this);
        // Views hold these through properties; they live as long as this model.
        QQmlEngine::setObjectOwnership(rows, QQmlEngine::CppOwnership);
        rowModels_.push_back(rows);
    }
    return rowModels_.at(section);
}

void SectionModel::setSections(const QList<Section> &sections) {
    const qsizetype oldCount = titles_.size();
    const qsizetype newCount = sections.size();
    const qsizetype paired = std::min(oldCount, newCount);
    for (qsizetype i = 0; i < paired; ++i) {
        rowModel(i)->setRows(sections.at(i).rows);
        if (titles_.at(i) == sections.at(i).title) continue;
        titles_[i] = sections.at(i).title;
        const QModelIndex at = index(static_cast<int>(i));
        emit dataChanged(at, at, {TitleRole});
    }
    if (oldCount > paired) {
        beginRemoveRows({}, static_cast<int>(paired), static_cast<int>(oldCount - 1));
        titles_.resize(paired);
        endRemoveRows();
        // Emptied once no view shows them; a section that comes back to the place reuses one.
        for (qsizetype i = paired; i < oldCount; ++i)
            rowModel(i)->setRows({});
    }
    if (newCount > paired) {
        beginInsertRows({}, static_cast<int>(paired), static_cast<int>(newCount - 1));
        for (qsizetype i = paired; i < newCount; ++i) {
            titles_.append(sections.at(i).title);
            rowModel(i)->setRows(sections.at(i).rows);
        }
        endInsertRows();
    }
    if (oldCount != newCount) emit countChanged();
}

} // namespace byteward::gui
