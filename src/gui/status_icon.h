// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "gui/app_controller.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <string>

class QWindow;

namespace byteward::gui {

// The usage in the desktop's status area (a StatusNotifierItem where the desktop hosts them): a
// dot in the usage bar's colour, the period's usage as its tooltip, Open and Quit in its menu.
// Follows the application's status item; does nothing where the desktop has no status area.
class StatusIcon : public QObject {
    Q_OBJECT

  public:
    StatusIcon(AppController &app, QWindow &window);

  private:
    void update();
    // Brings the window back to the front, from minimised or behind others.
    void open();

    AppController &app_;
    QWindow &window_;
    QMenu menu_;
    QSystemTrayIcon tray_;
    std::string colour_; // of the icon last made, "#rrggbb"
};

} // namespace byteward::gui
