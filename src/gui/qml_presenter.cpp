// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/qml_presenter.h"

#include "gui/boundary.h"

#include <QProcess>

namespace byteward::gui {

void QmlPresenter::presentAlert(const Alert &alert, AlertDelegate *delegate) {
    queue_.push_back({alert, delegate});
    if (queue_.size() == 1 && !answering_) emit currentChanged();
}

void QmlPresenter::openUrl(const std::string &url) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(url)});
}

QVariantMap QmlPresenter::current() const {
    if (queue_.empty() || answering_) return {};
    const Alert &alert = queue_.front().alert;
    QStringList buttons;
    if (!alert.cancelButton.empty()) buttons.append(QString::fromStdString(alert.cancelButton));
    int destructive = -1;
    for (const auto &other : alert.otherButtons) {
        if (!alert.destructiveButton.empty() && other == alert.destructiveButton)
            destructive = static_cast<int>(buttons.size());
        buttons.append(QString::fromStdString(other));
    }
    return {{"title", QString::fromStdString(alert.title)},
            {"message", QString::fromStdString(alert.message).trimmed()},
            {"buttons", buttons},
            {"hasCancel", !alert.cancelButton.empty()},
            {"destructive", destructive},
            {"actionSheet", alert.actionSheet},
            {"textInput", alert.textInput},
            {"keyboard", QString::fromStdString(alert.keyboard)},
            {"text", QString::fromStdString(alert.text)}};
}

void QmlPresenter::answer(int buttonIndex, const QString &text) {
    if (queue_.empty() || answering_) return;
    Pending answered = queue_.front();
    queue_.pop_front();
    answered.alert.text = text.toStdString();
    // Button numbers count the cancel button as 0 and the others from 1, whether or not there is
    // a cancel button to show.
    const int index = answered.alert.cancelButton.empty() ? buttonIndex + 1 : buttonIndex;
    answering_ = true;
    emit currentChanged();
    QMetaObject::invokeMethod(
        this, [this, answered = std::move(answered), index] { deliver(answered, index); },
        Qt::QueuedConnection);
}

void QmlPresenter::deliver(Pending reply, int buttonIndex) {
    if (reply.delegate != nullptr)
        guarded(log_, "Answering \"" + reply.alert.title + "\"",
                [&] { reply.delegate->alertView(reply.alert, buttonIndex); });
    answering_ = false;
    emit answered();
    // The next alert in line, which may be one this answer raised.
    if (!queue_.empty()) emit currentChanged();
}

} // namespace byteward::gui
