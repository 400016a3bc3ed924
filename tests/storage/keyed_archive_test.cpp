// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/keyed_archive.h"
#include "storage/plist_codec.h"
#include "support/archive_compare.h"
#include "support/test_env.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace byteward {
namespace {

ArchiveObject thing(std::int32_t count) {
    ArchiveObject object = ArchiveObject::instance("Thing", {"Base"});
    object.encodeObject("name", ArchiveObject::string("a"));
    object.encodeObject("when", ArchiveObject::date(instantFromSeconds(946'684'800.25))); // 2000
    object.encodeInt32("count", count);
    return object;
}

KeyedArchive sampleArchive() {
    KeyedArchive archive;
    archive.encodeObject(
        "things", ArchiveObject::list({thing(-7), thing(2'000'000'000), ArchiveObject::list({}),
                                       ArchiveObject::list({ArchiveObject::boolean(true)})}));
    archive.encodeObject("big", ArchiveObject::integer(5'000'000'000LL));
    archive.encodeObject("blob", ArchiveObject::data({0, 255}));
    archive.encodeObject("later", ArchiveObject::date(instantFromSeconds(1'765'153'514.123456)));
    archive.encodeInt32("flag", 3);
    return archive;
}

TEST(KeyedArchive, EveryKindOfObjectSurvivesEncodingAndDecoding) {
    const KeyedArchive original = sampleArchive();
    std::string error;
    const auto back = KeyedArchive::decode(original.encode(), &error);
    ASSERT_TRUE(back.has_value()) << error;
    EXPECT_EQ(back->fields(), original.fields());
    EXPECT_EQ(back->decodeObject("things")->items()[1].decodeInt32("count"), 2'000'000'000);
}

// A random tree of every kind of object, with values repeated often enough that texts, numbers
// and dates are shared between objects.
ArchiveObject randomObject(std::mt19937 &random, int depth) {
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    static const std::vector<std::string> texts{
        "a", "Thing", "NS.time", "$null", "émoji 🙂", std::string(20, 'x'), ""};
    switch (depth > 3 ? pick(5) : pick(7)) {
    case 0:
        return ArchiveObject::string(texts[static_cast<std::size_t>(pick(7))]);
    case 1:
        return ArchiveObject::integer(pick(3) == 0 ? -pick(300) : pick(70'000));
    case 2:
        return ArchiveObject::real(pick(4) * 0.5);
    case 3:
        return ArchiveObject::date(instantFromSeconds(1'000'000'000.0 + pick(3) * 86'400.0));
    case 4:
        return ArchiveObject::boolean(pick(2) == 0);
    case 5: {
        std::vector<ArchiveObject> items;
        for (int i = pick(4); i > 0; --i)
            items.push_back(randomObject(random, depth + 1));
        return ArchiveObject::list(std::move(items));
    }
    default: {
        ArchiveObject object = pick(2) == 0 ? ArchiveObject::instance("History")
                                            : ArchiveObject::instance("Thing", {"Base"});
        static const std::vector<std::string> keys{"startDate", "dataType", "name", "when"};
        for (int i = pick(5); i > 0; --i) {
            const std::string &key = keys[static_cast<std::size_t>(pick(4))];
            if (pick(3) == 0)
                object.encodeInt32(key, pick(500));
            else
                object.encodeObject(key, randomObject(random, depth + 1));
        }
        return object;
    }
    }
}

// Archives are written straight from their objects; what is written must be exactly the bytes of
// the archive's property list, the form other readers and earlier versions know.
TEST(KeyedArchive, IsWrittenAsItsPropertyListWouldBe) {
    std::vector<std::pair<std::string, KeyedArchive>> archives;
    archives.emplace_back("sample", sampleArchive());
    archives.emplace_back("empty", KeyedArchive());
    {
        KeyedArchive twice; // a key set twice is one entry, holding the last value
        twice.encodeObject("root", ArchiveObject::string("first"));
        twice.encodeInt32("root", 4);
        archives.emplace_back("top key twice", twice);
        ArchiveObject object = ArchiveObject::instance("Thing");
        object.encodeObject("name", ArchiveObject::string("a"));
        object.encodeObject("name", ArchiveObject::date(instantFromSeconds(5)));
        object.encodeObject("$class", ArchiveObject::string("not a class"));
        KeyedArchive merged;
        merged.encodeObject("root", ArchiveObject::list({object, thing(1)}));
        archives.emplace_back("field twice, field named $class", merged);
    }
    {
        // Enough objects for two-byte references and offsets.
        std::vector<ArchiveObject> logs;
        for (int i = 0; i < 3000; ++i)
            logs.push_back(thing(i % 40));
        KeyedArchive many;
        many.encodeObject("historyLogs", ArchiveObject::list(std::move(logs)));
        archives.emplace_back("3000 objects", many);
    }
    std::mt19937 random(20261209);
    for (int n = 0; n < 300; ++n) {
        KeyedArchive archive;
        archive.encodeObject("root", randomObject(random, 0));
        if (n % 3 == 0) archive.encodeInt32("version", n);
        archives.emplace_back("random " + std::to_string(n), archive);
    }
    for (const auto &[name, archive] : archives)
        EXPECT_EQ(archive.encode(), toBinaryPropertyList(archive.toPropertyList())) << name;
}

Value archiveOf(ValueArray objects, Uid top = Uid{2}) {
    ValueDict topDict;
    topDict.set("root", Value(top));
    ValueDict root;
    root.set("$top", Value(topDict));
    root.set("$objects", Value(std::move(objects)));
    return Value(root);
}

// An object of the class at index 1 with the given fields.
Value object(std::initializer_list<ValueDict::Entry> fields) {
    ValueDict d;
    d.set("$class", Value(Uid{1}));
    for (const auto &[key, value] : fields)
        d.set(key, value);
    return Value(d);
}

TEST(KeyedArchive, RejectsDamagedArchivesWithAReason) {
    ValueDict arrayClass;
    arrayClass.set("$classname", "NSArray");
    ValueDict dateClass;
    dateClass.set("$classname", "NSDate");
    // Each list holds the next one twice: 2^60 copies once resolved.
    ValueArray explosive{"$null", Value(arrayClass)};
    for (std::uint64_t i = 2; i < 62; ++i)
        explosive.push_back(object({{"NS.objects", Value(ValueArray{Uid{i + 1}, Uid{i + 1}})}}));
    explosive.emplace_back("leaf");

    const struct {
        const char *what;
        Value root;
    } cases[] = {
        {"not a dictionary", Value(ValueArray{})},
        {"no $objects", Value(ValueDict{})},
        {"top out of range", archiveOf({"$null", Value(arrayClass), object({})}, Uid{9})},
        {"class is not a class", archiveOf({"$null", "x", object({})})},
        {"class without a name", archiveOf({"$null", Value(ValueDict{}), object({})})},
        {"no class", archiveOf({"$null", Value(arrayClass), Value(ValueDict{})})},
        {"contains itself", archiveOf({"$null", Value(arrayClass),
                                       object({{"NS.objects", Value(ValueArray{Uid{2}})}})})},
        {"item out of range",
         archiveOf({"$null", Value(arrayClass), object({{"NS.objects", ValueArray{Uid{3}}}})})},
        {"date with a text time",
         archiveOf({"$null", Value(dateClass), object({{"NS.time", "x"}})})},
        {"expands without end", archiveOf(explosive)},
    };
    for (const auto &c : cases) {
        std::string error;
        EXPECT_FALSE(KeyedArchive::fromPropertyList(c.root, &error).has_value()) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        // Read straight from the bytes, refused alike, and the reason still given.
        const std::string bytes = toBinaryPropertyList(c.root);
        EXPECT_FALSE(KeyedArchive::decodeDirectly(bytes).has_value()) << c.what;
        error.clear();
        EXPECT_FALSE(KeyedArchive::decode(bytes, &error).has_value()) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

// What the bytes read as through the property-list tree.
std::optional<KeyedArchive> throughTree(std::string_view bytes) {
    const auto root = parsePropertyList(bytes);
    if (!root) return std::nullopt;
    return KeyedArchive::fromPropertyList(*root);
}

// Empty when both readers agree; what differs otherwise.
std::string disagreement(std::string_view bytes) {
    const auto direct = KeyedArchive::decodeDirectly(bytes);
    const auto tree = throughTree(bytes);
    if (direct.has_value() != tree.has_value())
        return direct ? "read straight, refused through the tree"
                      : "refused straight, read through the tree";
    if (direct && !test::identical(direct->fields(), tree->fields())) return "read differently";
    return {};
}

TEST(KeyedArchive, DirectReadingGivesTheTreesArchiveForEveryArchiveWritten) {
    std::mt19937 random(20261210);
    for (int n = 0; n < 300; ++n) {
        KeyedArchive archive;
        archive.encodeObject("root", randomObject(random, 0));
        archive.encodeObject("when", ArchiveObject::date(instantFromSeconds(n * 1e9 - 3e9)));
        archive.encodeObject("odd", ArchiveObject::real(n % 2 == 0 ? -0.0 : NAN));
        const std::string bytes = archive.encode();
        ASSERT_TRUE(KeyedArchive::decodeDirectly(bytes).has_value()) << n;
        EXPECT_EQ(disagreement(bytes), "") << n;
    }
}

// A writer other than ours: dictionaries with a key twice (the tree keeps the first place and the
// last value), keys outside ASCII, sets, wrapped strings and data, dates without a time.
TEST(KeyedArchive, DirectReadingAgreesWithTheTreeOnArchivesOfOtherWriters) {
    auto classNamed = [](std::vector<std::string> names) {
        ValueDict d;
        d.set("$classname", Value(names.front()));
        d.set("$classes", Value(ValueArray(names.begin(), names.end())));
        return Value(d);
    };
    auto twice = [](std::initializer_list<ValueDict::Entry> entries) {
        ValueDict d;
        for (const auto &[key, value] : entries)
            d.append(key, value); // no merging: the file holds each entry
        return Value(d);
    };
    const Value thing = classNamed({"Thing"});
    const struct {
        const char *what;
        ValueArray objects;
        Value top;
    } cases[] = {
        {"a field twice in an object",
         {"$null", thing,
          twice({{"$class", Value(Uid{1})}, {"n", Value(1)}, {"m", Value(2)}, {"n", Value(3)}})},
         twice({{"root", Value(Uid{2})}})},
        {"a key twice in $top",
         {"$null", "a", "b"},
         twice({{"x", Value(Uid{1})}, {"y", Value(4)}, {"x", Value(Uid{2})}})},
        {"$class twice, the last a text",
         {"$null", thing, twice({{"$class", Value(Uid{1})}, {"$class", Value("no")}})},
         twice({{"root", Value(Uid{2})}})},
        {"$classname twice",
         {"$null", twice({{"$classname", Value("NSDate")}, {"$classname", Value("Thing")}}),
          twice({{"$class", Value(Uid{1})}, {"NS.time", Value("not a time")}})},
         twice({{"root", Value(Uid{2})}})},
        {"keys outside ASCII",
         {"$null", thing, twice({{"$class", Value(Uid{1})}, {"cl\xC3\xA9", Value(1)}})},
         twice({{"r\xC3\xA9sum\xC3\xA9", Value(Uid{2})}})},
        {"sets, wrapped text and data, a date without its time",
         {"$null", classNamed({"NSMutableSet", "NSSet"}),
          twice({{"$class", Value(Uid{1})},
                 {"NS.objects", Value(ValueArray{Uid{3}, Uid{0}, Uid{4}, Uid{5}})}}),
          twice({{"$class", Value(Uid{6})}, {"NS.string", Value("wrapped")}}),
          twice({{"$class", Value(Uid{7})}, {"NS.data", Value(Uid{8})}}),
          twice({{"$class", Value(Uid{9})}}), classNamed({"NSMutableString", "NSString"}),
          classNamed({"NSData"}), Value(ValueData{1, 2}), classNamed({"NSDate"})},
         twice({{"root", Value(Uid{2})}, {"plain date", Value(instantFromSeconds(1e9))}})},
        {"wrapped text that is nil",
         {"$null", classNamed({"NSMutableString", "NSString"}),
          twice({{"$class", Value(Uid{1})}, {"NS.string", Value(Uid{0})}})},
         twice({{"root", Value(Uid{2})}})},
        {"a list holding something other than a reference",
         {"$null", classNamed({"NSArray"}),
          twice({{"$class", Value(Uid{1})}, {"NS.objects", Value(ValueArray{Value(1)})}})},
         twice({{"root", Value(Uid{2})}})},
    };
    for (const auto &c : cases) {
        ValueDict root;
        root.set("$version", Value(100000));
        root.set("$top", c.top);
        root.set("$objects", Value(c.objects));
        EXPECT_EQ(disagreement(toBinaryPropertyList(Value(root))), "") << c.what;
    }
}

// Shared objects are refused once they expand past a budget that grows with the references the
// objects hold; the budget must come out the same both ways, to the object.
TEST(KeyedArchive, DirectReadingSpendsTheTreesBudgetToTheLastObject) {
    // A list of m references to a list of k references to one text: 1 + m(1 + k) objects read,
    // and one more for each extra reference in $top, which the budget does not count.
    const std::uint64_t m = 230;
    const std::uint64_t k = 300;
    const std::uint64_t read = 1 + m * (1 + k);
    // The references the objects hold: the two lists' own, their classes', then `pad` more.
    const std::uint64_t pad = (read - (65'536 + 4 * (m + k + 2)) + 3) / 4;
    const std::uint64_t spare = 65'536 + 4 * (m + k + 2 + pad) - read;
    for (std::uint64_t extra = 0; extra <= spare + 2; ++extra) {
        ValueDict arrayClass;
        arrayClass.set("$classname", "NSArray");
        ValueDict outer;
        outer.set("$class", Value(Uid{1}));
        outer.set("NS.objects", Value(ValueArray(m, Value(Uid{3}))));
        ValueDict inner;
        inner.set("$class", Value(Uid{1}));
        inner.set("NS.objects", Value(ValueArray(k, Value(Uid{4}))));
        ValueDict padding; // referred to by nothing, counted all the same
        padding.set("pad", Value(ValueArray(pad, Value(Uid{4}))));
        ValueDict top;
        top.set("root", Value(Uid{2}));
        for (std::uint64_t i = 0; i < extra; ++i)
            top.set("extra " + std::to_string(i), Value(Uid{4}));
        ValueDict root;
        root.set("$top", Value(top));
        root.set("$objects", Value(ValueArray{"$null", Value(arrayClass), Value(outer),
                                              Value(inner), "leaf", Value(padding)}));
        const std::string bytes = toBinaryPropertyList(Value(root));
        EXPECT_EQ(throughTree(bytes).has_value(), extra <= spare) << extra;
        EXPECT_EQ(disagreement(bytes), "") << extra;
    }
}

// Lists in lists down to the nesting limit and past it: refused from the same depth both ways.
TEST(KeyedArchive, DirectReadingStopsAtTheTreesNestingLimit) {
    std::set<bool> outcomes;
    for (int depth = 250; depth < 262; ++depth) {
        ArchiveObject list = ArchiveObject::list({ArchiveObject::string("bottom")});
        for (int i = 1; i < depth; ++i)
            list = ArchiveObject::list({std::move(list)});
        KeyedArchive archive;
        archive.encodeObject("root", std::move(list));
        const std::string bytes = archive.encode();
        outcomes.insert(throughTree(bytes).has_value());
        EXPECT_EQ(disagreement(bytes), "") << depth;
    }
    EXPECT_EQ(outcomes.size(), 2U) << "the limit lies outside the depths tried";
}

// The sample archive with one more root entry, which the archive never reads but the property
// list must still be sound in.
std::string withJunk(const std::function<BinaryPlistBuilder::Ref(BinaryPlistBuilder &,
                                                                 BinaryPlistBuilder::Ref)> &junk) {
    static const std::string junkKey = "$junk";
    static const Value plist = sampleArchive().toPropertyList();
    BinaryPlistBuilder out;
    const auto root = out.container();
    std::vector<BinaryPlistBuilder::Ref> keys;
    std::vector<BinaryPlistBuilder::Ref> values;
    for (const auto &[key, value] : *plist.asDict()) {
        keys.push_back(out.text(key));
        values.push_back(out.value(value));
    }
    keys.push_back(out.text(junkKey));
    values.push_back(junk(out, root));
    keys.insert(keys.end(), values.begin(), values.end());
    out.endDict(root, std::move(keys));
    return out.finish();
}

// An array holding `n` levels of arrays, each holding the next `times` times.
BinaryPlistBuilder::Ref nested(BinaryPlistBuilder &out, int n, int times) {
    static const std::string leaf = "leaf";
    if (n == 0) return out.text(leaf);
    const auto array = out.container();
    const auto next = nested(out, n - 1, times);
    out.endArray(array,
                 std::vector<BinaryPlistBuilder::Ref>(static_cast<std::size_t>(times), next));
    return array;
}

TEST(KeyedArchive, DirectReadingRefusesWhatTheTreeRefusesAnywhereInTheFile) {
    using Builder = BinaryPlistBuilder;
    static const std::string withNul("a\0b", 3);
    const struct {
        const char *what;
        std::string bytes;
        bool readable;
    } cases[] = {
        {"an array shared twice",
         withJunk([](Builder &out, Builder::Ref) { return nested(out, 3, 2); }), true},
        {"an array holding itself", withJunk([](Builder &out, Builder::Ref) {
             const auto array = out.container();
             out.endArray(array, {array});
             return array;
         }),
         false},
        {"an array holding the root", withJunk([](Builder &out, Builder::Ref root) {
             const auto array = out.container();
             out.endArray(array, {root});
             return array;
         }),
         false},
        {"a reference past the last object", withJunk([](Builder &out, Builder::Ref) {
             const auto array = out.container();
             out.endArray(array, {0xFF});
             return array;
         }),
         false},
        {"arrays doubling sixty times",
         withJunk([](Builder &out, Builder::Ref) { return nested(out, 60, 2); }), false},
        {"nesting 600 deep",
         withJunk([](Builder &out, Builder::Ref) { return nested(out, 600, 1); }), false},
        {"a dictionary keyed by a number", withJunk([](Builder &out, Builder::Ref) {
             const auto dict = out.container();
             out.endDict(dict, {out.integer(1), out.integer(2)});
             return dict;
         }),
         false},
        {"text holding a NUL",
         withJunk([](Builder &out, Builder::Ref) { return out.text(withNul); }), false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(throughTree(c.bytes).has_value(), c.readable) << c.what;
        EXPECT_EQ(disagreement(c.bytes), "") << c.what;
    }
}

// Every byte of an archive set to values that make markers, counts, references and offsets go
// wrong: whatever either reader makes of the result, the other makes the same.
TEST(KeyedArchive, DirectReadingAgreesWithTheTreeOnEveryDamagedByte) {
    KeyedArchive archive = sampleArchive();
    archive.encodeObject("text", ArchiveObject::string("caf\xC3\xA9"));
    const std::string good = archive.encode();
    int readable = 0;
    for (std::size_t at = 0; at < good.size(); ++at) {
        const auto original = static_cast<unsigned char>(good[at]);
        for (const unsigned value : {0x00u, 0x01u, 0x0Fu, 0x10u, 0x5Fu, 0x80u, 0xA1u, 0xD1u, 0xFFu,
                                     original ^ 0x01u, original ^ 0x10u, original + 1u}) {
            std::string bytes = good;
            bytes[at] = static_cast<char>(value);
            readable += throughTree(bytes).has_value() ? 1 : 0;
            EXPECT_EQ(disagreement(bytes), "") << "byte " << at << " set to " << value;
        }
    }
    // Enough of them still read for the comparison to mean something.
    EXPECT_GT(readable, 100);
}

// Sends the n-th reference of the tree to `target`; false when there is no n-th.
bool redirect(Value &v, int &n, Uid target) {
    if (v.isUid()) {
        if (n-- == 0) v = Value(target);
        return n < 0;
    }
    if (auto *array = v.asArray())
        for (auto &item : *array)
            if (redirect(item, n, target)) return true;
    if (auto *dict = v.asDict())
        for (const auto &entry : *dict)
            if (redirect(*dict->find(entry.first), n, target)) return true;
    return false;
}

TEST(KeyedArchive, SurvivesAnyReferenceSentAnywhereAndTruncatedBytes) {
    const Value good = sampleArchive().toPropertyList();
    const std::uint64_t count = good.asDict()->find("$objects")->asArray()->size();
    for (int n = 0;; ++n) {
        bool found = false;
        for (std::uint64_t target :
             {std::uint64_t{0}, std::uint64_t{1}, count - 1, count, std::uint64_t{1} << 63}) {
            Value damaged = good;
            int left = n;
            found = redirect(damaged, left, Uid{target});
            (void)KeyedArchive::fromPropertyList(damaged);
        }
        if (!found) break;
    }
    const std::string bytes = sampleArchive().encode();
    for (std::size_t length = 0; length < bytes.size(); length += 7)
        EXPECT_FALSE(KeyedArchive::decode(bytes.substr(0, length)).has_value());
}

} // namespace
} // namespace byteward
