// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/log.h"
#include "platform/result.h"
#include "platform/value.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace byteward {

// The outcome of a file operation.
using FileResult = Result;

// Files are read whole. None that Byteward writes comes near this size (ten years of history
// is a few megabytes); a larger one is damaged or not ours, and reading it could exhaust memory.
inline constexpr std::size_t kMaxFileBytes = std::size_t{64} * 1024 * 1024;

// Reads a whole file. Empty when the file does not exist, cannot be read or is larger than
// kMaxFileBytes; `error` then says which (left empty for a file that simply does not exist) and
// `tooLarge` tells the last case apart.
std::optional<std::string> readWholeFile(const std::filesystem::path &path,
                                         std::string *error = nullptr, bool *tooLarge = nullptr);

// Permissions of a file others must read (a textfile collector running as another user); the
// stores keep the private default.
inline constexpr unsigned kPrivateToUser = 0600;
inline constexpr unsigned kReadableByAll = 0644;

// When the rename of an atomic write is made durable: at once, or, for files that need not reach
// the disk in any order among themselves, once for their directory at the end of the
// DirectoryFlushBatch running on this thread (at once when none runs).
enum class DirectoryFlush { Now, InBatch };

// Writes to a temporary file in the same directory, flushes it to disk and renames it into
// place, so a reader sees either the old or the new file, never half of one; then flushes the
// directory, so the rename survives a crash.
[[nodiscard]] FileResult writeFileAtomically(const std::filesystem::path &path,
                                             std::string_view contents,
                                             unsigned permissions = kPrivateToUser,
                                             DirectoryFlush flush = DirectoryFlush::Now);

// Collects the directory flushes of the atomic writes on this thread that ask for a batch, and
// does each directory's once when it ends: two records replaced in one folder cost one journal
// commit, not two. Its end must come before anything relies on the renames having reached the
// disk (the data lock's release, say). Batches do not nest: an inner one joins the outer.
class DirectoryFlushBatch {
  public:
    DirectoryFlushBatch();
    ~DirectoryFlushBatch();
    DirectoryFlushBatch(const DirectoryFlushBatch &) = delete;
    DirectoryFlushBatch &operator=(const DirectoryFlushBatch &) = delete;

  private:
    bool outermost_;
    std::set<std::filesystem::path> owed_;
};

// Tells the log of a store write's outcome and returns it. A failure is logged as "Writing data
// to file failed: ..." and handed to the write-failure listener the first time it happens, and not
// again while the same file keeps failing the same way (a daemon retrying a full disk every
// minute); a write of that file that succeeds again ends the condition.
FileResult noteWrite(Log &log, const std::filesystem::path &file, FileResult result);
// The failure of the last write noted that has not since succeeded; empty when every file this
// process wrote was written.
std::optional<std::string> lastWriteFailure();
// Called once for each new failing condition, with its reason (the app puts up one alert per
// condition); not for a data lock another process held too long. One listener per process; an
// empty function removes it.
void setWriteFailureListener(std::function<void(const std::string &reason)> listener);

// Moves a file that could not be understood out of the way, next to where it was, with the
// time in its name. Returns the new path, or empty when it could not be moved.
std::optional<std::filesystem::path> keepFileAside(const std::filesystem::path &path, Instant now);

} // namespace byteward
