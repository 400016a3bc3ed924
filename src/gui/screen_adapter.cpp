// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/screen_adapter.h"

#include "gui/boundary.h"

#include <QDateTime>
#include <QPointer>
#include <QQmlEngine>

namespace byteward::gui {

ScreenAdapter::ScreenAdapter(Screen *screen, Log &log, QObject *parent)
    : QObject(parent), screen_(screen), log_(log) {
    // The adapter may go before the screen: a page closed by the person.
    screen_->onChanged = [adapter = QPointer<ScreenAdapter>(this)] {
        if (adapter) adapter->refresh();
    };
    update();
}

void ScreenAdapter::refresh() {
    if (updatePending_) return;
    updatePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            updatePending_ = false;
            update();
        },
        Qt::QueuedConnection);
}

QVariant ScreenAdapter::toVariant(const Value &value) {
    if (value.isBool()) return value.boolValue();
    if (value.isInteger()) return static_cast<qlonglong>(value.integerValue());
    if (value.isReal()) return value.doubleValue();
    if (const std::string *text = value.asString()) return QString::fromStdString(*text);
    if (const Instant *date = value.asDate())
        return QDateTime::fromMSecsSinceEpoch(date->time_since_epoch().count() / 1000);
    if (const ValueArray *array = value.asArray()) {
        QVariantList list;
        for (const auto &item : *array)
            list.append(toVariant(item));
        return list;
    }
    if (const ValueDict *dict = value.asDict()) {
        QVariantMap map;
        for (const auto &[key, item] : *dict)
            map.insert(QString::fromStdString(key), toVariant(item));
        return map;
    }
    return {};
}

Value ScreenAdapter::fromVariant(const QVariant &variant) {
    switch (variant.typeId()) {
    case QMetaType::Bool:
        return Value(variant.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
        return Value(static_cast<long long>(variant.toLongLong()));
    case QMetaType::Double:
        return Value(variant.toDouble());
    case QMetaType::QVariantMap: {
        ValueDict dict;
        const QVariantMap map = variant.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            dict.set(it.key().toStdString(), fromVariant(it.value()));
        return Value(std::move(dict));
    }
    case QMetaType::QVariantList: {
        ValueArray array;
        for (const QVariant &item : variant.toList())
            array.push_back(fromVariant(item));
        return Value(std::move(array));
    }
    default:
        return Value(variant.toString().toStdString());
    }
}

// What the screen shows is computed from the stores; a part that cannot be read shows as
// nothing rather than ending the app.
void ScreenAdapter::update() {
    if (screen_ == nullptr) return;
    QVariant labels;
    QVariant sections;
    QVariant values;
    guarded(log_, "Reading a screen", [&] { labels = toVariant(Value(screen_->labels())); });
    guarded(log_, "Reading a screen", [&] { sections = toVariant(Value(screen_->sections())); });
    guarded(log_, "Reading a screen", [&] { values = toVariant(Value(screen_->values())); });
    updateLabels(labels.toMap());
    updateSections(sections.toList());
    if (values.toMap() != values_) {
        values_ = values.toMap();
        emit valuesChanged();
    }
    emit updated();
}

void ScreenAdapter::updateLabels(const QVariantMap &labels) {
    labelValues_ = labels;
    for (auto it = labels_.begin(); it != labels_.end(); ++it) {
        const QVariantMap label = labels.value(it.key()).toMap();
        it.value()->set(label.value(QStringLiteral("text")).toString(),
                        label.value(QStringLiteral("hidden"), true).toBool());
    }
}

void ScreenAdapter::updateSections(const QVariantList &sections) {
    QList<SectionModel::Section> next;
    next.reserve(sections.size());
    for (const QVariant &item : sections) {
        const QVariantMap section = item.toMap();
        QList<QVariantMap> rows;
        for (const QVariant &row : section.value(QStringLiteral("rows")).toList())
            rows.append(row.toMap());
        next.append({section.value(QStringLiteral("title")).toString(), std::move(rows)});
    }
    sections_.setSections(next);
}

ScreenLabel *ScreenAdapter::label(const QString &name) {
    ScreenLabel *&label = labels_[name];
    if (label == nullptr) {
        label = new ScreenLabel(this);
        QQmlEngine::setObjectOwnership(label, QQmlEngine::CppOwnership);
        const QVariantMap value = labelValues_.value(name).toMap();
        label->set(value.value(QStringLiteral("text")).toString(),
                   value.value(QStringLiteral("hidden"), true).toBool());
    }
    return label;
}

bool ScreenAdapter::perform(const QString &action, const QVariant &argument) {
    if (screen_ == nullptr) return false;
    // A JavaScript object arrives wrapped; unwrap it to plain variants.
    QVariant plain = argument;
    if (plain.canConvert<QVariantMap>() && plain.typeId() != QMetaType::QString &&
        !plain.canConvert<double>())
        plain = plain.toMap();
    // Stays false when the action failed.
    bool done = false;
    const std::string name = action.toStdString();
    guarded(log_, "The action " + name, [&] { done = screen_->perform(name, fromVariant(plain)); });
    refresh();
    return done;
}

} // namespace byteward::gui
