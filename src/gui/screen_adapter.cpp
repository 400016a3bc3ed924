#include "gui/screen_adapter.h"

#include <QDateTime>

namespace byteward::gui {

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

QVariantMap ScreenAdapter::labels() const {
    return toVariant(Value(screen_->labels())).toMap();
}

QVariantList ScreenAdapter::sections() const {
    return toVariant(Value(screen_->sections())).toList();
}

QVariantMap ScreenAdapter::values() const {
    return toVariant(Value(screen_->values())).toMap();
}

bool ScreenAdapter::perform(const QString &action, const QVariant &argument) {
    // A JavaScript object arrives wrapped; unwrap it to plain variants.
    QVariant plain = argument;
    if (plain.canConvert<QVariantMap>() && plain.typeId() != QMetaType::QString &&
        !plain.canConvert<double>())
        plain = plain.toMap();
    const bool done = screen_->perform(action.toStdString(), fromVariant(plain));
    emit changed();
    return done;
}

} // namespace byteward::gui
