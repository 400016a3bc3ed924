// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace byteward::appstats {

// The folder of per-user snapshot files. Each user's file is theirs (mode 0600) so that no other
// user reads it; the helper keeps its own copy of each in a private sub-folder, and reads only
// that back after a restart: the user's file is the user's to change.
class SnapshotDirectory {
public:
    SnapshotDirectory() = default;
    SnapshotDirectory(const SnapshotDirectory &) = delete;
    SnapshotDirectory &operator=(const SnapshotDirectory &) = delete;
    ~SnapshotDirectory();

    // Opens the folder, making it (0755) if missing. Refuses one that is not ours or that others
    // may write to: they could swap the files under us.
    bool open(const std::string &path, std::string &error);

    // Writes the user's file and the helper's copy atomically: a temporary file in the same
    // folder, owner and mode set, flushed, renamed into place.
    bool write(uid_t uid, std::string_view text, std::string &error);

    // The helper's copy of the user's file from an earlier run; empty when there is none.
    std::optional<std::string> savedCopy(uid_t uid) const;

private:
    int dir_ = -1;
    int saved_ = -1;
};

} // namespace byteward::appstats
