// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/test_env.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace byteward {
namespace {

using test::TestEnv;

TEST(PlistUserDefaults, AnotherProcessSeesAWriteAtOnce) {
    TestEnv env;
    auto other = env.openDefaultsAgain();
    EXPECT_FALSE(other->objectForKey("dataunit_settings"));
    env.defaults().setObject("dataunit_settings", Value("GB"));
    EXPECT_TRUE(env.defaults().synchronize());
    ASSERT_TRUE(other->objectForKey("dataunit_settings"));
    EXPECT_EQ(other->objectForKey("dataunit_settings")->stringValue(), "GB");
}

TEST(PlistUserDefaults, TwoWritersOfDifferentKeysBothKeepTheirs) {
    TestEnv env;
    auto other = env.openDefaultsAgain();
    // Both have read the (empty) store before either writes.
    EXPECT_FALSE(env.defaults().objectForKey("a"));
    EXPECT_FALSE(other->objectForKey("b"));
    env.defaults().setObject("a", Value(1));
    other->setObject("b", Value(2));
    EXPECT_TRUE(env.defaults().synchronize());
    EXPECT_TRUE(other->synchronize());
    auto third = env.openDefaultsAgain();
    EXPECT_EQ(third->objectForKey("a")->integerValue(), 1);
    EXPECT_EQ(third->objectForKey("b")->integerValue(), 2);
}

TEST(PlistUserDefaults, OnlyAChangeWritesANewFile) {
    // An atomic write puts a new file (a new inode) in place.
    const struct {
        const char *what;
        Value value;
        bool rewritten;
    } cases[] = {
        {"the same value again", Value("GB"), false},
        {"another value", Value("MB"), true},
        {"the same text as another kind", Value(1), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestEnv env;
        env.defaults().setObject("dataunit_settings", Value("GB"));
        ASSERT_TRUE(env.defaults().synchronize());
        const auto file = env.paths().configDir / "byteward.plist";
        struct stat old {};
        ASSERT_EQ(::stat(file.c_str(), &old), 0);
        auto other = env.openDefaultsAgain();
        other->setObject("dataunit_settings", c.value);
        EXPECT_TRUE(other->synchronize());
        struct stat now {};
        ASSERT_EQ(::stat(file.c_str(), &now), 0);
        EXPECT_EQ(now.st_ino != old.st_ino, c.rewritten);
        EXPECT_EQ(*env.defaults().objectForKey("dataunit_settings"), c.value);
    }
}

// A hold keeps a cycle's settings consistent and its disk reads to one; it must never hide this
// process's own writes, nor outlive its scope.
TEST(PlistUserDefaults, AReadHoldSeesOwnWritesAndOthersOnlyAfterIt) {
    TestEnv env;
    auto other = env.openDefaultsAgain();
    auto write = [](UserDefaults &to, const char *value) {
        to.setObject("dataunit_settings", Value(value));
        ASSERT_TRUE(to.synchronize());
    };
    auto seen = [&] { return env.defaults().objectForKey("dataunit_settings")->stringValue(); };
    write(*other, "MB");
    {
        const UserDefaultsReadHold hold(env.defaults());
        EXPECT_EQ(seen(), "MB");
        write(*other, "GB");
        EXPECT_EQ(seen(), "MB") << "another process's write shows within the hold";
        {
            const UserDefaultsReadHold nested(env.defaults());
            EXPECT_EQ(seen(), "MB");
        }
        EXPECT_EQ(seen(), "MB") << "the inner hold's end released the outer one";
        env.defaults().setObject("dataunit_settings", Value("KB"));
        EXPECT_EQ(seen(), "KB") << "a pending change of our own is hidden";
        ASSERT_TRUE(env.defaults().synchronize());
        EXPECT_EQ(seen(), "KB") << "our own write is hidden";
        write(*other, "TB");
    }
    EXPECT_EQ(seen(), "TB") << "the hold outlived its scope";
}

TEST(PlistUserDefaults, ValuesKeepTheirKind) {
    TestEnv env;
    const Instant date = instantFromSeconds(1'765'153'514);
    env.defaults().setObject("i", Value(3));
    env.defaults().setObject("r", Value(2.5));
    env.defaults().setObject("s", Value("x"));
    env.defaults().setObject("b", Value(false));
    env.defaults().setObject("d", Value(date));
    env.defaults().setObject("a", Value(ValueArray{Value("wwan*")}));
    env.defaults().synchronize();
    auto reader = env.openDefaultsAgain();
    EXPECT_TRUE(reader->objectForKey("i")->isInteger());
    EXPECT_TRUE(reader->objectForKey("r")->isReal());
    EXPECT_TRUE(reader->objectForKey("s")->isString());
    EXPECT_TRUE(reader->objectForKey("b")->isBool());
    EXPECT_EQ(*reader->objectForKey("d")->asDate(), date);
    EXPECT_TRUE(reader->objectForKey("a")->isArray());
}

TEST(PlistUserDefaults, RemovedKeyIsGoneForEveryReader) {
    TestEnv env;
    env.defaults().setObject("k", Value(1));
    env.defaults().synchronize();
    auto other = env.openDefaultsAgain();
    other->removeObjectForKey("k");
    EXPECT_FALSE(other->objectForKey("k"));
    other->synchronize();
    EXPECT_FALSE(env.defaults().objectForKey("k"));
}

TEST(PlistUserDefaults, UnreadableFileIsKeptAsideNotOverwritten) {
    TestEnv env;
    auto &defaults = dynamic_cast<PlistUserDefaults &>(env.defaults());
    test::writeFile(defaults.filePath(), "this is not a property list");
    EXPECT_FALSE(defaults.objectForKey("anything"));
    defaults.setObject("k", Value(1));
    defaults.synchronize();
    int aside = 0;
    for (const auto &entry : std::filesystem::directory_iterator(env.paths().configDir)) {
        if (entry.path().filename().string().find(".unreadable-") != std::string::npos) {
            ++aside;
            std::ifstream in(entry.path());
            std::string text((std::istreambuf_iterator<char>(in)), {});
            EXPECT_EQ(text, "this is not a property list");
        }
    }
    EXPECT_EQ(aside, 1);
    EXPECT_TRUE(env.log.contains("kept it as"));
}

} // namespace
} // namespace byteward
