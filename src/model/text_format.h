// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace byteward {

// printf-style formatting into a string. Numbers use the C locale's decimal point, as the
// figures on every screen do.
std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));

} // namespace byteward
