// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/boot_clock.h"

#include "platform/files.h"

#include <cstdlib>
#include <mutex>
#include <sstream>

namespace byteward {

namespace {

std::optional<std::int64_t> parseWholeNumber(const std::string &text) {
    std::size_t used = 0;
    try {
        const long long value = std::stoll(text, &used);
        while (used < text.size() && std::isspace(static_cast<unsigned char>(text[used])))
            ++used;
        if (used != text.size()) return std::nullopt;
        return value;
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

std::string trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    return text.substr(start);
}

} // namespace

ProcBootClock::ProcBootClock(Log &log, std::filesystem::path procRoot)
    : log_(log), procRoot_(std::move(procRoot)) {
}

std::int64_t ProcBootClock::bootTime() const {
    if (const char *value = std::getenv("BYTEWARD_BOOT_TIME"); value != nullptr && *value != '\0') {
        if (auto seconds = parseWholeNumber(value)) return *seconds;
        log_.line(std::string("BYTEWARD_BOOT_TIME is not whole seconds since 1970: ") + value);
        return -1;
    }
    const auto stat = readWholeFile(procRoot_ / "stat");
    if (!stat) {
        log_.line("boot time: cannot read " + (procRoot_ / "stat").string());
        return -1;
    }
    std::istringstream lines(*stat);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("btime ", 0) == 0) {
            if (auto seconds = parseWholeNumber(trimmed(line.substr(6)))) return *seconds;
            break;
        }
    }
    log_.line("boot time: no btime line in " + (procRoot_ / "stat").string());
    return -1;
}

std::optional<std::string> ProcBootClock::bootId() const {
    if (const char *value = std::getenv("BYTEWARD_BOOT_ID"); value != nullptr && *value != '\0')
        return trimmed(value);
    // No process outlives the boot it started in, so the kernel's own answer is read once; a
    // tree standing in for /proc is read every time, as it may be changed under us.
    const bool kernel = procRoot_ == "/proc";
    if (kernel) {
        const std::lock_guard lock(bootIdMutex_);
        if (bootId_) return bootId_;
    }
    const auto id = readWholeFile(procRoot_ / "sys/kernel/random/boot_id");
    if (!id || trimmed(*id).empty()) return std::nullopt;
    std::string value = trimmed(*id);
    if (kernel) {
        const std::lock_guard lock(bootIdMutex_);
        bootId_ = value;
    }
    return value;
}

} // namespace byteward
