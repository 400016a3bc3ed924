// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace byteward {

// Raised when another process holds the data directory's lock for longer than we wait.
class LockTimeout : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The one advisory lock that every read-modify-write of a store runs under, so the app, the
// daemon and the CLI can work on the same files at once. Re-entrant within a process: nested
// holders share the lock, which is released when the outermost one ends.
class DataLock {
  public:
    static constexpr std::chrono::milliseconds kDefaultWait{10'000};

    explicit DataLock(const std::filesystem::path &dataDir,
                      std::chrono::milliseconds wait = kDefaultWait);
    ~DataLock();
    DataLock(const DataLock &) = delete;
    DataLock &operator=(const DataLock &) = delete;

    static constexpr const char *kFileName = ".byteward.lock";
    // How a LockTimeout's message begins, wherever it is passed on as text.
    static constexpr const char *kHeldText = "another Byteward process has held the data lock";

    // While one lives, no lock taken on this thread waits longer than `limit`: the window's
    // thread must keep answering the person while another process holds the lock, and tries
    // again later instead. The one made last decides; the one before holds again when it ends.
    class WaitLimit {
      public:
        explicit WaitLimit(std::chrono::milliseconds limit);
        ~WaitLimit();
        WaitLimit(const WaitLimit &) = delete;
        WaitLimit &operator=(const WaitLimit &) = delete;

      private:
        std::chrono::milliseconds previous_;
    };

  private:
    std::string path_;
};

} // namespace byteward
