#pragma once

#include "app/screen.h"

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace byteward::gui {

// Hands one headless screen to QML: its labels, table sections and extra values as plain
// variants, and its actions by name. No rule of the screen lives here.
class ScreenAdapter : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens come from the application")
    Q_PROPERTY(QVariantMap labels READ labels NOTIFY changed)
    Q_PROPERTY(QVariantList sections READ sections NOTIFY changed)
    Q_PROPERTY(QVariantMap values READ values NOTIFY changed)

  public:
    explicit ScreenAdapter(Screen *screen, QObject *parent = nullptr)
        : QObject(parent), screen_(screen) {}

    QVariantMap labels() const;
    QVariantList sections() const;
    QVariantMap values() const;

    // Runs the screen's action and tells QML to read everything again.
    Q_INVOKABLE bool perform(const QString &action, const QVariant &argument = {});
    // For changes made elsewhere (another screen, a timer).
    Q_INVOKABLE void refresh() { emit changed(); }

    static QVariant toVariant(const Value &value);
    static Value fromVariant(const QVariant &variant);

  signals:
    void changed();

  private:
    Screen *screen_;
};

} // namespace byteward::gui
