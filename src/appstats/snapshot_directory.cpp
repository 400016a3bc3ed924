// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "appstats/snapshot_directory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace byteward::appstats {

namespace {

// The helper's own copies, inside the snapshot folder.
constexpr const char *kSavedFolder = ".saved";
// A copy larger than this is not one the helper wrote (a file lists each cgroup a few times).
constexpr off_t kMaxSavedBytes = off_t{16} * 1024 * 1024;

std::string systemError(const std::string &what) { return what + ": " + std::strerror(errno); }

bool safeFolder(int fd, mode_t allowed, std::string &error, const std::string &what) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = systemError(what);
        return false;
    }
    if (st.st_uid != geteuid() || (st.st_mode & 0777 & ~allowed) != 0) {
        error = what + ": must be owned by uid " + std::to_string(geteuid()) +
                " and writable by no one else";
        return false;
    }
    return true;
}

bool writeAtomically(int dir, const std::string &name, std::string_view text, uid_t owner,
                     std::string &error) {
    const std::string temp = "." + name + ".tmp";
    unlinkat(dir, temp.c_str(), 0); // left by a run that was killed mid-write
    const int fd = openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          0600);
    if (fd < 0) {
        error = systemError("cannot create " + temp);
        return false;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = systemError("cannot write " + temp);
            ok = false;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    // The mode while it is still ours: changing it after the hand-over would need CAP_FOWNER.
    if (ok && (fchmod(fd, 0600) != 0 || fchown(fd, owner, static_cast<gid_t>(-1)) != 0)) {
        error = systemError("cannot give " + temp + " to uid " + std::to_string(owner));
        ok = false;
    }
    if (ok && fsync(fd) != 0) {
        error = systemError("cannot flush " + temp);
        ok = false;
    }
    close(fd);
    if (ok && renameat(dir, temp.c_str(), dir, name.c_str()) != 0) {
        error = systemError("cannot rename " + temp + " to " + name);
        ok = false;
    }
    if (!ok)
        unlinkat(dir, temp.c_str(), 0);
    return ok;
}

} // namespace

SnapshotDirectory::~SnapshotDirectory() {
    if (saved_ >= 0)
        close(saved_);
    if (dir_ >= 0)
        close(dir_);
}

bool SnapshotDirectory::open(const std::string &path, std::string &error) {
    const bool made = mkdir(path.c_str(), 0755) == 0;
    if (!made && errno != EEXIST) {
        error = systemError("cannot make " + path);
        return false;
    }
    dir_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir_ < 0) {
        error = systemError("cannot open " + path);
        return false;
    }
    // Readers must reach their files whatever the umask was.
    if (made)
        fchmod(dir_, 0755);
    if (!safeFolder(dir_, 0755, error, path))
        return false;
    if (mkdirat(dir_, kSavedFolder, 0700) != 0 && errno != EEXIST) {
        error = systemError("cannot make " + path + "/" + kSavedFolder);
        return false;
    }
    saved_ = openat(dir_, kSavedFolder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (saved_ < 0) {
        error = systemError("cannot open " + path + "/" + kSavedFolder);
        return false;
    }
    return safeFolder(saved_, 0700, error, path + "/" + kSavedFolder);
}

bool SnapshotDirectory::write(uid_t uid, std::string_view text, std::string &error) {
    const std::string name = std::to_string(uid);
    return writeAtomically(dir_, name, text, uid, error) &&
           writeAtomically(saved_, name, text, geteuid(), error);
}

std::optional<std::string> SnapshotDirectory::savedCopy(uid_t uid) const {
    const int fd = openat(saved_, std::to_string(uid).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<std::string> text;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
        st.st_size <= kMaxSavedBytes) {
        std::string buffer(static_cast<std::size_t>(st.st_size), '\0');
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = read(fd, buffer.data() + done, buffer.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        buffer.resize(done);
        text = std::move(buffer);
    }
    close(fd);
    return text;
}

} // namespace byteward::appstats
