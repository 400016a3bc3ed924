// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The keyed archives: the history and the custom counters. Any bytes either decode to records
// or leave the file aside; a store that decoded takes a new record without losing the old ones.
#include "fuzz_env.h"
#include "model/custom_counter.h"
#include "model/history.h"
#include "storage/keyed_archive.h"
#include "storage/plist_codec.h"
#include "support/archive_compare.h"

using namespace byteward;

namespace {

// Binary archives are read straight from their bytes; the property-list tree is the reference.
void compareWithTheTree(std::string_view bytes) {
    const auto plist = parsePropertyList(bytes);
    const auto tree = plist ? KeyedArchive::fromPropertyList(*plist) : std::nullopt;
    const auto direct = KeyedArchive::decodeDirectly(bytes);
    if (bytes.substr(0, 8) != "bplist00") {
        if (direct) fuzz::fail("XML was read as a binary archive");
        return;
    }
    if (BinaryPlistView::open(bytes).has_value() != plist.has_value())
        fuzz::fail("a view and the reader disagree on whether the property list reads");
    if (direct.has_value() != tree.has_value())
        fuzz::fail("the archive read straight and through the tree disagree on whether it reads");
    if (direct && !test::identical(direct->fields(), tree->fields()))
        fuzz::fail("the archive read straight differs from the one read through the tree");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view bytes = fuzz::asText(data, size);
    compareWithTheTree(bytes);
    if (auto archive = KeyedArchive::decode(bytes)) {
        // Whatever decoded encodes and decodes again.
        const std::string encoded = archive->encode();
        if (!KeyedArchive::decode(encoded)) fuzz::fail("our own archive did not decode again");
        compareWithTheTree(encoded);
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
