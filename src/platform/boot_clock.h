// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/log.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace byteward {

// When the machine last started, and which boot this is.
class BootClock {
  public:
    virtual ~BootClock() = default;
    // Whole seconds since 1970 of the last boot; -1 when it cannot be told.
    virtual std::int64_t bootTime() const = 0;
    // The kernel's id of this boot; empty when unknown. It changes at every boot and only then,
    // so, unlike the boot instant, a clock step cannot fake a reboot.
    virtual std::optional<std::string> bootId() const = 0;
};

// Reads /proc/stat "btime" and /proc/sys/kernel/random/boot_id, overridden by BYTEWARD_BOOT_TIME
// and BYTEWARD_BOOT_ID.
class ProcBootClock final : public BootClock {
  public:
    explicit ProcBootClock(Log &log, std::filesystem::path procRoot = "/proc");
    std::int64_t bootTime() const override;
    std::optional<std::string> bootId() const override;

  private:
    Log &log_;
    std::filesystem::path procRoot_;
    mutable std::mutex bootIdMutex_;
    mutable std::optional<std::string> bootId_;
};

} // namespace byteward
