// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/context.h"

namespace byteward::cli {

Context::Context(bool verbose) : platform_(verbose) {
}

} // namespace byteward::cli
