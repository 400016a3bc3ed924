#include "gui/qml_presenter.h"

#include <QProcess>

namespace byteward::gui {

void QmlPresenter::presentAlert(const Alert &alert, AlertDelegate *delegate) {
    queue_.push_back({alert, delegate});
    if (queue_.size() == 1) emit currentChanged();
}

void QmlPresenter::openUrl(const std::string &url) {
    QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(url)});
}

QVariantMap QmlPresenter::current() const {
    if (queue_.empty()) return {};
    const Alert &alert = queue_.front().alert;
    QStringList buttons;
    if (!alert.cancelButton.empty()) buttons.append(QString::fromStdString(alert.cancelButton));
    for (const auto &other : alert.otherButtons)
        buttons.append(QString::fromStdString(other));
    return {{"title", QString::fromStdString(alert.title)},
            {"message", QString::fromStdString(alert.message).trimmed()},
            {"buttons", buttons},
            {"hasCancel", !alert.cancelButton.empty()},
            {"textInput", alert.textInput},
            {"text", QString::fromStdString(alert.text)}};
}

void QmlPresenter::answer(int buttonIndex, const QString &text) {
    if (queue_.empty()) return;
    Pending answered = queue_.front();
    queue_.erase(queue_.begin());
    answered.alert.text = text.toStdString();
    // Button numbers count the cancel button as 0 and the others from 1, whether or not there is
    // a cancel button to show.
    const int index = answered.alert.cancelButton.empty() ? buttonIndex + 1 : buttonIndex;
    emit currentChanged();
    if (answered.delegate != nullptr) answered.delegate->alertView(answered.alert, index);
}

} // namespace byteward::gui
