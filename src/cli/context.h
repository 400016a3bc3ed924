// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "lifecycle/platform_services.h"

#include <stdexcept>
#include <string>

namespace byteward::cli {

// A failure to report to the user: exit status 1 with the message.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The real platform services of one bytewardctl run.
class Context {
  public:
    explicit Context(bool verbose);

    Services &services() { return platform_.services(); }
    Log &log() { return platform_.log(); }
    const Calendar &calendar() const { return platform_.calendar(); }

  private:
    PlatformServices platform_;
};

} // namespace byteward::cli
