// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/analytics_log.h"

#include "platform/files.h"

#include <fcntl.h>
#include <sstream>
#include <unistd.h>

namespace byteward {

namespace {

// One entry per line: tabs and line breaks in the text become spaces.
std::string oneLine(std::string text) {
    for (char &c : text)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return text;
}

} // namespace

void AnalyticsLog::append(const std::string &kind, const std::string &text) {
    if (!ensurePrivateDirectory(paths_.stateDir)) return;
    const std::string line =
        std::to_string(static_cast<long long>(secondsSince1970(clock_.now()))) + "\t" + kind +
        "\t" + oneLine(text) + "\n";
    const int fd = ::open((paths_.stateDir / kFileName).c_str(),
                          O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    // One write per entry, so entries from several processes never interleave.
    [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

void AnalyticsLog::logEvent(const std::string &name) {
    append("event", name);
}

void AnalyticsLog::leaveBreadcrumb(const std::string &line) {
    append("breadcrumb", line);
}

std::vector<std::string> AnalyticsLog::entries() const {
    std::vector<std::string> out;
    const auto contents = readWholeFile(paths_.stateDir / kFileName);
    if (!contents) return out;
    std::istringstream lines(*contents);
    std::string line;
    while (std::getline(lines, line)) {
        const auto first = line.find('\t');
        const auto second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos) continue;
        out.push_back(line.substr(first + 1, second - first - 1) + " " + line.substr(second + 1));
    }
    return out;
}

} // namespace byteward
