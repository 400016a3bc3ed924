// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "gui/screen_label.h"
#include "gui/table_models.h"
#include "platform/log.h"
#include "screens/kit/screen.h"

#include <QHash>
#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

namespace byteward::gui {

// Hands one headless screen to QML. It keeps what the screen last showed (labels, table
// sections and rows, extra values) and, when the screen changes, tells QML only of what changed:
// one label's text, one row, the values. Actions go to the screen by name. No rule of the screen
// lives here. QML hears of a change made by an action once the event that caused it has been
// handled: removing a row while it is still handling a click would destroy it under its handler.
class ScreenAdapter : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Screens come from the application")
    Q_PROPERTY(byteward::gui::SectionModel *sections READ sections CONSTANT)
    Q_PROPERTY(byteward::gui::RowModel *rows READ rows CONSTANT)
    Q_PROPERTY(QVariantMap values READ values NOTIFY valuesChanged)

  public:
    // Reads the screen at once, so the first page that binds to it shows what it holds.
    ScreenAdapter(Screen *screen, Log &log, QObject *parent = nullptr);

    SectionModel *sections() { return &sections_; }
    // The first section's rows, for screens that show one plain list.
    RowModel *rows() { return sections_.rowsOf(0); }
    QVariantMap values() const { return values_; }
    // The label of that name; the same object for as long as the adapter lives, empty and
    // hidden while the screen has no such label.
    Q_INVOKABLE byteward::gui::ScreenLabel *label(const QString &name);

    // Runs the screen's action and reads the screen again shortly. False when the screen has no
    // such action or the action failed (it is logged; the app goes on).
    Q_INVOKABLE bool perform(const QString &action, const QVariant &argument = {});
    // For changes made elsewhere (another screen, a timer): reads the screen again shortly.
    Q_INVOKABLE void refresh();
    // Reads the screen now, for a page about to be made from it.
    void update();
    // The screen is going away before the adapter: nothing is read from it any more.
    void detach() { screen_ = nullptr; }
    Screen *screen() const { return screen_; }

    static QVariant toVariant(const Value &value);
    static Value fromVariant(const QVariant &variant);

  signals:
    void valuesChanged();
    // The screen was read again, whether or not anything QML shows changed.
    void updated();

  private:
    void updateLabels(const QVariantMap &labels);
    void updateSections(const QVariantList &sections);

    Screen *screen_;
    Log &log_;
    bool updatePending_ = false;
    QVariantMap labelValues_;
    QHash<QString, ScreenLabel *> labels_;
    SectionModel sections_{this};
    QVariantMap values_;
};

} // namespace byteward::gui
