// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Draws an SVG icon into a PNG of a given size, at build time: the window's first frame shows the
// tab bar's icons, and pictures spare it loading the SVG renderer and the image-format plugins.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <iostream>

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    bool sized = false;
    const int size = args.size() == 4 ? args[3].toInt(&sized) : 0;
    if (!sized || size <= 0 || size > 1024) {
        std::cerr << "usage: byteward-render-icon INPUT.svg OUTPUT.png SIZE\n";
        return 2;
    }
    QSvgRenderer svg(args[1]);
    if (!svg.isValid()) {
        std::cerr << "byteward-render-icon: " << args[1].toStdString() << " is not an SVG image\n";
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    if (!image.save(args[2], "PNG")) {
        std::cerr << "byteward-render-icon: cannot write " << args[2].toStdString() << '\n';
        return 1;
    }
    return 0;
}
