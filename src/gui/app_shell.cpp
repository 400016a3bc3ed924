// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/app_shell.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <iostream>

namespace byteward::gui {

AppShell::AppShell(AppController::Options options) : app_(platform_, options) {
    app_.launch();
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &app_, [this] { app_.terminate(); });
}

bool AppShell::load() {
    engine_.load(QUrl(QStringLiteral("qrc:/Byteward/qml/Main.qml")));
    if (engine_.rootObjects().isEmpty()) {
        std::cerr << "byteward: the window could not be made\n";
        return false;
    }
    window_ = qobject_cast<QQuickWindow *>(engine_.rootObjects().first());
    return window_ != nullptr;
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
