// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files.h"

#include "platform/data_lock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace byteward {

namespace fs = std::filesystem;

std::optional<std::string> readWholeFile(const fs::path &path, std::string *error, bool *tooLarge) {
    if (tooLarge != nullptr) *tooLarge = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error != nullptr) {
            const int code = errno;
            *error = code == ENOENT ? std::string{} : path.string() + ": " + std::strerror(code);
        }
        return std::nullopt;
    }
    auto fail = [&]() -> std::optional<std::string> {
        const int code = errno;
        ::close(fd);
        if (error != nullptr) *error = path.string() + ": read failed: " + std::strerror(code);
        return std::nullopt;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail();
    std::string bytes;
    // The size the file claims is only a first guess: a file can grow while it is read, and the
    // kernel's own files claim no size at all. One byte more lets the read that finds the end
    // land without growing the buffer; growth doubles, since resizing zeroes what it adds.
    bytes.resize(std::min<std::size_t>(static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)),
                                       kMaxFileBytes) +
                 1);
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size())
            bytes.resize(std::min(bytes.size() + std::max<std::size_t>(bytes.size(), 4096),
                                  kMaxFileBytes + 1));
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail();
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        if (got > kMaxFileBytes) {
            ::close(fd);
            if (error != nullptr)
                *error = path.string() + ": larger than " +
                         std::to_string(kMaxFileBytes / (std::size_t{1024} * 1024)) +
                         " MiB, more than any file Byteward writes; not read";
            if (tooLarge != nullptr) *tooLarge = true;
            return std::nullopt;
        }
    }
    bytes.resize(got);
    ::close(fd);
    return bytes;
}

namespace {

// A writer killed between creating its temporary file and renaming it leaves the file behind.
// Nothing reads it, but years of such crashes would fill the directory. No write takes anywhere
// near this long, so a temporary this old belongs to no live writer.
constexpr auto kAbandonedAfter = std::chrono::minutes(10);

// Looks once per file and process: leftovers are rare, and a write should not pay for a scan.
void removeAbandonedTemporaries(const fs::path &dir, const std::string &name) {
    static std::mutex mutex;
    static std::set<fs::path> swept;
    {
        const std::lock_guard lock(mutex);
        if (!swept.insert(dir / name).second) return;
    }
    const std::string prefix = "." + name + ".";
    const std::size_t suffixLength = 6; // mkstemp's XXXXXX
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (entry.size() != prefix.size() + suffixLength || !entry.starts_with(prefix)) continue;
        std::error_code statError;
        const auto modified = it->last_write_time(statError);
        if (!statError && now - modified > kAbandonedAfter) fs::remove(it->path(), statError);
    }
}

} // namespace

namespace {

// The directories whose flush the running batch of this thread owes; null when none runs.
thread_local std::set<fs::path> *pendingDirectoryFlushes = nullptr;

void flushDirectory(const fs::path &dir) {
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

DirectoryFlushBatch::DirectoryFlushBatch() : outermost_(pendingDirectoryFlushes == nullptr) {
    if (outermost_) pendingDirectoryFlushes = &owed_;
}

DirectoryFlushBatch::~DirectoryFlushBatch() {
    if (!outermost_) return;
    pendingDirectoryFlushes = nullptr;
    for (const fs::path &dir : owed_)
        flushDirectory(dir);
}

FileResult writeFileAtomically(const fs::path &path, std::string_view contents,
                               unsigned permissions, DirectoryFlush flush) {
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    // Appended piece by piece: GCC 12 warns falsely about "." + name at -O3.
    std::string hidden(".");
    hidden += path.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (dir / hidden).string();
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
    // mkstemp makes the file 0600, as the stores want.
    if (permissions != kPrivateToUser && ::fchmod(fd, static_cast<mode_t>(permissions)) != 0)
        return fail("cannot set its permissions");
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
    if (flush == DirectoryFlush::InBatch && pendingDirectoryFlushes != nullptr) {
        pendingDirectoryFlushes->insert(dir);
    } else {
        flushDirectory(dir);
        // The flush made the batch's earlier renames in this folder durable as well.
        if (pendingDirectoryFlushes != nullptr) pendingDirectoryFlushes->erase(dir);
    }
    removeAbandonedTemporaries(dir, path.filename().string());
    return {};
}

namespace {

// The failing condition of each file, by path, and who is told of new ones.
struct WriteFailures {
    std::mutex mutex;
    std::map<std::string, std::string> failing; // path -> reason
    std::string latestPath;
    std::function<void(const std::string &)> listener;

    static WriteFailures &instance() {
        static WriteFailures failures;
        return failures;
    }
};

} // namespace

FileResult noteWrite(Log &log, const fs::path &file, FileResult result) {
    WriteFailures &failures = WriteFailures::instance();
    std::function<void(const std::string &)> listener;
    {
        const std::lock_guard lock(failures.mutex);
        const std::string key = file.string();
        if (result.ok()) {
            if (failures.failing.erase(key) > 0)
                log.line("Writing data to file works again: " + key);
            return result;
        }
        failures.latestPath = key;
        auto [entry, inserted] = failures.failing.try_emplace(key, result.error);
        if (!inserted && entry->second == result.error) return result;
        entry->second = result.error;
        listener = failures.listener;
    }
    log.line("Writing data to file failed: " + result.error);
    // Another process holding the data is waited out and tried again, not a failure to tell of.
    if (listener && result.error.find(DataLock::kHeldText) == std::string::npos)
        listener(result.error);
    return result;
}

std::optional<std::string> lastWriteFailure() {
    WriteFailures &failures = WriteFailures::instance();
    const std::lock_guard lock(failures.mutex);
    const auto latest = failures.failing.find(failures.latestPath);
    if (latest != failures.failing.end()) return latest->second;
    if (failures.failing.empty()) return std::nullopt;
    return failures.failing.begin()->second;
}

void setWriteFailureListener(std::function<void(const std::string &reason)> listener) {
    WriteFailures &failures = WriteFailures::instance();
    const std::lock_guard lock(failures.mutex);
    failures.listener = std::move(listener);
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
