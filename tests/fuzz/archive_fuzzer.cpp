// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The keyed archives: the history and the custom counters. Any bytes either decode to records
// or leave the file aside; a store that decoded takes a new record without losing the old ones.
#include "fuzz_env.h"
#include "model/custom_counter.h"
#include "model/history.h"
#include "storage/keyed_archive.h"
#include "storage/plist_codec.h"

using namespace byteward;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view bytes = fuzz::asText(data, size);
    if (auto archive = KeyedArchive::decode(bytes)) {
        // Whatever decoded encodes and decodes again.
        const std::string encoded = archive->encode();
        if (!KeyedArchive::decode(encoded)) fuzz::fail("our own archive did not decode again");
        // Archives are written without their property-list tree; the bytes must be the tree's.
        if (encoded != toBinaryPropertyList(archive->toPropertyList()))
            fuzz::fail("an archive written directly differs from its property list's bytes");
    }

    auto &env = fuzz::freshEnv();
    test::writeFile(History::archivePath(env.services()), std::string(bytes));
    test::writeFile(CustomCounter::archivePath(env.services()), std::string(bytes));

    const auto logs = History::getAllHistoryLogs(env.services());
    if (!History::addNewHistoryItemLog(env.services(), History{}) ||
        History::getAllHistoryLogs(env.services()).size() != logs.size() + 1)
        fuzz::fail("adding a history log lost or kept other logs");

    const auto counters = CustomCounter::getAllCustomCounters(env.services());
    // Written or not (a damaged archive set aside is left alone), no counter may be lost.
    (void)CustomCounter::updateCustomCountersWithDataSentSinceLastRun(env.services(), 1.0, 2.0,
                                                                      "cellular");
    // An update may add the sample counter to an empty list, but never loses one.
    if (CustomCounter::getAllCustomCounters(env.services()).size() < counters.size())
        fuzz::fail("an update lost counters");
    return 0;
}
