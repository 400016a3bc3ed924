// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace byteward::gui {

// One label of a screen as QML binds to it. Its text and its hidden flag tell of their own
// changes, so a binding to one label wakes only when that label changes.
class ScreenLabel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Labels come from a screen")
    Q_PROPERTY(QString text READ text NOTIFY textChanged)
    Q_PROPERTY(bool hidden READ hidden NOTIFY hiddenChanged)

  public:
    using QObject::QObject;

    QString text() const { return text_; }
    // A label the screen does not have reads as empty and hidden.
    bool hidden() const { return hidden_; }

    void set(const QString &text, bool hidden) {
        const bool textChanges = text != text_;
        const bool hiddenChanges = hidden != hidden_;
        text_ = text;
        hidden_ = hidden;
        if (textChanges) emit textChanged();
        if (hiddenChanges) emit hiddenChanged();
    }

  signals:
    void textChanged();
    void hiddenChanged();

  private:
    QString text_;
    bool hidden_ = true;
};

} // namespace byteward::gui
