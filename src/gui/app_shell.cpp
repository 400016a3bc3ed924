// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/app_shell.h"

#include "gui/app_icon_provider.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <chrono>
#include <iostream>

namespace byteward::gui {

namespace {
// Long enough for any first frame, short enough that a window started hidden still samples.
constexpr std::chrono::seconds kLaunchAnyway{2};
} // namespace

AppShell::AppShell(AppController::Options options) : app_(platform_, options) {
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &app_, [this] { app_.terminate(); });
}

bool AppShell::load(Launch when) {
    if (when == Launch::BeforeWindow) app_.launch();
    engine_.addImageProvider(QStringLiteral("appicon"), new AppIconProvider);
    engine_.load(QUrl(QStringLiteral("qrc:/Byteward/qml/Main.qml")));
    if (engine_.rootObjects().isEmpty()) {
        std::cerr << "byteward: the window could not be made\n";
        return false;
    }
    window_ = qobject_cast<QQuickWindow *>(engine_.rootObjects().first());
    if (window_ == nullptr) return false;
    if (!app_.launched()) {
        auto launch = [this] {
            launchAnyway_.stop();
            QObject::disconnect(firstFrame_);
            if (!app_.launched()) app_.launch();
        };
        // The frame is swapped on the render thread: the launch runs on this one, after it.
        firstFrame_ = QObject::connect(window_, &QQuickWindow::frameSwapped, &app_, launch,
                                       Qt::QueuedConnection);
        launchAnyway_.setSingleShot(true);
        QObject::connect(&launchAnyway_, &QTimer::timeout, &app_, launch);
        launchAnyway_.start(kLaunchAnyway);
    }
    return true;
}

namespace {
QmlProblems *counting = nullptr;
}

QmlProblems::QmlProblems() {
    counting = this;
    previous_ = qInstallMessageHandler(&QmlProblems::handle);
}

QmlProblems::~QmlProblems() {
    qInstallMessageHandler(previous_);
    counting = nullptr;
}

void QmlProblems::handle(QtMsgType type, const QMessageLogContext &context,
                         const QString &message) {
    const bool fromQml = (context.file != nullptr && QByteArray(context.file).contains(".qml")) ||
                         QByteArray(context.category).startsWith("qt.qml") ||
                         message.contains(QLatin1String(".qml")) ||
                         message.contains(QLatin1String("qrc:/"));
    if (counting == nullptr) return;
    if (type != QtDebugMsg && type != QtInfoMsg && fromQml) counting->messages_.append(message);
    if (counting->previous_ != nullptr) counting->previous_(type, context, message);
}

} // namespace byteward::gui
