// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// What the desktop knows of an application from its desktop entry: the name people see and the
// icon's theme name or file.
struct DesktopEntry {
    std::string name;
    std::string icon;
};

// The application folders in the order the desktop searches them: $XDG_DATA_HOME, then each of
// $XDG_DATA_DIRS (with the XDG defaults), each with "applications".
std::vector<std::filesystem::path> applicationDirectories();

// The entry of a desktop-file id ("org.gnome.Epiphany" or "org.gnome.Epiphany.desktop"), found
// as the desktop finds it (a "-" in the id may stand for a sub-folder), with the name in the
// messages locale where the entry has one. Empty when no folder has it or it names no
// application. Only "Name" and "Icon" of the "[Desktop Entry]" group are read: a key-file
// library would map itself into every process that lists applications for that.
std::optional<DesktopEntry> findDesktopEntry(const std::string &id);
std::optional<DesktopEntry> findDesktopEntry(const std::string &id,
                                             const std::vector<std::filesystem::path> &directories,
                                             const std::string &locale);

} // namespace byteward
