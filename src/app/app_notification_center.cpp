#include "app/app_notification_center.h"

#include <algorithm>

namespace byteward {

AppNotificationCenter::Token AppNotificationCenter::addObserver(const std::string &name,
                                                                Observer observer) {
    entries_.push_back({next_, name, std::move(observer)});
    return next_++;
}

void AppNotificationCenter::removeObserver(Token token) {
    std::erase_if(entries_, [token](const Entry &e) { return e.token == token; });
}

void AppNotificationCenter::post(const std::string &name, const ValueDict &userInfo) {
    // Observers may add or remove observers while hearing a post: call a snapshot.
    const std::vector<Entry> snapshot = entries_;
    for (const auto &entry : snapshot)
        if (entry.name == name) entry.observer(userInfo);
}

} // namespace byteward
