// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

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

// Sizes around the read buffer's first guess and its growth, and kernel files whose claimed size
// (4096, or 0) is not what they hold.
TEST(ReadWholeFile, ReadsEveryByteWhateverSizeTheFileClaims) {
    test::TempDir dir;
    for (const std::size_t size : {0UL, 1UL, 2235UL, 4095UL, 4096UL, 4097UL, 300'000UL}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>('a' + i % 26);
        const fs::path file = dir.path() / ("f" + std::to_string(size));
        test::writeFile(file, bytes);
        EXPECT_EQ(readWholeFile(file), bytes) << size << " bytes";
    }
    for (const char *kernelFile : {"/proc/self/status", "/proc/self/maps"}) {
        const auto bytes = readWholeFile(kernelFile);
        ASSERT_TRUE(bytes) << kernelFile;
        EXPECT_GT(bytes->size(), 100u) << kernelFile;
        EXPECT_EQ(bytes->back(), '\n') << kernelFile << " read to its end";
    }
}

// Batched writes are in place at once; only their folder's flush waits for the batch's end.
TEST(DirectoryFlushBatch, WritesInABatchAreInPlaceAtOnceAndBatchesNest) {
    test::TempDir dir;
    const fs::path a = dir.path() / "app_data_cellular.plist";
    const fs::path b = dir.path() / "sub" / "app_data_wifi.plist";
    fs::create_directories(b.parent_path());
    {
        const DirectoryFlushBatch outer;
        ASSERT_TRUE(writeFileAtomically(a, "one", kPrivateToUser, DirectoryFlush::InBatch).ok());
        {
            const DirectoryFlushBatch inner;
            ASSERT_TRUE(
                writeFileAtomically(b, "two", kPrivateToUser, DirectoryFlush::InBatch).ok());
        }
        EXPECT_EQ(readWholeFile(a), "one");
        EXPECT_EQ(readWholeFile(b), "two");
        // A folder gone before the batch ends costs its flush, nothing else.
        fs::remove_all(b.parent_path());
    }
    // Without a batch the folder is flushed at once.
    ASSERT_TRUE(writeFileAtomically(a, "three", kPrivateToUser, DirectoryFlush::InBatch).ok());
    EXPECT_EQ(readWholeFile(a), "three");
    EXPECT_EQ(fs::status(a).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

// A daemon retrying a full disk every minute tells of it once, and again only when it changes.
TEST(NoteWrite, TellsEachFailingConditionOnceUntilTheFileIsWrittenAgain) {
    struct Step {
        const char *file;
        const char *error; // empty: written
        bool told;
        const char *lastFailure; // empty: none
    };
    const Step steps[] = {
        {"/d/a", "a: write failed: No space left on device", true,
         "a: write failed: No space left on device"},
        {"/d/a", "a: write failed: No space left on device", false,
         "a: write failed: No space left on device"},
        {"/d/b", "b: write failed: No space left on device", true,
         "b: write failed: No space left on device"},
        {"/d/a", "a: write failed: File too large", true, "a: write failed: File too large"},
        {"/d/a", "", false, "b: write failed: No space left on device"},
        {"/d/b", "", false, ""},
        {"/d/a", "a: write failed: File too large", true, "a: write failed: File too large"},
        {"/d/a", "", false, ""},
    };
    test::CapturingLog log;
    std::vector<std::string> told;
    setWriteFailureListener([&told](const std::string &reason) { told.push_back(reason); });
    for (const Step &step : steps) {
        SCOPED_TRACE(std::string(step.file) + " " + step.error);
        const std::size_t toldBefore = told.size();
        const std::size_t linesBefore = log.lines.size();
        const FileResult result = noteWrite(log, step.file, FileResult::failure(step.error));
        EXPECT_EQ(result.error, step.error) << "the outcome is handed back unchanged";
        EXPECT_EQ(told.size() - toldBefore, step.told ? 1u : 0u);
        if (step.told) {
            EXPECT_EQ(told.back(), step.error);
            EXPECT_EQ(log.lines.back(), std::string("Writing data to file failed: ") + step.error);
        } else if (*step.error != '\0') {
            EXPECT_EQ(log.lines.size(), linesBefore);
        }
        EXPECT_EQ(lastWriteFailure().value_or(""), step.lastFailure);
    }
    setWriteFailureListener({});
}

} // namespace
} // namespace byteward
