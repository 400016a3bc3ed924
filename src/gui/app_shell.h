// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "gui/app_controller.h"
#include "lifecycle/platform_services.h"

#include <QQmlApplicationEngine>
#include <QTimer>
#include <QStringList>

class QQuickWindow;

namespace byteward::gui {

// The app as `byteward` starts it: the platform services, the window loaded from the QML module,
// the controller launched, quitting taking the last sample. The journey tests start it the same
// way.
class AppShell {
  public:
    enum class Launch {
        // Once the first frame is on screen: the window appears before any stored file is read.
        AfterFirstFrame,
        // Before the window is made, for pictures whose first frame must hold the figures.
        BeforeWindow,
    };

    // Throws std::runtime_error when the environment names a clock that is not a date.
    explicit AppShell(AppController::Options options);
    AppShell(const AppShell &) = delete;
    AppShell &operator=(const AppShell &) = delete;

    // Loads the window and arranges the launch; false (and a message on standard error) when the
    // window cannot be made.
    bool load(Launch when = Launch::AfterFirstFrame);
    QQuickWindow *window() const { return window_; }
    AppController &app() { return app_; }
    PlatformServices &platform() { return platform_; }
    QQmlApplicationEngine &engine() { return engine_; }

  private:
    PlatformServices platform_;
    AppController app_;
    QQmlApplicationEngine engine_;
    QQuickWindow *window_ = nullptr;
    // Launches should no frame come (a window that starts hidden, a platform without frames).
    QTimer launchAnyway_;
    QMetaObject::Connection firstFrame_;
};

// Counts the QML warnings and errors that appear while it lives; the platform's own chatter (no
// runtime directory, no display) is not the interface's fault. One at a time.
class QmlProblems {
  public:
    QmlProblems();
    ~QmlProblems();
    QmlProblems(const QmlProblems &) = delete;
    QmlProblems &operator=(const QmlProblems &) = delete;

    int count() const { return static_cast<int>(messages_.size()); }
    const QStringList &messages() const { return messages_; }
    void clear() { messages_.clear(); }

  private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler previous_ = nullptr;
    QStringList messages_;
};

} // namespace byteward::gui
