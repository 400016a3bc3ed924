#include "platform/files.h"
#include "support/test_env.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Temporary files of writers killed before their rename: only old ones of the same file go.
TEST(WriteFileAtomically, RemovesOnlyTheAbandonedTemporariesOfTheFileItWrites) {
    test::TempDir dir;
    struct Leftover {
        const char *name;
        std::chrono::minutes age;
        bool removed;
    };
    const Leftover leftovers[] = {
        {".history.archive.a1B2c3", 60min, true},         // abandoned by a killed writer
        {".history.archive.Zz9Yy8", 1min, false},         // may be a writer at work right now
        {".customcounters.archive.a1B2c3", 60min, false}, // another file's
        {".history.archive.toolong7", 60min, false},      // not a temporary of ours
        {"history.archive.unreadable-20261201T000000Z", 60min, false},
    };
    const auto now = fs::file_time_type::clock::now();
    for (const Leftover &l : leftovers) {
        test::writeFile(dir.path() / l.name, "partial");
        fs::last_write_time(dir.path() / l.name, now - l.age);
    }

    ASSERT_TRUE(writeFileAtomically(dir.path() / "history.archive", "whole").ok());

    EXPECT_EQ(readWholeFile(dir.path() / "history.archive"), "whole");
    for (const Leftover &l : leftovers)
        EXPECT_EQ(fs::exists(dir.path() / l.name), !l.removed) << l.name;
}

} // namespace
} // namespace byteward
