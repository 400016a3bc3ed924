// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mime_writer.h"
#include "platform/module.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

// What cannot be loaded is an error that says what was looked for, never a crash.
TEST(Module, AMissingModuleOrFactoryIsAnErrorNamingIt) {
    const struct {
        const char *file;
        const char *symbol;
        const char *named;
    } cases[] = {
        {"byteward-absent.so", kMimeWriterFactory, "byteward-absent.so"},
        {kMimeModule, "byteward_absent_factory", "byteward_absent_factory"},
    };
    for (const auto &c : cases) {
        for (int attempt = 0; attempt < 2; ++attempt) {
            std::string error;
            EXPECT_EQ(moduleInterface<MimeWriter>(c.file, c.symbol, error), nullptr);
            EXPECT_NE(error.find(c.named), std::string::npos) << error;
        }
    }
    std::string error;
    EXPECT_NE(moduleInterface<MimeWriter>(kMimeModule, kMimeWriterFactory, error), nullptr)
        << "the module that failed to give an absent factory still gives its own: " << error;
}

} // namespace
} // namespace byteward
