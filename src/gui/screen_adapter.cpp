#include "gui/screen_adapter.h"

#include "gui/boundary.h"

#include <QDateTime>
#include <QPointer>

namespace byteward::gui {

ScreenAdapter::ScreenAdapter(Screen *screen, Log &log, QObject *parent)
    : QObject(parent), screen_(screen), log_(log) {
    // The adapter may go before the screen: a page closed by the person.
    screen_->onChanged = [adapter = QPointer<ScreenAdapter>(this)] {
        if (adapter) adapter->refresh();
    };
}

void ScreenAdapter::refresh() {
    if (changePending_) return;
    changePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            changePending_ = false;
            emit changed();
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

// What QML reads is computed from the stores; a failure shows as nothing rather than ending the
// app from inside a binding.
QVariant ScreenAdapter::read(const std::function<Value()> &part) const {
    QVariant out;
    guarded(log_, "Reading a screen", [&] { out = toVariant(part()); });
    return out;
}

QVariantMap ScreenAdapter::labels() const {
    return read([this] { return Value(screen_->labels()); }).toMap();
}

QVariantList ScreenAdapter::sections() const {
    return read([this] { return Value(screen_->sections()); }).toList();
}

QVariantMap ScreenAdapter::values() const {
    return read([this] { return Value(screen_->values()); }).toMap();
}

bool ScreenAdapter::perform(const QString &action, const QVariant &argument) {
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
