// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "storage/keyed_archive.h"

#include <vector>

namespace byteward::test {

// Two decoded archives' objects equal to the bit, unlike ==: a NaN equals itself and -0 differs
// from 0, so two readers of the same bytes can be held to the same result.
bool identical(const ArchiveObject &a, const ArchiveObject &b);
bool identical(const std::vector<ArchiveField> &a, const std::vector<ArchiveField> &b);

} // namespace byteward::test
