// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/test_env.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace byteward::fuzz {

inline std::string_view asText(const std::uint8_t *data, std::size_t size) {
    return {reinterpret_cast<const char *>(data), size};
}

// One private environment per fuzzing process. Each input starts from empty directories, so
// files kept aside by earlier inputs do not pile up.
inline test::TestEnv &freshEnv() {
    static test::TestEnv env;
    std::error_code ec;
    for (const auto &dir : {env.paths().dataDir, env.paths().configDir}) {
        std::filesystem::remove_all(dir, ec);
        std::filesystem::create_directories(dir, ec);
    }
    return env;
}

// Stops the run with the input saved, as a sanitizer finding would.
[[noreturn]] void fail(const std::string &what);

} // namespace byteward::fuzz
