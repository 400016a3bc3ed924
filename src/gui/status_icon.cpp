// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/status_icon.h"

#include "platform/i18n.h"
#include "screens/kit/theme.h"

#include <QCoreApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QWindow>

namespace byteward::gui {

namespace {

// A filled dot with a dark rim, so it reads on light and dark panels alike; in the sizes panels
// ask for most.
QIcon dotIcon(const QColor &colour) {
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal rim = side / 12.0;
        painter.setPen(
            QPen(QColor(QString::fromStdString(toHex(BytewardColors::appBackgroundColor()))), rim));
        painter.setBrush(colour);
        painter.drawEllipse(QRectF(rim, rim, side - 2 * rim, side - 2 * rim));
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

StatusIcon::StatusIcon(AppController &app, QWindow &window) : app_(app), window_(window) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    connect(menu_.addAction(QString::fromUtf8(byteward::tr("Open"))), &QAction::triggered, this, &StatusIcon::open);
    connect(menu_.addAction(QString::fromUtf8(byteward::tr("Quit"))), &QAction::triggered, qApp,
            &QCoreApplication::quit, Qt::QueuedConnection);
    tray_.setContextMenu(&menu_);
    connect(&tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) open();
            });
    connect(&app_, &AppController::statusChanged, this, &StatusIcon::update);
    update();
}

void StatusIcon::update() {
    const std::optional<StatusItem> item = app_.statusItem();
    if (!item) return; // what it shows stays until it can be read again
    const std::string colour = toHex(item->colour);
    if (colour != colour_) {
        colour_ = colour;
        tray_.setIcon(dotIcon(QColor(QString::fromStdString(colour))));
    }
    if (const QString text = QString::fromStdString(item->toolTip); text != tray_.toolTip())
        tray_.setToolTip(text);
    tray_.setVisible(item->shown);
}

void StatusIcon::open() {
    if (window_.windowStates() & Qt::WindowMinimized)
        window_.showNormal();
    else
        window_.show();
    window_.raise();
    window_.requestActivate();
}

} // namespace byteward::gui
