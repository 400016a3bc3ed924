// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/boot_clock.h"
#include "support/test_env.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace byteward {
namespace {

struct EnvGuard {
    explicit EnvGuard(const char *name) : name_(name) {}
    ~EnvGuard() { unsetenv(name_); }
    const char *name_;
};

TEST(ProcBootClock, ReadsTheBootInstantOrSaysWhyNot) {
    struct Case {
        const char *stat;       // contents of proc/stat, or nullptr for none
        const char *overrideTo; // BYTEWARD_BOOT_TIME, or nullptr
        std::int64_t expected;
        bool logs;
    };
    const Case cases[] = {
        {"cpu  1 2 3\nbtime 1765000000\nprocesses 5\n", nullptr, 1'765'000'000, false},
        {"cpu  1 2 3\n", nullptr, -1, true},
        {"btime soon\n", nullptr, -1, true},
        {nullptr, nullptr, -1, true},
        {"btime 1765000000\n", "1700000000", 1'700'000'000, false},
        {"btime 1765000000\n", "yesterday", -1, true},
    };
    for (const auto &c : cases) {
        test::TempDir proc;
        test::CapturingLog log;
        if (c.stat != nullptr) test::writeFile(proc.path() / "stat", c.stat);
        EnvGuard guard("BYTEWARD_BOOT_TIME");
        if (c.overrideTo != nullptr) setenv("BYTEWARD_BOOT_TIME", c.overrideTo, 1);
        EXPECT_EQ(ProcBootClock(log, proc.path()).bootTime(), c.expected)
            << (c.stat ? c.stat : "(no file)");
        EXPECT_EQ(!log.lines.empty(), c.logs);
    }
}

TEST(ProcBootClock, BootIdComesFromTheKernelUnlessOverridden) {
    test::TempDir proc;
    test::CapturingLog log;
    ProcBootClock clock(log, proc.path());
    EXPECT_FALSE(clock.bootId().has_value());
    test::writeFile(proc.path() / "sys/kernel/random/boot_id",
                    "0b6f6c3c-1d2e-4f50-9a1b-2c3d4e5f6a7b\n");
    EXPECT_EQ(clock.bootId(), "0b6f6c3c-1d2e-4f50-9a1b-2c3d4e5f6a7b");
    EnvGuard guard("BYTEWARD_BOOT_ID");
    setenv("BYTEWARD_BOOT_ID", "second-boot", 1);
    EXPECT_EQ(clock.bootId(), "second-boot");
}

} // namespace
} // namespace byteward
