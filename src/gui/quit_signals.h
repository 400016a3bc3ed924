// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace byteward::gui {

// SIGTERM (a session logging out), SIGINT and SIGHUP end the app as quitting from the window
// does: the event loop ends, the last sample is taken and the app exits 0. A handler may only
// write to a pipe; the loop reads it and quits.
class QuitOnSignals : public QObject {
    Q_OBJECT

  public:
    explicit QuitOnSignals(QObject *parent = nullptr);
    ~QuitOnSignals() override;
    QuitOnSignals(const QuitOnSignals &) = delete;
    QuitOnSignals &operator=(const QuitOnSignals &) = delete;

    // The signal that asked to quit, 0 while none has.
    static int received();

  private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace byteward::gui
