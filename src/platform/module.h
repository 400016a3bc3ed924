// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace byteward {

// What needs a large library of its own (GMime for mail, libcurl for HTTP) lives in a shared
// module that is loaded the first time it is needed: the daemon and most commands never need
// it, and every library a process maps costs it private pages for its relocations.
//
// A module is found in the package's library folder beside the programs' (the one the
// installation puts it in, wherever the tree was unpacked), then by the dynamic loader's own
// search, which in the build tree is the run path pointing at the built modules.

// The address of `symbol` in the module file `file` (a file name, no folder), loading the module
// on first use and keeping it loaded; nullptr with `error` saying why when it cannot be loaded.
void *moduleSymbol(const char *file, const char *symbol, std::string &error);

// The interface a module's factory (a C function taking nothing) hands out; nullptr with `error`
// set when the module or its factory is missing.
template <typename Interface>
const Interface *moduleInterface(const char *file, const char *factory, std::string &error) {
    void *symbol = moduleSymbol(file, factory, error);
    if (symbol == nullptr) return nullptr;
    const Interface *made = reinterpret_cast<const Interface *(*)()>(symbol)();
    if (made == nullptr) error = std::string(file) + ": " + factory + " made nothing";
    return made;
}

} // namespace byteward
