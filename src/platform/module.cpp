// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/module.h"

#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>

namespace byteward {

namespace {

namespace fs = std::filesystem;

// Where the installation puts the modules, relative to the folder of the programs.
std::string installedPath(const char *file) {
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return (program.parent_path() / BYTEWARD_MODULE_DIR_FROM_BIN / file).lexically_normal();
}

std::string dlError() {
    const char *text = ::dlerror();
    return text != nullptr ? text : "unknown error";
}

void *load(const char *file, std::string &error) {
    const std::string installed = installedPath(file);
    if (!installed.empty()) {
        if (void *handle = ::dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
        // The installed module's own complaint is the useful one, whatever the search below says.
        error = dlError();
    }
    if (void *handle = ::dlopen(file, RTLD_NOW | RTLD_LOCAL)) return handle;
    if (error.empty()) error = dlError();
    return nullptr;
}

} // namespace

void *moduleSymbol(const char *file, const char *symbol, std::string &error) {
    static std::mutex mutex;
    // Modules stay loaded for the process's life: what they made may still be in use.
    static std::map<std::string, void *> handles;
    std::lock_guard lock(mutex);
    void *&handle = handles[file];
    if (handle == nullptr) {
        std::string why;
        handle = load(file, why);
        if (handle == nullptr) {
            error = "cannot load the module " + std::string(file) + ": " + why;
            return nullptr;
        }
    }
    ::dlerror();
    void *address = ::dlsym(handle, symbol);
    if (address == nullptr) error = std::string(file) + ": " + dlError();
    return address;
}

} // namespace byteward
