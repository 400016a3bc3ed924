// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "gui/screen_adapter.h"
#include "screens/kit/navigator.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>
#include <map>
#include <memory>

namespace byteward::gui {

// Turns the screens' navigation into page stacks: a pushed screen goes onto the current tab's
// stack, a presented one over the whole window; each gets its own adapter for as long as it shows.
class QmlNavigator : public QObject, public Navigator {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The navigator comes from the application")

  public:
    explicit QmlNavigator(Log &log, QObject *parent = nullptr) : QObject(parent), log_(log) {}

    void push(const std::string &page, Screen &screen) override;
    void presentModal(const std::string &page, Screen &screen) override;
    void dismiss(Screen &screen) override;

    // The page was taken away by the user (back button): forget its adapter.
    Q_INVOKABLE void pageClosed(byteward::gui::ScreenAdapter *adapter);
    // Every screen it shows reads itself afresh.
    void refreshAll();
    // Whether any screen is pushed or presented over a tab.
    bool showsAny() const { return !adapters_.empty(); }

  signals:
    void pushRequested(const QString &page, byteward::gui::ScreenAdapter *screen);
    void modalRequested(const QString &page, byteward::gui::ScreenAdapter *screen);
    void dismissRequested(byteward::gui::ScreenAdapter *screen);
    // The screen below the closed one shows again and should read everything afresh.
    void uncovered();

  private:
    ScreenAdapter *adapterFor(Screen &screen);

    Log &log_;
    std::map<Screen *, std::unique_ptr<ScreenAdapter>> adapters_;
};

} // namespace byteward::gui
