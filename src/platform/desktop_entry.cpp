// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop_entry.h"

#include "platform/files.h"

#include <clocale>
#include <cstdlib>
#include <sstream>

namespace byteward {

namespace {

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Escapes of a desktop-entry string value.
std::string unescape(const std::string &value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        out += next == 's'   ? ' '
               : next == 'n' ? '\n'
               : next == 't' ? '\t'
               : next == 'r' ? '\r'
                             : next;
    }
    return out;
}

// "de_DE.UTF-8@euro" → the keys to try, most specific first: de_DE@euro, de_DE, de@euro, de.
std::vector<std::string> localeKeys(const std::string &locale) {
    std::string lang = locale, country, modifier;
    if (const auto at = lang.find('@'); at != std::string::npos) {
        modifier = lang.substr(at);
        lang.erase(at);
    }
    if (const auto dot = lang.find('.'); dot != std::string::npos) lang.erase(dot);
    if (const auto underscore = lang.find('_'); underscore != std::string::npos) {
        country = lang.substr(underscore);
        lang.erase(underscore);
    }
    std::vector<std::string> keys;
    if (lang.empty() || lang == "C" || lang == "POSIX") return keys;
    if (!country.empty() && !modifier.empty()) keys.push_back(lang + country + modifier);
    if (!country.empty()) keys.push_back(lang + country);
    if (!modifier.empty()) keys.push_back(lang + modifier);
    keys.push_back(lang);
    return keys;
}

std::optional<DesktopEntry> parse(const std::string &text, const std::string &locale) {
    std::istringstream lines(text);
    std::string line;
    bool inEntry = false;
    std::string name, icon, type;
    bool hidden = false;
    std::vector<std::string> localized;
    const auto keys = localeKeys(locale);
    std::size_t bestRank = keys.size();
    std::string bestName;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        std::string value = line.substr(equals + 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        if (key == "Name")
            name = unescape(value);
        else if (key == "Icon")
            icon = unescape(value);
        else if (key == "Type")
            type = value;
        else if (key == "Hidden")
            hidden = value == "true";
        else if (key.rfind("Name[", 0) == 0 && key.back() == ']') {
            const std::string tag = key.substr(5, key.size() - 6);
            for (std::size_t rank = 0; rank < bestRank; ++rank)
                if (keys[rank] == tag) {
                    bestRank = rank;
                    bestName = unescape(value);
                    break;
                }
        }
    }
    if (hidden || (!type.empty() && type != "Application")) return std::nullopt;
    if (!bestName.empty()) name = bestName;
    if (name.empty()) return std::nullopt;
    return DesktopEntry{name, icon};
}

} // namespace

std::vector<std::filesystem::path> applicationDirectories() {
    std::vector<std::filesystem::path> dirs;
    std::string home = environment("XDG_DATA_HOME");
    if (home.empty() && !environment("HOME").empty()) home = environment("HOME") + "/.local/share";
    if (!home.empty()) dirs.emplace_back(std::filesystem::path(home) / "applications");
    std::string data = environment("XDG_DATA_DIRS");
    if (data.empty()) data = "/usr/local/share:/usr/share";
    std::istringstream parts(data);
    std::string part;
    while (std::getline(parts, part, ':'))
        if (!part.empty()) dirs.emplace_back(std::filesystem::path(part) / "applications");
    return dirs;
}

std::optional<DesktopEntry> findDesktopEntry(const std::string &id) {
    const char *messages = std::setlocale(LC_MESSAGES, nullptr);
    std::string locale = environment("LC_ALL");
    if (locale.empty()) locale = environment("LC_MESSAGES");
    if (locale.empty()) locale = environment("LANG");
    if (locale.empty() && messages != nullptr) locale = messages;
    return findDesktopEntry(id, applicationDirectories(), locale);
}

std::optional<DesktopEntry> findDesktopEntry(const std::string &id,
                                             const std::vector<std::filesystem::path> &directories,
                                             const std::string &locale) {
    std::string file = id;
    if (file.size() < 8 || file.compare(file.size() - 8, 8, ".desktop") != 0) file += ".desktop";
    // An id is a file name: nothing that climbs out of the folder.
    if (file.find('/') != std::string::npos || file.find("..") == 0) return std::nullopt;
    for (const auto &dir : directories) {
        // "org-foo-bar.desktop" may be "org/foo-bar.desktop" or "org/foo/bar.desktop".
        std::vector<std::string> candidates{file};
        for (std::size_t i = 0; i < file.size(); ++i)
            if (file[i] == '-') {
                std::string nested = file;
                nested[i] = '/';
                candidates.push_back(nested);
            }
        for (const auto &candidate : candidates) {
            const auto text = readWholeFile(dir / candidate);
            if (!text) continue;
            // The first folder that has the id decides, even where it hides the application.
            return parse(*text, locale);
        }
    }
    return std::nullopt;
}

} // namespace byteward
