// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/local_notification.h"
#include "platform/log.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace byteward {

// Shows notifications through the desktop's org.freedesktop.Notifications server and puts the
// badge on the launcher icon, over the session bus. Connects on first use; without a session bus
// every call answers false at once. The badge lasts only while this object (its bus connection)
// lives, so the long-running process should own it.
class DesktopNotificationSink final : public NotificationSink {
  public:
    // The desktop file's name without ".desktop"; the icon keeps the short name it installs as.
    static constexpr const char *kDesktopId = "io.github.byteward.Byteward";
    static constexpr const char *kIconName = "byteward";
    static constexpr const char *kLauncherUri = "application://io.github.byteward.Byteward.desktop";
    static constexpr const char *kLauncherPath = "/com/canonical/unity/launcherentry/byteward";
    // Actions (a notification user info's "action") are heard only with this prefix.
    static constexpr const char *kActionPrefix = "byteward-";

    // `log`, when given, hears why the bus or the server could not be reached (once per reason).
    explicit DesktopNotificationSink(Log *log = nullptr);
    ~DesktopNotificationSink() override;
    DesktopNotificationSink(const DesktopNotificationSink &) = delete;
    DesktopNotificationSink &operator=(const DesktopNotificationSink &) = delete;

    bool showNotification(const LocalNotification &notification) override;
    bool setBadge(std::optional<long long> count) override;
    std::vector<std::string> takeInvokedActions() override;
    int actionFd() const override;

  private:
    struct Bus;
    Bus *bus();
    void failed(const std::string &reason);

    Log *log_;
    std::unique_ptr<Bus> bus_;
    std::string lastFailure_;
};

// Notification bodies may carry markup; text from data must show as written.
std::string escapeNotificationMarkup(std::string_view text);

} // namespace byteward
