// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/kit/notification_center.h"

#include <algorithm>

namespace byteward {

NotificationCenter::Token NotificationCenter::addObserver(const std::string &name,
                                                                Observer observer) {
    entries_.push_back({next_, name, std::move(observer)});
    return next_++;
}

void NotificationCenter::removeObserver(Token token) {
    std::erase_if(entries_, [token](const Entry &e) { return e.token == token; });
}

void NotificationCenter::post(const std::string &name, const ValueDict &userInfo) {
    // Observers may add or remove observers while hearing a post: call a snapshot.
    const std::vector<Entry> snapshot = entries_;
    for (const auto &entry : snapshot)
        if (entry.name == name) entry.observer(userInfo);
}

} // namespace byteward
