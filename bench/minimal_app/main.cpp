// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The yardstick for the app's start: a minimal Qt Quick application. With --first-frame it quits
// as soon as its first frame is on screen, as `byteward --first-frame` does. Built as
// minimal_controls it is a minimal Qt Quick Controls application in a QApplication, as the app
// must be for its chart.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#ifdef MINIMAL_CONTROLS
#include <QApplication>
#endif
#include <string>
#include <unistd.h>

namespace {

// Resident memory now, in KiB, from /proc/self/status.
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char **argv) {
    bool firstFrame = false;
    for (int i = 1; i < argc; ++i)
        firstFrame = firstFrame || std::strcmp(argv[i], "--first-frame") == 0;

#ifdef MINIMAL_CONTROLS
    QApplication application(argc, argv);
    const QUrl main(QStringLiteral("qrc:/MinimalQuick/Controls.qml"));
#else
    QGuiApplication application(argc, argv);
    const QUrl main(QStringLiteral("qrc:/MinimalQuick/Main.qml"));
#endif
    QQmlApplicationEngine engine;
    engine.load(main);
    if (engine.rootObjects().isEmpty()) return 1;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (firstFrame && window != nullptr) {
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [] {
                std::printf("first frame; resident %ld KiB\n", residentKiB());
                std::fflush(stdout);
                // Nothing to tear down: the time measured ends here.
                ::_exit(0);
            },
            Qt::DirectConnection);
    }
    return QGuiApplication::exec();
}
