// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/log.h"

#include <cstdio>
#include <string>
#include <syslog.h>

namespace byteward {

SystemLog::SystemLog(bool verbose) : verbose_(verbose) {
    openlog("byteward", LOG_PID, LOG_USER);
}

SystemLog::~SystemLog() {
    closelog();
}

void SystemLog::line(std::string_view text) {
    const std::string owned(text);
    syslog(LOG_NOTICE, "%s", owned.c_str());
    if (verbose_) std::fprintf(stderr, "%s\n", owned.c_str());
}

} // namespace byteward
