// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/data_lock.h"
#include "platform/log.h"

#include <exception>
#include <string>
#include <string_view>

namespace byteward::gui {

// How a call from Qt into our code ended.
enum class Outcome {
    Done,
    Busy,   // another process held the data lock; worth trying again shortly
    Failed, // logged; the app goes on with what it has
};

// Where Qt calls into our code (timer slots, QML actions, dialog answers, bus callbacks): what
// our code throws stops here and is logged, because an exception leaving a Qt slot ends the app.
template <class Work>
Outcome guarded(Log &log, std::string_view what, Work &&work) noexcept {
    try {
        work();
        return Outcome::Done;
    } catch (const LockTimeout &error) {
        try {
            log.line(std::string(what) + " postponed: " + error.what());
        } catch (...) {
        }
        return Outcome::Busy;
    } catch (const std::exception &error) {
        try {
            log.line(std::string(what) + " failed: " + error.what());
        } catch (...) {
        }
        return Outcome::Failed;
    } catch (...) {
        try {
            log.line(std::string(what) + " failed");
        } catch (...) {
        }
        return Outcome::Failed;
    }
}

} // namespace byteward::gui
