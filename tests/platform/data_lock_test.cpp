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

TEST(DataLock, AnotherProcessWaitsAndThenSaysClearlyWhyItGaveUp) {
    test::TempDir dir;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DataLock held(dir.path(), 1s);
        char byte = 1;
        (void)!write(ready[1], &byte, 1);
        usleep(600'000);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    try {
        DataLock blocked(dir.path(), 100ms);
        ADD_FAILURE() << "took a lock another process holds";
    } catch (const LockTimeout &error) {
        EXPECT_NE(std::string(error.what()).find("another Byteward process"), std::string::npos);
    }
    // Once the holder is gone, the lock is free again.
    DataLock later(dir.path(), 5s);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    close(ready[0]);
    close(ready[1]);
}

TEST(DataLock, AWaitLimitMakesTheThreadGiveUpInsteadOfWaitingTheHolderOut) {
    test::TempDir dir;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DataLock held(dir.path(), 1s);
        char byte = 1;
        (void)!write(ready[1], &byte, 1);
        usleep(1'500'000);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    {
        DataLock::WaitLimit window(50ms);
        // Without the limit this would wait up to ten seconds and get the lock.
        EXPECT_THROW(DataLock blocked(dir.path()), LockTimeout);
    }
    // The limit ends with its scope: the default wait outlasts the holder again.
    EXPECT_NO_THROW(DataLock later(dir.path()));
    int status = 0;
    waitpid(child, &status, 0);
    close(ready[0]);
    close(ready[1]);
}

} // namespace
} // namespace byteward
