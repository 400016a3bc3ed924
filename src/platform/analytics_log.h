// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/clock.h"
#include "platform/paths.h"

#include <string>
#include <vector>

namespace byteward {

// The named events and breadcrumb lines other programs would send to analytics and crash
// reporting, kept in a local file in the state directory instead. Nothing leaves the machine.
class AnalyticsLog {
  public:
    AnalyticsLog(Paths paths, const Clock &clock) : paths_(std::move(paths)), clock_(clock) {}

    void logEvent(const std::string &name);
    void leaveBreadcrumb(const std::string &line);
    // Every entry so far, "event NAME" or "breadcrumb LINE", oldest first.
    std::vector<std::string> entries() const;

    static constexpr const char *kFileName = "events.log";

  private:
    void append(const std::string &kind, const std::string &text);

    Paths paths_;
    const Clock &clock_;
};

} // namespace byteward
