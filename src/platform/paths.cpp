// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/paths.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace byteward {

namespace fs = std::filesystem;

namespace {

fs::path homeDirectory() {
    if (const char *home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd *entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return fs::temp_directory_path();
}

// An XDG base directory: the variable when it holds an absolute path, otherwise the fallback.
fs::path xdgBase(const char *variable, const char *fallbackUnderHome) {
    if (const char *value = std::getenv(variable); value != nullptr && value[0] == '/')
        return value;
    return homeDirectory() / fallbackUnderHome;
}

} // namespace

Paths Paths::fromEnvironment() {
    return Paths{xdgBase("XDG_DATA_HOME", ".local/share") / "byteward",
                 xdgBase("XDG_CONFIG_HOME", ".config") / "byteward",
                 xdgBase("XDG_STATE_HOME", ".local/state") / "byteward"};
}

Paths Paths::under(const fs::path &root) {
    return Paths{root / "data" / "byteward", root / "config" / "byteward",
                 root / "state" / "byteward"};
}

bool ensurePrivateDirectory(const fs::path &dir) {
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return true;
    if (dir.has_parent_path() && dir.parent_path() != dir) {
        fs::create_directories(dir.parent_path(), ec);
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && !fs::is_directory(dir, ec)) return false;
    return true;
}

} // namespace byteward
