// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/plist_codec.h"
#include "support/test_env.h"

#include <cmath>
#include <gtest/gtest.h>

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
