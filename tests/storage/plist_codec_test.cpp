// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/plist_codec.h"
#include "support/test_env.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>
#include <random>

namespace byteward {
namespace {

Value sampleDictionary() {
    ValueDict inner;
    inner.set("n", Value(-42));
    ValueDict d;
    d.set("zeta", Value(true));
    d.set("alpha", Value(1.5));
    d.set("count", Value(5'000'000'000LL));
    d.set("negative", Value(-1));
    d.set("text", Value("héllo <&>"));
    d.set("date", Value(instantFromSeconds(1'765'153'514.25)));
    d.set("old", Value(instantFromSeconds(946'684'800.5))); // 2000-01-01, before the plist epoch
    d.set("list", Value(ValueArray{Value(1), Value("two"), Value(false)}));
    d.set("inner", Value(inner));
    d.set("uid", Value(Uid{7}));
    return Value(d);
}

TEST(PlistCodec, BinaryRoundTripKeepsEveryKindAndValue) {
    const Value original = sampleDictionary();
    const auto back = parsePropertyList(toBinaryPropertyList(original));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, original);
}

TEST(PlistCodec, BinaryRoundTripKeepsLongContainersAndTextOutsideAscii) {
    // Counts of 15 and more, references wider than a byte, strings that need UTF-16 (one
    // outside the basic plane, one not valid UTF-8) and many equal values that are stored once.
    const struct {
        const char *what;
        Value value;
        std::optional<Value> expected; // when it reads back differently
    } cases[] = {
        {"fifteen items", Value(ValueArray(15, Value(1.5))), {}},
        {"300 distinct items",
         Value([] {
             ValueArray a;
             for (int i = 0; i < 300; ++i)
                 a.emplace_back("item " + std::to_string(i));
             return a;
         }()),
         {}},
        {"70,000 dictionaries",
         Value([] {
             ValueArray a;
             for (int i = 0; i < 70'000; ++i) {
                 ValueDict d;
                 d.set("n", Value(i));
                 d.set("when", Value(instantFromSeconds(1'450'000'000.0 + 60.0 * i)));
                 a.emplace_back(std::move(d));
             }
             return a;
         }()),
         {}},
        {"text outside ASCII",
         Value(ValueArray{Value("Zürich, Bayern"), Value("\xF0\x9F\x93\xB6 LTE"),
                          Value(std::string(20, 'x') + "\xC3\xA9")}),
         {}},
        {"long data and a wide UID",
         Value(ValueArray{Value(ValueData(40, 0xAB)), Value(Uid{70'000}), Value(-5'000'000'000LL)}),
         {}},
        {"invalid UTF-8 becomes a replacement character",
         Value("a\xFF"
               "b"),
         Value("a\xEF\xBF\xBD"
               "b")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto back = parsePropertyList(toBinaryPropertyList(c.value));
        ASSERT_TRUE(back.has_value());
        // Compared whole, printed only in part: some of these are long.
        EXPECT_TRUE(*back == c.expected.value_or(c.value)) << back->stringValue();
    }
}

TEST(PlistCodec, XmlRoundTripKeepsKindsAndKeyOrder) {
    ValueDict d = *sampleDictionary().asDict();
    d.erase("uid"); // UIDs only live in binary archives
    // XML dates carry whole seconds.
    d.set("date", Value(instantFromSeconds(1'765'153'514)));
    d.set("old", Value(instantFromSeconds(946'684'800)));
    const auto back = parsePropertyList(toXmlPropertyList(Value(d)));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, Value(d));
    std::vector<std::string> keys;
    for (const auto &entry : *back->asDict())
        keys.push_back(entry.first);
    EXPECT_EQ(keys.front(), "zeta");
    EXPECT_EQ(keys[1], "alpha");
    EXPECT_TRUE(back->asDict()->find("alpha")->isReal());
    EXPECT_TRUE(back->asDict()->find("count")->isInteger());
}

TEST(PlistCodec, RejectsWhatIsNotAPropertyList) {
    for (const char *bytes :
         {"", "hello", "<?xml version=\"1.0\"?><plist><dict><key>a</key>", "bplist00garbage"}) {
        EXPECT_FALSE(parsePropertyList(bytes).has_value()) << bytes;
    }
}

TEST(PlistCodec, DamagedBinaryFilesAreRefusedNotFatal) {
    const std::string good = toBinaryPropertyList(sampleDictionary());
    // Every byte changed to a few telling values: a parse may succeed or fail, never abort.
    int refused = 0;
    for (std::size_t i = 0; i < good.size(); ++i) {
        for (const unsigned char replacement : {0x00, 0xFF, 0x5F, 0x6F}) {
            std::string damaged = good;
            damaged[i] = static_cast<char>(replacement);
            if (!parsePropertyList(damaged)) ++refused;
        }
        EXPECT_FALSE(parsePropertyList(std::string_view(good).substr(0, i)).has_value() && i < 40);
    }
    EXPECT_GT(refused, 0);
}

TEST(PlistCodec, DamagedXmlIsRefusedNotFatal) {
    // libplist aborts the process on a string holding a NUL; the fuzzer found this in a
    // damaged settings file.
    const std::string withNul = std::string("<plist><dict><key>title</key><string>A") +
                                std::string(1, '\0') + "B</string></dict></plist>";
    EXPECT_FALSE(parsePropertyList(withNul).has_value());
    // As an entity it is only text to the reader: it parses or not, but does not abort.
    parsePropertyList("<plist><dict><key>t</key><string>A&#0;B</string></dict></plist>");
}

TEST(PlistCodec, DatesFarInThePastAndFutureKeepTheirValue) {
    // libplist passes dates as 32-bit seconds since 2001 and turned every date outside
    // 1933-12-13 to 2069-01-19 into 1933: an end date in 2100 came back long past.
    struct Case {
        const char *name;
        double seconds; // since 1970
    } cases[] = {
        {"year 2100", 4'102'444'800},
        {"year 1800", -5'364'662'400},
        {"year 9999", 253'402'300'799},
        {"the last second libplist passes as it is", kPlistEpochOffset + INT32_MAX - 1},
        {"the first second past it", kPlistEpochOffset + INT32_MAX + 1.0},
        {"2026 with a fraction", 1'765'153'514.25},
    };
    for (const auto &c : cases) {
        ValueDict d;
        d.set("endDate", Value(instantFromSeconds(c.seconds)));
        const auto fromBinary = parsePropertyList(toBinaryPropertyList(Value(d)));
        ASSERT_TRUE(fromBinary.has_value()) << c.name;
        EXPECT_EQ(*fromBinary->asDict()->find("endDate")->asDate(), instantFromSeconds(c.seconds))
            << c.name;
        // XML dates hold whole seconds.
        const auto fromXml = parsePropertyList(toXmlPropertyList(Value(d)));
        ASSERT_TRUE(fromXml.has_value()) << c.name;
        EXPECT_EQ(secondsSince1970(*fromXml->asDict()->find("endDate")->asDate()),
                  std::floor(c.seconds))
            << c.name;
    }
    const auto farXml = parsePropertyList(
        "<plist><dict><key>d</key><date>2100-01-01T00:00:00Z</date></dict></plist>");
    ASSERT_TRUE(farXml.has_value());
    EXPECT_EQ(*farXml->asDict()->find("d")->asDate(), instantFromSeconds(4'102'444'800));

    // Beyond the year 9999 neither form reads back; such dates are held at its end.
    ValueDict absurd;
    absurd.set("d", Value(instantFromSeconds(9e12)));
    for (const auto &bytes :
         {toBinaryPropertyList(Value(absurd)), toXmlPropertyList(Value(absurd))}) {
        const auto back = parsePropertyList(bytes);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back->asDict()->find("d")->asDate(), instantFromSeconds(253'402'300'799));
    }
}

TEST(PlistCodec, TextThatIsNotUtf8ComesBackAlikeFromBothForms) {
    // Stray bytes are replaced by U+FFFD; before, the binary form turned them into other text
    // and the XML form into a file that did not read back.
    const std::string replacement = "\xEF\xBF\xBD";
    struct Case {
        std::string written;
        std::string read;
    } cases[] = {
        {"caf\xC3\xA9 \xF0\x9F\x93\xB6", "caf\xC3\xA9 \xF0\x9F\x93\xB6"},
        {"Trip\xFF", "Trip" + replacement},
        {"cut \xE2\x82", "cut " + replacement + replacement},
        {"overlong \xC0\xAF", "overlong " + replacement + replacement},
        {"surrogate \xED\xA0\x80", "surrogate " + replacement + replacement + replacement},
    };
    for (const auto &c : cases) {
        ValueDict d;
        d.set(c.written, Value(c.written));
        for (const auto &bytes : {toBinaryPropertyList(Value(d)), toXmlPropertyList(Value(d))}) {
            const auto back = parsePropertyList(bytes);
            ASSERT_TRUE(back.has_value()) << c.read;
            const Value *value = back->asDict()->find(c.read);
            ASSERT_NE(value, nullptr) << c.read;
            EXPECT_EQ(*value->asString(), c.read);
        }
    }
}

// Bytes of a number, most significant first.
std::string be(std::uint64_t value, unsigned width) {
    std::string bytes;
    for (unsigned i = width; i-- > 0;)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return bytes;
}

std::string bytesOf(std::initializer_list<int> values) {
    std::string bytes;
    for (const int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

// A binary property list put together by hand: its objects in order, the first the root.
std::string handMade(const std::vector<std::string> &objects, unsigned refSize = 1,
                     unsigned offsetSize = 1) {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const auto &object : objects) {
        offsets.push_back(out.size());
        out += object;
    }
    const std::uint64_t table = out.size();
    for (const auto offset : offsets)
        out += be(offset, offsetSize);
    out += std::string(6, '\0') + static_cast<char>(offsetSize) + static_cast<char>(refSize);
    out += be(objects.size(), 8) + be(0, 8) + be(table, 8);
    return out;
}

// A container's marker with its count, and its references.
std::string container(int kind, const std::vector<std::uint64_t> &refs, unsigned refSize = 1,
                      std::size_t count = SIZE_MAX) {
    const std::size_t n = count == SIZE_MAX ? refs.size() / (kind == 0xD ? 2 : 1) : count;
    std::string out;
    if (n < 15) {
        out.push_back(static_cast<char>((kind << 4) | static_cast<int>(n)));
    } else {
        out.push_back(static_cast<char>((kind << 4) | 0xF));
        out += "\x13" + be(n, 8);
    }
    for (const auto ref : refs)
        out += be(ref, refSize);
    return out;
}

std::string real64(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return "\x23" + be(bits, 8);
}

std::string date64(double seconds) {
    std::string date = real64(seconds);
    date[0] = '\x33';
    return date;
}

std::string utf16(std::initializer_list<std::uint16_t> units) {
    std::string out = container(0x6, {}, 1, units.size());
    for (const auto unit : units)
        out += be(unit, 2);
    return out;
}

// An array of one object, so every kind can be the item it is in real files.
std::string inArray(const std::string &object) {
    return handMade({container(0xA, {1}), object});
}

TEST(PlistCodec, BinaryReaderAgreesWithLibplist) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::string wideRefs = [] {
        // 300 objects need references of two bytes; offsets of three bytes are odd but valid.
        std::vector<std::string> objects;
        std::vector<std::uint64_t> refs;
        for (std::uint64_t i = 1; i <= 300; ++i) {
            objects.push_back("\x10" + be(i % 256, 1));
            refs.push_back(i);
        }
        objects.insert(objects.begin(), container(0xA, refs, 2));
        return handMade(objects, 2, 3);
    }();
    const std::string nested = [] {
        Value v(1);
        for (int i = 0; i < 100; ++i)
            v = Value(ValueArray{v, Value("level " + std::to_string(i))});
        return toBinaryPropertyList(v);
    }();
    const std::string history = [] {
        ValueArray logs;
        for (int i = 0; i < 2000; ++i) {
            ValueDict d;
            d.set("startDate", Value(instantFromSeconds(1'450'000'000.0 + 86'400.0 * i)));
            d.set("dataTotal", Value(3e6 + i));
            d.set("uniqueId", Value("id-" + std::to_string(i)));
            d.set("$class", Value(Uid{static_cast<std::uint64_t>(i % 3)}));
            logs.emplace_back(std::move(d));
        }
        return toBinaryPropertyList(Value(std::move(logs)));
    }();
    const struct {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"every kind our writer stores", toBinaryPropertyList(sampleDictionary())},
        {"a history-like list of 2,000 dictionaries", history},
        {"100 levels of nesting", nested},
        {"references of two bytes and offsets of three", wideRefs},
        {"text outside ASCII and outside the basic plane",
         toBinaryPropertyList(Value(ValueArray{Value("Zürich"), Value("\xF0\x9F\x93\xB6 LTE"),
                                               Value(std::string(40, 'y') + "\xC3\xA9")}))},
        {"integers of 1, 2, 4 and 8 bytes",
         handMade({container(0xA, {1, 2, 3, 4, 5}), "\x10\xFF", "\x11\xFF\xFE",
                   "\x12" + be(0xFFFFFFFF, 4), "\x13" + be(0xFFFFFFFFFFFFFFFF, 8),
                   "\x13" + be(0x7FFFFFFFFFFFFFFF, 8)})},
        {"an integer of 16 bytes", inArray("\x14" + be(1, 8) + be(42, 8))},
        {"reals of 4 and 8 bytes", handMade({container(0xA, {1, 2, 3}), "\x22" + be(0x3FC00000, 4),
                                             real64(-0.1), real64(1e308)})},
        {"dates before 2001 with a fraction", inArray(date64(-31'536'000.75))},
        {"dates after 2001 with a fraction", inArray(date64(786'845'114.25))},
        {"a date at libplist's last whole second", inArray(date64(2147483647.5))},
        {"a date at libplist's first whole second", inArray(date64(-2147483648.5))},
        {"a date in the year 2200", inArray(date64(6'311'390'400.0))},
        {"a date beyond the year 9999", inArray(date64(1e300))},
        {"infinite dates", handMade({container(0xA, {1, 2}), date64(inf), date64(-inf)})},
        {"a date that is not a number", inArray(date64(nan))},
        {"a surrogate pair", inArray(utf16({0x41, 0xD83D, 0xDCF6}))},
        {"a lead surrogate alone at the end", inArray(utf16({0x41, 0xD83D}))},
        {"a trail surrogate alone", inArray(utf16({0xDCF6, 0x42}))},
        {"two lead surrogates, then a trail", inArray(utf16({0xD83D, 0xD83D, 0xDCF6, 0x43}))},
        {"a lead surrogate, a letter, then a trail", inArray(utf16({0xD83D, 0x44, 0xDCF6}))},
        {"two-byte and three-byte characters", inArray(utf16({0xE9, 0x20AC, 0x7FF, 0x800}))},
        {"an empty UTF-16 string", inArray(utf16({}))},
        {"ASCII text with bytes above 127", inArray("\x53" + bytesOf({'a', 0xE9, 0xFF}))},
        {"data, empty and of 40 bytes",
         handMade({container(0xA, {1, 2}), "\x40", "\x4F\x10\x28" + std::string(40, '\x5A')})},
        {"a UID of 1 byte", inArray("\x80\x07")},
        {"a UID of 3 bytes", inArray("\x82" + be(70'000, 3))},
        {"a UID of 8 bytes", inArray("\x87" + be(1ULL << 31, 8))},
        {"a UID past 32 bits", inArray("\x87" + be(1ULL << 40, 8))},
        {"booleans", handMade({container(0xA, {1, 2}), "\x08", "\x09"})},
        {"a dictionary whose keys are UTF-16 and repeat",
         handMade({container(0xD, {1, 2, 1, 3, 4}), utf16({0x6B, 0xE9}), "\x10\x01", "\x10\x02",
                   "\x10\x03"})},
        {"a dictionary keyed by a number", handMade({container(0xD, {1, 2}), "\x10\x01", "\x09"})},
        {"a set", handMade({container(0xC, {1}), "\x09"})},
        {"a null object", inArray(std::string(1, '\0'))},
        {"a fill byte", inArray("\x0F")},
        {"a container shared twice",
         handMade({container(0xA, {1, 1}), container(0xA, {2}), "\x51x"})},
        {"a count written with a 0xF marker",
         handMade({container(0xA, std::vector<std::uint64_t>(20, 1)), "\x10\x05"})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto ours = parsePropertyList(c.bytes);
        const auto theirs = parsePropertyListWithLibplist(c.bytes);
        EXPECT_EQ(ours.has_value(), theirs.has_value());
        if (ours && theirs) {
            EXPECT_TRUE(*ours == *theirs) << ours->stringValue();
        }
        // A view checks what the reader checks, without reading the values.
        EXPECT_EQ(BinaryPlistView::open(c.bytes).has_value(), ours.has_value());
    }
}

TEST(PlistCodec, BinaryReaderRefusesMalformedFiles) {
    const std::string good = handMade({container(0xA, {1, 2}), "\x10\x05", "\x52ok"});
    ASSERT_TRUE(parsePropertyList(good).has_value());
    // The trailer's fields, counted from the end of the file.
    auto withTrailer = [&good](std::size_t fromEnd, unsigned width, std::uint64_t value) {
        std::string bytes = good;
        bytes.replace(bytes.size() - fromEnd, width, be(value, width));
        return bytes;
    };
    const std::string deep = [] {
        std::vector<std::string> objects;
        for (std::uint64_t i = 0; i < 1000; ++i)
            objects.push_back(container(0xA, {i + 1}, 2));
        objects.emplace_back("\x09");
        return handMade(objects, 2, 2);
    }();
    const std::string doubling = [] {
        // Each array holds the next twice: 2^60 values from a few hundred bytes.
        std::vector<std::string> objects;
        for (std::uint64_t i = 0; i < 60; ++i)
            objects.push_back(container(0xA, {i + 1, i + 1}));
        objects.emplace_back("\x09");
        return handMade(objects);
    }();
    const struct {
        const char *what;
        std::string bytes;
    } cases[] = {
        {"a truncated trailer", good.substr(0, good.size() - 1)},
        {"only the header", "bplist00"},
        {"an offset size of 0", withTrailer(26, 1, 0)},
        {"an offset size of 9", withTrailer(26, 1, 9)},
        {"a reference size of 0", withTrailer(25, 1, 0)},
        {"no objects", withTrailer(24, 8, 0)},
        {"an absurd object count", withTrailer(24, 8, 1ULL << 62)},
        {"the root beyond the objects", withTrailer(16, 8, 3)},
        {"an offset table beyond the trailer", withTrailer(8, 8, good.size())},
        {"an offset table over the header", withTrailer(8, 8, 4)},
        {"an offset past the objects",
         [&good] {
             std::string bytes = good;
             bytes[bytes.size() - 32 - 3] = static_cast<char>(bytes.size() - 33);
             return bytes;
         }()},
        {"a reference out of range", handMade({container(0xA, {1, 9}), "\x10\x05"})},
        {"an array holding itself", handMade({container(0xA, {0})})},
        {"a cycle through a dictionary",
         handMade({container(0xD, {1, 2}), "\x51k", container(0xA, {0})})},
        {"nesting 1,000 deep", deep},
        {"shared arrays doubling sixty times", doubling},
        {"an integer of 32 bytes", inArray("\x15" + std::string(32, '\x01'))},
        {"a real of 2 bytes", inArray(std::string("\x21\x3C\x00", 3))},
        {"a date of 4 bytes", inArray("\x32" + be(0, 4))},
        {"an integer cut short", inArray("\x13\x01\x02")},
        {"a string longer than the file", inArray("\x5F\x10\x7Fshort")},
        {"a count that is not an integer", inArray("\x5F\x23" + be(0, 8))},
        {"a count of 16 bytes", inArray("\x5F\x14" + std::string(16, '\0'))},
        {"an array of 2^64-1 items", inArray("\xAF\x13" + be(~0ULL, 8) + "\x01")},
        {"a dictionary of 2^63 entries", inArray("\xDF\x13" + be(1ULL << 63, 8) + "\x01\x01")},
        {"a NUL in ASCII text", inArray("\x53" + bytesOf({'a', 0, 'b'}))},
        {"a NUL in UTF-16 text", inArray(utf16({0x41, 0}))},
        {"a dictionary keyed by an array", handMade({container(0xD, {0, 0})})},
        {"a number read as a value, then as a key",
         handMade({container(0xA, {1, 2}), "\x10\x05", container(0xD, {1, 1})})},
        {"an unknown marker", inArray("\x70")},
        {"a UID of 9 bytes", inArray("\x88" + be(1, 8) + "\x01")},
    };
    for (const auto &c : cases) {
        EXPECT_FALSE(parsePropertyList(c.bytes).has_value()) << c.what;
        EXPECT_FALSE(BinaryPlistView::open(c.bytes).has_value()) << c.what;
    }
}

// Values of every kind with the awkward cases mixed in: text to escape, that is not UTF-8 or
// holds a NUL, keys that come out equal once repaired, reals at the edges of printf's format,
// dates around 2001 and libplist's 32-bit range, data at every indentation.
class RandomValues {
  public:
    explicit RandomValues(std::uint64_t seed) : random_(seed) {}

    Value tree(int depth) {
        const auto kind = pick(depth < 6 ? 12 : 9);
        if (kind < 9) return scalar(kind);
        if (kind == 9) {
            ValueArray items;
            const auto n = pick(6);
            for (std::size_t i = 0; i < n; ++i)
                items.push_back(tree(depth + 1));
            return Value(std::move(items));
        }
        ValueDict entries;
        // Now and then more than 250 entries, where libplist looks keys up in a hash table.
        const std::size_t n = pick(40) == 0 ? 300 : pick(7);
        for (std::size_t i = 0; i < n; ++i)
            entries.set(n > 20 ? "key " + std::to_string(pick(400)) + text() : key(),
                        tree(depth + 1));
        return Value(std::move(entries));
    }

    std::string text() {
        static const char *const fragments[] = {
            "",     "plain", "a<b>&c",       "&amp; as text", "\"quoted\" 'single'",
            "\t\n", "\r\n",  "\x01\x1F",     "\x7F",          "caf\xC3\xA9 \xF0\x9F\x93\xB6",
            "\xFF", "\xC3",  "\xED\xA0\x80", "]]>",           "<!--x-->",
            "  ",   "&#65;", "\xE2\x82\xAC",
        };
        std::string out;
        const auto parts = pick(4);
        for (std::size_t i = 0; i < parts; ++i) {
            if (pick(4) == 0) {
                out += std::string("nul\0here", 8);
            } else if (pick(5) == 0) {
                out.push_back(static_cast<char>(pick(256)));
            } else {
                out += fragments[pick(std::size(fragments))];
            }
        }
        return out;
    }

  private:
    std::size_t pick(std::size_t n) { return static_cast<std::size_t>(random_() % n); }

    std::string key() {
        // Few distinct keys, so that keys cut at a NUL or with stray bytes replaced collide.
        static const char *const keys[] = {"a", "b", "\xFF", "\xFE", "<&>", "", "k\xC3\xA9"};
        std::string out = keys[pick(std::size(keys))];
        if (pick(3) == 0) out += std::string("\0tail", 5) + std::to_string(pick(3));
        if (pick(4) == 0) out += text();
        return out;
    }

    Value scalar(std::size_t kind) {
        switch (kind) {
        case 0:
            return Value(pick(2) == 0);
        case 1:
            return Value(static_cast<long long>(integer()));
        case 2:
            return Value(real());
        case 3:
        case 4:
            return Value(text());
        case 5:
        case 6:
            return Value(date());
        case 7: {
            ValueData bytes(pick(4) == 0 ? pick(200) : pick(12));
            for (auto &byte : bytes)
                byte = static_cast<std::uint8_t>(random_());
            return Value(std::move(bytes));
        }
        default:
            return Value(Uid{pick(3) == 0 ? random_() : pick(100)});
        }
    }

    std::int64_t integer() {
        static const std::int64_t edges[] = {
            0, 1, -1, INT64_MIN, INT64_MAX, 4'294'967'296, -4'294'967'296};
        if (pick(3) == 0) return edges[pick(std::size(edges))];
        if (pick(2) == 0) return static_cast<std::int64_t>(pick(2'000'000)) - 1'000'000;
        return static_cast<std::int64_t>(random_());
    }

    double real() {
        using limits = std::numeric_limits<double>;
        static const double edges[] = {0.0,
                                       -0.0,
                                       1.0,
                                       -1.5,
                                       0.1,
                                       1e15,
                                       1e16,
                                       1e17,
                                       1e21,
                                       1e22,
                                       1e-5,
                                       1e-4,
                                       1e300,
                                       -1e-300,
                                       limits::max(),
                                       limits::min(),
                                       limits::denorm_min(),
                                       4.9e-320,
                                       limits::quiet_NaN(),
                                       limits::infinity(),
                                       -limits::infinity(),
                                       123456789012345678.0,
                                       3e6 + 0.25,
                                       1.0 / 3};
        if (pick(2) == 0) return edges[pick(std::size(edges))];
        if (pick(2) == 0) return static_cast<double>(pick(1'000'000)) / 8;
        std::uint64_t bits = random_();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Microseconds since 1970.
    Instant date() {
        static const std::int64_t edges[] = {
            978'307'200'000'000,                  // 2001
            978'307'199'500'000,                  // half a second before 2001
            978'307'200'000'000 - 86'400'500'000, // a day and a half-second before
            (978'307'200LL + INT32_MAX) * 1'000'000,
            (978'307'200LL + INT32_MAX) * 1'000'000 + 1'000'000,
            (978'307'200LL + INT32_MIN) * 1'000'000,
            (978'307'200LL + INT32_MIN) * 1'000'000 - 1'500'000,
            253'402'300'799'000'000,     // the end of 9999
            253'402'300'800'000'000 * 4, // beyond it
            -30'610'224'000'000'000,     // 1000-01-01
            -2'208'988'800'000'000,      // 1900-01-01
            951'782'400'000'000,         // 2000-02-29
            4'107'542'399'999'999,       // 2100-02-28, the last microsecond
        };
        if (pick(3) == 0) return Instant(std::chrono::microseconds(edges[pick(std::size(edges))]));
        // From the year 1000 to 9999, or near now, whole seconds or not.
        const bool far = pick(3) == 0;
        const std::int64_t micros =
            far ? -30'610'224'000'000'000 +
                      static_cast<std::int64_t>(random_() % 284'012'524'800'000'000ULL)
                : 1'500'000'000'000'000 +
                      static_cast<std::int64_t>(random_() % 400'000'000'000'000ULL);
        return Instant(
            std::chrono::microseconds(pick(2) == 0 ? micros / 1'000'000 * 1'000'000 : micros));
    }

    std::mt19937_64 random_;
};

// Hand-picked values the random ones may miss.
std::vector<std::pair<const char *, Value>> xmlEdgeValues() {
    std::vector<std::pair<const char *, Value>> values = {
        {"a scalar root", Value("just text")},
        {"empty containers", Value(ValueArray{Value(ValueArray{}), Value(ValueDict{})})},
        {"an empty root dictionary", Value(ValueDict{})},
        {"every kind", sampleDictionary()},
        {"a NUL first", Value(std::string("\0after", 6))},
    };
    // Data at each depth, as the lines shorten down to the ninth level.
    Value deep(ValueData(100, 0x5A));
    for (int i = 0; i < 10; ++i)
        deep = Value(ValueArray{deep, Value(ValueData(static_cast<std::size_t>(i), 0xA5))});
    values.emplace_back("data from depth 0 to 10", deep);
    ValueDict colliding;
    colliding.set("\xFF", Value(1));
    colliding.set("x", Value(2));
    colliding.set("\xFE", Value(3));
    colliding.set(std::string("x\0y", 3), Value(4));
    values.emplace_back("keys equal once repaired", Value(colliding));
    return values;
}

// The hand-picked values and `count` random ones.
std::vector<std::pair<std::string, Value>> xmlTestValues(std::uint64_t seed, int count) {
    std::vector<std::pair<std::string, Value>> values;
    for (auto &[what, value] : xmlEdgeValues())
        values.emplace_back(what, std::move(value));
    RandomValues random(seed);
    for (int i = 0; i < count; ++i)
        values.emplace_back("random value " + std::to_string(i), random.tree(0));
    return values;
}

TEST(PlistCodec, XmlWriterAndReaderAgreeWithLibplist) {
    const auto values = xmlTestValues(20'260'101, 600);
    for (const auto &[what, value] : values) {
        SCOPED_TRACE(what);
        const std::string ours = toXmlPropertyList(value);
        ASSERT_EQ(ours, toXmlPropertyListWithLibplist(value));
        const auto direct = parseXmlPropertyListWithoutFallback(ours);
        const auto theirs = parsePropertyListWithLibplist(ours);
        ASSERT_TRUE(direct.has_value()) << ours;
        ASSERT_TRUE(theirs.has_value());
        EXPECT_TRUE(test::sameValue(*direct, *theirs)) << ours;
    }
}

// A read-back known without reading must be exactly what the reading gives, and a usage record
// must have one, or every sample parses both records again.
TEST(PlistCodec, XmlReadBackIsWhatReadingTheWrittenTextGives) {
    const auto values = xmlTestValues(20'261'209, 2000);
    int known = 0;
    for (const auto &[what, value] : values) {
        SCOPED_TRACE(what);
        const auto back = xmlReadBack(value);
        if (!back) continue;
        ++known;
        const std::string xml = toXmlPropertyList(value);
        const auto read = parsePropertyList(xml);
        ASSERT_TRUE(read.has_value()) << xml;
        EXPECT_TRUE(test::sameValue(*back, *read)) << xml;
    }
    // Enough of the random values are plain enough to hold the comparison to something.
    EXPECT_GT(known, 200);

    // A record holds every kind but references.
    ValueDict record = *sampleDictionary().asDict();
    record.erase("uid");
    record.set("lastUpdate", Value(Instant(std::chrono::microseconds(1'765'000'123'456'789))));
    record.set("dataAllTime", Value(123456789.0));
    const auto back = xmlReadBack(Value(record));
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(test::sameValue(*back, *parsePropertyList(toXmlPropertyList(Value(record)))));
    EXPECT_EQ(*back->asDict()->find("lastUpdate")->asDate(),
              Instant(std::chrono::seconds(1'765'000'123)));

    const struct {
        const char *what;
        Value value;
    } unknown[] = {
        {"text cut at a NUL", Value(std::string("a\0b", 3))},
        {"a stray byte", Value(std::string("\xFF"))},
        {"negative zero", Value(-0.0)},
        {"a subnormal number", Value(std::numeric_limits<double>::denorm_min())},
        {"not a number", Value(std::numeric_limits<double>::quiet_NaN())},
        {"a reference", Value(Uid{3})},
        {"a date before the year 1000", Value(instantFromSeconds(-30'610'224'001))},
    };
    for (const auto &c : unknown) {
        EXPECT_FALSE(xmlReadBack(c.value).has_value()) << c.what;
        ValueDict holder;
        holder.set("k", c.value);
        EXPECT_FALSE(xmlReadBack(Value(ValueArray{Value(holder)})).has_value()) << c.what;
    }
}

TEST(PlistCodec, XmlDatesBeforeTheYear1000AreReadByLibplist) {
    // libplist writes such years without padding; our reader leaves them to it.
    ValueDict d;
    d.set("d", Value(instantFromSeconds(-62'135'596'800))); // 0001-01-01
    d.set("e", Value(instantFromSeconds(-30'610'224'001))); // the last second of 999
    const std::string xml = toXmlPropertyList(Value(d));
    EXPECT_EQ(xml, toXmlPropertyListWithLibplist(Value(d)));
    EXPECT_NE(xml.find("<date>1-01-01T00:00:00Z</date>"), std::string::npos) << xml;
    EXPECT_FALSE(parseXmlPropertyListWithoutFallback(xml).has_value());
    const auto back = parsePropertyList(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(test::sameValue(*back, *parsePropertyListWithLibplist(xml)));
}

std::string plistDocument(std::string_view body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" +
           std::string(body) + "\n</plist>\n";
}

std::string nestedArrays(int depth) {
    std::string open;
    std::string close;
    for (int i = 0; i < depth; ++i) {
        open += "<array>";
        close += "</array>";
    }
    return open + close;
}

TEST(PlistCodec, HandWrittenXmlReadsAsLibplistReadsIt) {
    std::ifstream file(std::filesystem::path(BYTEWARD_TEST_DATA) / "records/before_split.plist",
                       std::ios::binary);
    const std::string record{std::istreambuf_iterator<char>(file), {}};
    const struct {
        const char *what;
        std::string xml;
        bool direct; // read without libplist
    } cases[] = {
        {"a stored record", record, true},
        {"CRLF line ends and spaces everywhere allowed",
         "  \r\n<?xml version=\"1.0\"?>\r\n<plist>\r\n <dict >\r\n\t<key>a</key >  <integer> +7 "
         "</integer >\r\n <key>b</key>\r\n<array ></array>\r\n</dict>\r\n</plist >\r\n",
         true},
        {"no declaration, no doctype", "<plist><array><true/><false></false></array></plist>",
         true},
        {"<dict></dict> and <dict/>",
         plistDocument("<array><dict></dict><dict/><dict /><array></array><array/></array>"), true},
        {"empty elements",
         plistDocument("<array><string/><string></string><integer/><real/>"
                       "<real></real><data/><data></data></array>"),
         true},
        {"the five entities, in keys too",
         plistDocument(
             "<dict><key>&lt;&amp;&gt;</key><string>&quot;&apos;&amp;lt;</string></dict>"),
         true},
        {"text kept as written: spaces, line ends, bytes not UTF-8",
         plistDocument("<string>  two\r\nlines \xFF\t</string>"), true},
        {"signs, zeros and the integer range",
         plistDocument("<array><integer>-0</integer><integer>+12</integer>"
                       "<integer>18446744073709551615</integer><integer>-12</"
                       "integer><integer>-9223372036854775808"
                       "</integer></array>"),
         true},
        {"reals as people write them",
         plistDocument("<array><real>1.</real><real>.5</real><real>-2.5E+3</real><real>+1e-3</real>"
                       "<real>007</real><real>nan</real><real>-infinity</real><real>inf</real>"
                       "</array>"),
         true},
        {"base64 with odd spacing, padding and stray letters",
         plistDocument("<array><data>QU\n  JD\tRA==</data><data>QQ==QUJD</data><data>QUI</data>"
                       "<data>!QUJD*</data></array>"),
         true},
        {"dates with spaces around and a day past the month",
         plistDocument("<array><date> 2024-02-30T12:00:00Z \n</date><date>1900-03-01T00:00:00Z"
                       "</date><date>9999-12-31T23:59:59Z</date></array>"),
         true},
        {"a repeated key",
         plistDocument("<dict><key>a</key><true/><key>b</key><true/>"
                       "<key>a</key><false/></dict>"),
         false},
        {"a comment", plistDocument("<dict><!-- why --><key>a</key><true/></dict>"), false},
        {"CDATA", plistDocument("<string><![CDATA[<raw>]]></string>"), false},
        {"a character reference", plistDocument("<string>&#x41;&#66;</string>"), false},
        {"an entity libplist reads by its first letters", plistDocument("<string>&ampx;</string>"),
         false},
        {"a bare ampersand", plistDocument("<string>a & b</string>"), false},
        {"another processing instruction",
         "<?xml-stylesheet href=\"a\"?>" + plistDocument("<true/>"), false},
        {"a doctype with an internal subset",
         "<!DOCTYPE plist [<!ENTITY x \"y\">]>" + plistDocument("<string>a</string>"), false},
        {"an attribute", plistDocument("<string id=\"1\">a</string>"), false},
        {"a version run together with the tag", "<plistversion=\"1.0\"><true/></plist>", false},
        {"no <plist>", "<dict><key>a</key><true/></dict>", false},
        {"hexadecimal and octal integers",
         plistDocument("<array><integer>0x10</integer><integer>010</integer></array>"), false},
        {"an integer past 64 bits", plistDocument("<integer>99999999999999999999</integer>"),
         false},
        {"junk after a number", plistDocument("<array><integer>5px</integer></array>"), false},
        {"a real out of range",
         plistDocument("<array><real>1e400</real><real>1e-400</real></array>"), false},
        {"a date with a fraction", plistDocument("<date>2024-01-01T00:00:00.5Z</date>"), false},
        {"a date out of range", plistDocument("<date>2024-13-01T00:00:00Z</date>"), false},
        {"a date without time", plistDocument("<date>2024-01-01</date>"), false},
        {"an empty date", plistDocument("<array><date></date><date/></array>"), false},
        {"a key in an array", plistDocument("<array><key>a</key></array>"), false},
        {"a key without its value", plistDocument("<dict><key>a</key></dict>"), false},
        {"two keys in a row", plistDocument("<dict><key>a</key><key>b</key></dict>"), false},
        {"text after the document", plistDocument("<true/>") + "<junk>", false},
        {"a closing tag that does not match", plistDocument("<array></dict>"), false},
        {"a document cut short", plistDocument("<array><string>a</string>").substr(0, 60), false},
        {"nesting deeper than 512", plistDocument(nestedArrays(600)), false},
        {"a NUL", plistDocument(std::string("<string>a\0b</string>", 20)), false},
        {"not a property list", "hello", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto direct = parseXmlPropertyListWithoutFallback(c.xml);
        const auto theirs = parsePropertyListWithLibplist(c.xml);
        EXPECT_EQ(direct.has_value(), c.direct);
        if (direct) {
            ASSERT_TRUE(theirs.has_value());
            EXPECT_TRUE(test::sameValue(*direct, *theirs))
                << testing::PrintToString(*direct) << "\n"
                << testing::PrintToString(*theirs);
        }
        const auto read = parsePropertyList(c.xml);
        EXPECT_EQ(read.has_value(), theirs.has_value());
        if (read && theirs) {
            EXPECT_TRUE(test::sameValue(*read, *theirs));
        }
    }
}

TEST(Value, NumbersAndBooleansReadFromTextLikeStoredSettings) {
    struct Case {
        Value value;
        double number;
        long long integer;
        bool boolean;
    };
    const Case cases[] = {
        {Value("15"), 15, 15, true},      {Value(" 2.75GB"), 2.75, 2, true},
        {Value("abc"), 0, 0, false},      {Value("YES"), 0, 0, true},
        {Value("no"), 0, 0, false},       {Value("0"), 0, 0, false},
        {Value("-3"), -3, -3, true},      {Value(30.9), 30.9, 30, true},
        {Value(-30.9), -30.9, -30, true}, {Value(true), 1, 1, true},
        {Value(0.0), 0, 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value.stringValue());
        EXPECT_DOUBLE_EQ(c.value.doubleValue(), c.number);
        EXPECT_EQ(c.value.integerValue(), c.integer);
        EXPECT_EQ(c.value.boolValue(), c.boolean);
    }
}

} // namespace
} // namespace byteward
