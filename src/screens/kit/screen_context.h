// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/analytics_log.h"
#include "platform/mail_client.h"
#include "screens/kit/navigator.h"
#include "screens/kit/notification_center.h"
#include "screens/kit/presenter.h"

namespace byteward {

// What a screen presents through, announces to, reports to, hands mail to and opens other
// screens with; any of them may be absent (headless use).
struct ScreenContext {
    Presenter *presenter = nullptr;
    NotificationCenter *events = nullptr;
    AnalyticsLog *analytics = nullptr;
    MailClient *mail = nullptr;
    Navigator *navigator = nullptr;
};

} // namespace byteward
