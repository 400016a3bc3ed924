#include "platform/files.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace byteward {

namespace fs = std::filesystem;

std::optional<std::string> readWholeFile(const fs::path &path, std::string *error, bool *tooLarge) {
    if (tooLarge != nullptr) *tooLarge = false;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error != nullptr) {
            const int code = errno;
            *error = code == ENOENT ? std::string{} : path.string() + ": " + std::strerror(code);
        }
        return std::nullopt;
    }
    // In chunks rather than by the size the file claims: a file can grow while it is read, and
    // the kernel's own files claim no size at all.
    std::string contents;
    std::array<char, 64 * 1024> chunk{};
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        contents.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (contents.size() > kMaxFileBytes) {
            if (error != nullptr)
                *error = path.string() + ": larger than " +
                         std::to_string(kMaxFileBytes / (1024 * 1024)) +
                         " MiB, more than any file Byteward writes; not read";
            if (tooLarge != nullptr) *tooLarge = true;
            return std::nullopt;
        }
    }
    if (in.bad()) {
        if (error != nullptr) *error = path.string() + ": read failed";
        return std::nullopt;
    }
    return contents;
}

FileResult writeFileAtomically(const fs::path &path, std::string_view contents) {
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string pattern = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        return {path.string() + ": cannot create a temporary file: " + std::strerror(errno)};

    auto fail = [&](const char *what) {
        const int code = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        return FileResult{path.string() + ": " + what + ": " + std::strerror(code)};
    };
    const char *data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return fail("write failed");
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    // mkstemp makes the file 0600; the stores are private to the user anyway.
    if (::fsync(fd) != 0) return fail("flush failed");
    if (::close(fd) != 0) {
        ::unlink(pattern.c_str());
        return {path.string() + ": close failed: " + std::strerror(errno)};
    }
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(pattern.c_str());
        return {path.string() + ": rename failed: " + std::strerror(code)};
    }
    // Make the rename itself durable.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

std::optional<fs::path> keepFileAside(const fs::path &path, Instant now) {
    const std::time_t seconds = static_cast<std::time_t>(secondsSince1970(now));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    fs::path target = path;
    target += std::string(".unreadable-") + stamp;
    for (int n = 2; fs::exists(target); ++n) {
        target = path;
        target += std::string(".unreadable-") + stamp + "-" + std::to_string(n);
    }
    std::error_code ec;
    fs::rename(path, target, ec);
    if (ec) return std::nullopt;
    return target;
}

} // namespace byteward
