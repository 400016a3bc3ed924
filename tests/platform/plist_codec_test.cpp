#include "platform/plist_codec.h"
#include "support/test_env.h"

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
