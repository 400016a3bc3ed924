// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/data_lock.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace byteward {
namespace {

using namespace std::chrono_literals;

TEST(DataLock, NestedHoldersInOneProcessDoNotDeadlock) {
    test::TempDir dir;
    DataLock outer(dir.path(), 200ms);
    DataLock inner(dir.path(), 200ms);
    SUCCEED();
}

// A child process that holds the lock for a while; the constructor returns once it holds it.
class HeldElsewhere {
  public:
    HeldElsewhere(const std::filesystem::path &dir, useconds_t holdFor) {
        int ready[2];
        if (pipe(ready) != 0) return;
        child_ = fork();
        if (child_ == 0) {
            DataLock held(dir, 1s);
            char byte = 1;
            (void)!write(ready[1], &byte, 1);
            usleep(holdFor);
            _exit(0);
        }
        char byte = 0;
        held_ = child_ > 0 && read(ready[0], &byte, 1) == 1;
        close(ready[0]);
        close(ready[1]);
    }
    ~HeldElsewhere() { finished(); }
    HeldElsewhere(const HeldElsewhere &) = delete;
    HeldElsewhere &operator=(const HeldElsewhere &) = delete;

    bool held() const { return held_; }
    // Waits for the child; true when it ended normally.
    bool finished() {
        if (child_ <= 0) return false;
        int status = 0;
        waitpid(child_, &status, 0);
        child_ = -1;
        return WIFEXITED(status);
    }

  private:
    pid_t child_ = -1;
    bool held_ = false;
};

TEST(DataLock, AnotherProcessWaitsAndThenSaysClearlyWhyItGaveUp) {
    test::TempDir dir;
    HeldElsewhere other(dir.path(), 600'000);
    ASSERT_TRUE(other.held());
    try {
        DataLock blocked(dir.path(), 100ms);
        ADD_FAILURE() << "took a lock another process holds";
    } catch (const LockTimeout &error) {
        EXPECT_NE(std::string(error.what()).find("another Byteward process"), std::string::npos);
    }
    // Once the holder is gone, the lock is free again.
    DataLock later(dir.path(), 5s);
    EXPECT_TRUE(other.finished());
}

TEST(DataLock, AWaitLimitMakesTheThreadGiveUpInsteadOfWaitingTheHolderOut) {
    test::TempDir dir;
    HeldElsewhere other(dir.path(), 1'500'000);
    ASSERT_TRUE(other.held());
    {
        DataLock::WaitLimit window(50ms);
        // Without the limit this would wait up to ten seconds and get the lock.
        EXPECT_THROW(DataLock blocked(dir.path()), LockTimeout);
    }
    // The limit ends with its scope: the default wait outlasts the holder again.
    EXPECT_NO_THROW(DataLock later(dir.path()));
}

} // namespace
} // namespace byteward
