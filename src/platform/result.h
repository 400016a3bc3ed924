// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <utility>

namespace byteward {

// The outcome of an operation that may fail, stores' writes above all: empty on success,
// otherwise what failed and why, in words a person can act on ("/home/u/.local/share/byteward/
// history.archive: write failed: No space left on device").
struct Result {
    std::string error;

    static Result failure(std::string why) { return {std::move(why)}; }
    bool ok() const { return error.empty(); }
    explicit operator bool() const { return ok(); }
    // The first failure of the two; success only when both succeeded.
    Result andThen(const Result &next) const { return ok() ? next : *this; }
};

} // namespace byteward
