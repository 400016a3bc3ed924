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

// Which file a path named and which version of it: every atomic write puts a new inode in place.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0; // nanoseconds since 1970

    bool operator==(const FileIdentity &) const = default;
};

// Files are read whole. None that Byteward writes comes near this size (ten years of history
// is a few megabytes); a larger one is damaged or not ours, and reading it could exhaust memory.
inline constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

// Reads a whole file. Empty when the file does not exist, cannot be read or is larger than
// kMaxFileBytes; `error` then says which (left empty for a file that simply does not exist) and
// `tooLarge` tells the last case apart. `identity`, when given, receives the identity of the file
// that was read.
std::optional<std::string> readWholeFile(const std::filesystem::path &path,
                                         std::string *error = nullptr, bool *tooLarge = nullptr,
                                         FileIdentity *identity = nullptr);

// Writes to a temporary file in the same directory, flushes it to disk and renames it into
// place, so a reader sees either the old or the new file, never half of one.
// `identity`, when given, receives the identity of the new file.
FileResult writeFileAtomically(const std::filesystem::path &path, std::string_view contents,
                               FileIdentity *identity = nullptr);

// Moves a file that could not be understood out of the way, next to where it was, with the
// time in its name. Returns the new path, or empty when it could not be moved.
std::optional<std::filesystem::path> keepFileAside(const std::filesystem::path &path, Instant now);

} // namespace byteward
