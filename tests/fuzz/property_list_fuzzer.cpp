// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Property lists as the record and defaults files hold them: any bytes either fail to parse or
// give a value that survives writing and reading again in both forms. Our XML reader and writer
// must agree with libplist's wherever ours reads a document itself.
#include "fuzz_env.h"
#include "storage/plist_codec.h"

using namespace byteward;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view input = fuzz::asText(data, size);
    if (const auto direct = parseXmlPropertyListWithoutFallback(input)) {
        const auto theirs = parsePropertyListWithLibplist(input);
        if (!theirs || !test::sameValue(*direct, *theirs))
            fuzz::fail("our XML reader and libplist's read the document differently");
    }
    const auto parsed = parsePropertyList(input);
    if (!parsed) return 0;
    const std::string xml = toXmlPropertyList(*parsed);
    if (xml != toXmlPropertyListWithLibplist(*parsed))
        fuzz::fail("our XML writer and libplist's differ:\n" + xml + "\nlibplist's:\n" +
                   toXmlPropertyListWithLibplist(*parsed));
    const auto fromXml = parsePropertyList(xml);
    if (!fromXml) fuzz::fail("our own XML did not parse again");
    const std::string binary = toBinaryPropertyList(*parsed);
    const auto fromBinary = parsePropertyList(binary);
    if (!fromBinary) fuzz::fail("our own binary property list did not parse again");
    // A second round must be stable: the first may normalise (key order, number kinds).
    const std::string viaBinary = toXmlPropertyList(*fromBinary);
    const std::string viaXml = toXmlPropertyList(*fromXml);
    if (viaBinary != viaXml)
        fuzz::fail("XML and binary forms disagree:\n" + viaXml + "\nthrough the binary form:\n" +
                   viaBinary);
    return 0;
}
