#pragma once

#include "platform/value.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace byteward {

// The outcome of a file operation: empty error text on success.
struct FileResult {
    std::string error;
    bool ok() const { return error.empty(); }
};

// Files are read whole. None that Byteward writes comes near this size (ten years of history
// is a few megabytes); a larger one is damaged or not ours, and reading it could exhaust memory.
inline constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

// Reads a whole file. Empty when the file does not exist, cannot be read or is larger than
// kMaxFileBytes; `error` then says which (left empty for a file that simply does not exist) and
// `tooLarge` tells the last case apart.
std::optional<std::string> readWholeFile(const std::filesystem::path &path,
                                         std::string *error = nullptr, bool *tooLarge = nullptr);

// Writes to a temporary file in the same directory, flushes it to disk and renames it into
// place, so a reader sees either the old or the new file, never half of one.
FileResult writeFileAtomically(const std::filesystem::path &path, std::string_view contents);

// Moves a file that could not be understood out of the way, next to where it was, with the
// time in its name. Returns the new path, or empty when it could not be moved.
std::optional<std::filesystem::path> keepFileAside(const std::filesystem::path &path, Instant now);

} // namespace byteward
