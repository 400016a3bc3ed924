// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <functional>
#include <string>
#include <vector>

namespace byteward {

// The in-process notification centre: screens announce changes (the usage bar's colour, a tab
// change) and every observer of that name hears them, in the order they registered.
class NotificationCenter {
  public:
    using Observer = std::function<void(const ValueDict &userInfo)>;
    using Token = int;

    static constexpr const char *kProgressBarMileStoneNotification =
        "kProgressBarMileStoneNotification";

    Token addObserver(const std::string &name, Observer observer);
    void removeObserver(Token token);
    void post(const std::string &name, const ValueDict &userInfo = {});

  private:
    struct Entry {
        Token token;
        std::string name;
        Observer observer;
    };
    std::vector<Entry> entries_;
    Token next_ = 1;
};

} // namespace byteward
