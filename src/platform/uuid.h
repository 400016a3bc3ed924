// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace byteward {

// A new random (version 4) UUID in its canonical 36-character text, upper-case hexadecimal.
std::string newUuid();

} // namespace byteward
