// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/archive_compare.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace byteward::test {

namespace {

bool sameValue(const Value &a, const Value &b) {
    if (a.isReal() && b.isReal())
        return std::bit_cast<std::uint64_t>(a.doubleValue()) ==
               std::bit_cast<std::uint64_t>(b.doubleValue());
    return a == b;
}

} // namespace

bool identical(const std::vector<ArchiveField> &a, const std::vector<ArchiveField> &b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto &x, const auto &y) {
        return x.key == y.key && x.isInline == y.isInline && identical(x.object, y.object);
    });
}

bool identical(const ArchiveObject &a, const ArchiveObject &b) {
    return a.kind() == b.kind() && sameValue(a.value(), b.value()) && a.classes() == b.classes() &&
           std::equal(a.items().begin(), a.items().end(), b.items().begin(), b.items().end(),
                      [](const auto &x, const auto &y) { return identical(x, y); }) &&
           identical(a.fields(), b.fields());
}

} // namespace byteward::test
