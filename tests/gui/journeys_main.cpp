// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The journeys run in one application, as the app does: Qt Charts needs a QApplication.
#include <QApplication>
#include <QtQml/qqmlextensionplugin.h>
#include <clocale>
#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(BytewardPlugin)

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Byteward"));
    std::setlocale(LC_NUMERIC, "C");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
