// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The settings schema: any bytes give sections or an error, and every row parsed can be shown.
#include "fuzz_env.h"
#include "screens/settings/settings_view_controller.h"

using namespace byteward;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string error;
    auto sections = SettingsViewController::parseSchema(fuzz::asText(data, size), error);
    if (sections.empty()) return 0;
    static test::TestEnv env;
    SettingsViewController screen(env.services(), std::move(sections));
    for (const auto &section : screen.sections()) {
        for (const auto &row : section.rows) {
            screen.displayValue(row);
            if (row.kind == SettingsRow::Kind::Choice && row.titles.size() != row.values.size())
                fuzz::fail("a choice row with " + std::to_string(row.titles.size()) +
                           " titles for " + std::to_string(row.values.size()) + " values");
        }
    }
    return 0;
}
