// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>

namespace byteward {

// Where the plain diagnostic lines go. The Linux implementation writes to the system log;
// tests capture them.
class Log {
  public:
    virtual ~Log() = default;
    virtual void line(std::string_view text) = 0;
};

// Writes to syslog (which reaches the journal), and to standard error when verbose.
class SystemLog final : public Log {
  public:
    explicit SystemLog(bool verbose = false);
    ~SystemLog() override;
    SystemLog(const SystemLog &) = delete;
    SystemLog &operator=(const SystemLog &) = delete;

    void setVerbose(bool verbose) { verbose_ = verbose; }
    void line(std::string_view text) override;

  private:
    bool verbose_;
};

} // namespace byteward
