// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/keyed_archive.h"
#include "storage/plist_codec.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <random>

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
    }
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
