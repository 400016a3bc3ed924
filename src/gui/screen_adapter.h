#pragma once

#include "platform/log.h"
#include "screens/kit/screen.h"

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace byteward::gui {

// Hands one headless screen to QML: its labels, table sections and extra values as plain
// variants, and its actions by name. No rule of the screen lives here. QML hears of a change
// once the event that caused it has been handled: rebuilding a list while one of its rows is
// still handling a click would destroy the row under its own handler.
class ScreenAdapter : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens come from the application")
    Q_PROPERTY(QVariantMap labels READ labels NOTIFY changed)
    Q_PROPERTY(QVariantList sections READ sections NOTIFY changed)
    Q_PROPERTY(QVariantMap values READ values NOTIFY changed)

  public:
    ScreenAdapter(Screen *screen, Log &log, QObject *parent = nullptr);

    QVariantMap labels() const;
    QVariantList sections() const;
    QVariantMap values() const;

    // Runs the screen's action and tells QML to read everything again. False when the screen
    // has no such action or the action failed (it is logged; the app goes on).
    Q_INVOKABLE bool perform(const QString &action, const QVariant &argument = {});
    // For changes made elsewhere (another screen, a timer).
    Q_INVOKABLE void refresh();
    Screen *screen() const { return screen_; }

    static QVariant toVariant(const Value &value);
    static Value fromVariant(const QVariant &variant);

  signals:
    void changed();

  private:
    QVariant read(const std::function<Value()> &part) const;

    Screen *screen_;
    Log &log_;
    bool changePending_ = false;
};

} // namespace byteward::gui
