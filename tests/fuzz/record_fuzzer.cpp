// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A usage record file and the user defaults beside it: loading never crashes, a record that
// loads saves and loads again to the same fields, and a file that does not load is kept aside.
#include "fuzz_env.h"
#include "model/app_data.h"
#include "model/app_settings.h"
#include "storage/plist_codec.h"

using namespace byteward;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    auto &env = fuzz::freshEnv();
    const std::string bytes(fuzz::asText(data, size));
    // The same bytes as the record and as the defaults: both loaders take any property list.
    test::writeFile(env.paths().dataDir / "app_data_cellular.plist", bytes);
    test::writeFile(env.paths().configDir / "byteward.plist", bytes);

    AppSettings settings(env.services());
    settings.getSettings();
    env.defaults().dictionaryRepresentation();

    AppData record(env.services());
    record.getAppData("cellular");
    const std::string first = toXmlPropertyList(Value(record.toDictionary()));
    if (!std::filesystem::exists(env.paths().dataDir / "app_data_cellular.plist"))
        return 0; // kept aside
    if (!record.saveAppData()) fuzz::fail("could not save a record that loaded");
    AppData again(env.services());
    again.getAppData("cellular");
    if (toXmlPropertyList(Value(again.toDictionary())) != first)
        fuzz::fail("a record changed between saving and loading it");
    return 0;
}
