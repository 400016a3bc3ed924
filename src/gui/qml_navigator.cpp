// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/qml_navigator.h"

#include <QQmlEngine>

namespace byteward::gui {

ScreenAdapter *QmlNavigator::adapterFor(Screen &screen) {
    auto &adapter = adapters_[&screen];
    if (!adapter) {
        adapter = std::make_unique<ScreenAdapter>(&screen, log_, this);
        QQmlEngine::setObjectOwnership(adapter.get(), QQmlEngine::CppOwnership);
    }
    return adapter.get();
}

void QmlNavigator::push(const std::string &page, Screen &screen) {
    emit pushRequested(QString::fromStdString(page), adapterFor(screen));
}

void QmlNavigator::presentModal(const std::string &page, Screen &screen) {
    emit modalRequested(QString::fromStdString(page), adapterFor(screen));
}

void QmlNavigator::dismiss(Screen &screen) {
    const auto found = adapters_.find(&screen);
    if (found == adapters_.end()) return;
    emit dismissRequested(found->second.get());
    // The page lets go of its adapter when it is destroyed; keep it until then, reading nothing
    // from a screen that may go first.
    found->second->detach();
    found->second.release()->deleteLater();
    adapters_.erase(found);
    emit uncovered();
}

void QmlNavigator::refreshAll() {
    for (auto &[screen, adapter] : adapters_)
        adapter->refresh();
}

void QmlNavigator::pageClosed(ScreenAdapter *adapter) {
    for (auto it = adapters_.begin(); it != adapters_.end(); ++it) {
        if (it->second.get() == adapter) {
            it->second->detach();
            it->second.release()->deleteLater();
            adapters_.erase(it);
            emit uncovered();
            return;
        }
    }
}

} // namespace byteward::gui
