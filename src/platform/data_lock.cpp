// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/data_lock.h"

#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace byteward {

namespace {

// flock() locks belong to an open file, so a second open in the same process would block on
// the first. One descriptor per lock file, counted, makes the lock re-entrant.
struct HeldLock {
    int fd = -1;
    int depth = 0;
};

std::recursive_mutex &processMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

std::map<std::string, HeldLock> &heldLocks() {
    static std::map<std::string, HeldLock> locks;
    return locks;
}

// The cap WaitLimit sets on this thread; the largest wait means none.
thread_local std::chrono::milliseconds threadWaitLimit = std::chrono::milliseconds::max();
// Under a cap, a lock that was just found held is tried once, without waiting, until then: one
// action takes the lock many times, and each would otherwise wait the cap again.
// A time_point's default constructor cannot throw, though it is not marked noexcept.
// NOLINTNEXTLINE(cert-err58-cpp)
thread_local std::chrono::steady_clock::time_point threadBusyUntil{};

std::string lockPath(const std::filesystem::path &dataDir) {
    return (dataDir / DataLock::kFileName).string();
}

} // namespace

DataLock::WaitLimit::WaitLimit(std::chrono::milliseconds limit) : previous_(threadWaitLimit) {
    threadWaitLimit = limit;
}

DataLock::WaitLimit::~WaitLimit() {
    threadWaitLimit = previous_;
}

DataLock::DataLock(const std::filesystem::path &dataDir, std::chrono::milliseconds wait) {
    const bool capped = wait > threadWaitLimit;
    wait = std::min(wait, threadWaitLimit);
    if (capped && std::chrono::steady_clock::now() < threadBusyUntil) wait = std::chrono::milliseconds(0);
    processMutex().lock();
    path_ = lockPath(dataDir);
    const std::string &path = path_;
    HeldLock &held = heldLocks()[path];
    if (held.depth > 0) {
        ++held.depth;
        return;
    }
    auto giveUp = [&](const std::string &message) {
        heldLocks().erase(path);
        processMutex().unlock();
        throw LockTimeout(message);
    };
    if (!ensurePrivateDirectory(dataDir))
        giveUp("cannot create the data directory " + dataDir.string());
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) giveUp("cannot open the lock file " + path + ": " + std::strerror(errno));

    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const std::string reason = std::strerror(errno);
            ::close(fd);
            // NOLINTNEXTLINE(performance-inefficient-string-concatenation): once, on the way out.
            giveUp("cannot lock " + path + ": " + reason);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            if (capped) threadBusyUntil = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.1f",
                          static_cast<double>(wait.count()) / 1000.0);
            std::string message = std::string(kHeldText) + " ";
            message.append(path).append(" for more than ").append(seconds);
            message.append(" s; try again when it has finished");
            giveUp(message);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    held.fd = fd;
    held.depth = 1;
}

DataLock::~DataLock() {
    // The constructor left the process mutex locked once for this holder.
    auto &locks = heldLocks();
    if (auto it = locks.find(path_); it != locks.end() && --it->second.depth == 0) {
        ::flock(it->second.fd, LOCK_UN);
        ::close(it->second.fd);
        locks.erase(it);
    }
    processMutex().unlock();
}

} // namespace byteward
