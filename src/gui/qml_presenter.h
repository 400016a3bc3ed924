#pragma once

#include "app/presenter.h"

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <map>

namespace byteward::gui {

// Shows the screens' alerts as QML dialogs, one at a time, and sends the answer back.
class QmlPresenter : public QObject, public Presenter {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The presenter comes from the application")
    Q_PROPERTY(QVariantMap current READ current NOTIFY currentChanged)

  public:
    using QObject::QObject;

    void presentAlert(const Alert &alert, AlertDelegate *delegate) override;
    void openUrl(const std::string &url) override;

    // The alert on screen: {title, message, buttons (cancel first when there is one), textInput,
    // text, hasCancel}; empty when none.
    QVariantMap current() const;
    // The user pressed the button at this index of "buttons"; `text` is the text field's content.
    Q_INVOKABLE void answer(int buttonIndex, const QString &text);
    int pending() const { return static_cast<int>(queue_.size()); }

  signals:
    void currentChanged();

  private:
    struct Pending {
        Alert alert;
        AlertDelegate *delegate;
    };
    std::vector<Pending> queue_;
};

} // namespace byteward::gui
