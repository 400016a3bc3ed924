// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "fuzz_env.h"

#include <cstdio>
#include <cstdlib>

namespace byteward::fuzz {

void fail(const std::string &what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

} // namespace byteward::fuzz
