// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/sha256.h"

#include <gcrypt.h>

namespace byteward {

std::array<std::uint8_t, 32> sha256(std::string_view bytes) {
    // libgcrypt is mapped already (the D-Bus library uses it); it must be told once that no
    // one is going to set it up further.
    static const bool ready = [] {
        gcry_check_version(nullptr);
        if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P) == 0) {
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
        return true;
    }();
    (void)ready;
    std::array<std::uint8_t, 32> digest{};
    gcry_md_hash_buffer(GCRY_MD_SHA256, digest.data(), bytes.data(), bytes.size());
    return digest;
}

} // namespace byteward
