// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/log.h"
#include "screens/kit/presenter.h"

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <deque>

namespace byteward::gui {

// Shows the screens' alerts as QML dialogs, one at a time and in the order they came, and sends
// the answer back once the button's click has been handled: an answer often raises the next
// alert, and that must not replace the dialog's buttons while one of them is still in its click
// handler.
class QmlPresenter : public QObject, public Presenter {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The presenter comes from the application")
    Q_PROPERTY(QVariantMap current READ current NOTIFY currentChanged)

  public:
    explicit QmlPresenter(Log &log, QObject *parent = nullptr) : QObject(parent), log_(log) {}

    void presentAlert(const Alert &alert, AlertDelegate *delegate) override;
    void openUrl(const std::string &url) override;

    // The alert on screen: {title, message, buttons (cancel first when there is one), textInput,
    // text, hasCancel, destructive (the index of the destructive button, or -1), actionSheet};
    // empty when none.
    QVariantMap current() const;
    // The user pressed the button at this index of "buttons"; `text` is the text field's content.
    // The alert's delegate hears of it on the next turn of the event loop; further presses of the
    // same alert are ignored.
    Q_INVOKABLE void answer(int buttonIndex, const QString &text);
    int pending() const { return static_cast<int>(queue_.size()); }

  signals:
    void currentChanged();
    // An alert's delegate has handled its answer: what it changed may show on any screen.
    void answered();

  private:
    struct Pending {
        Alert alert;
        AlertDelegate *delegate;
    };
    void deliver(Pending reply, int buttonIndex);

    Log &log_;
    std::deque<Pending> queue_;
    bool answering_ = false;
};

} // namespace byteward::gui
