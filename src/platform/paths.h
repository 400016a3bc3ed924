// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>

namespace byteward {

// The three XDG directories Byteward keeps its files in.
struct Paths {
    std::filesystem::path dataDir;   // documents: usage records, archives, exports
    std::filesystem::path configDir; // user defaults
    std::filesystem::path stateDir;  // logs and schedules

    // $XDG_DATA_HOME/byteward and its siblings, with the XDG fallbacks under $HOME.
    static Paths fromEnvironment();
    // All three directories under one root (tests, diagnostics).
    static Paths under(const std::filesystem::path &root);
};

// Creates a directory (and its parents) private to the user, 0700, if it does not exist.
// Returns false when it does not exist afterwards.
bool ensurePrivateDirectory(const std::filesystem::path &dir);

} // namespace byteward
