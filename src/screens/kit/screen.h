// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <functional>
#include <string>

namespace byteward {

// What one screen shows and does, as plain values, so a thin shell can bind to any screen the
// same way: labels by name ({"text", "hidden"}), table sections ([{"title", "rows"}]), extra
// values (bars, colours), and actions by name.
class Screen {
  public:
    virtual ~Screen() = default;
    virtual ValueDict labels() const = 0;
    virtual ValueArray sections() const = 0;
    virtual ValueDict values() const { return {}; }
    // Runs an action; false when the screen has no such action.
    virtual bool perform(const std::string &action, const Value &argument) = 0;

    // Set by whoever shows the screen; called when the screen changed on its own (a colour
    // announcement, a render), outside any action of the shell.
    std::function<void()> onChanged;
};

// A label as a screen exposes it.
inline Value labelValue(const std::string &text, bool hidden = false) {
    ValueDict d;
    d.set("text", Value(text));
    d.set("hidden", Value(hidden));
    return Value(std::move(d));
}

} // namespace byteward
