// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/keyed_archive.h"

#include "storage/plist_codec.h"

#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace byteward {

namespace {

constexpr const char *kArchiverName = "NSKeyedArchiver";
constexpr std::int64_t kArchiveVersion = 100000;
constexpr const char *kNullEntry = "$null";

// Deeper nesting than this is no archive anyone wrote; it would only exhaust the stack.
constexpr int kMaxDepth = 256;
// Shared objects are copied into every place that refers to them; this bounds what a small file
// of objects sharing each other over and over can expand to.
constexpr std::size_t kMinNodeBudget = 1 << 16;

// Dates are seconds since 2001 in the archive and microseconds since 1970 here.
constexpr std::int64_t kEpochOffsetMicros =
    static_cast<std::int64_t>(kPlistEpochOffset) * 1'000'000;
// Beyond this many seconds from 2001 a date no longer fits an Instant.
constexpr double kMaxArchiveSeconds = 9.0e12;

double archiveTime(Instant when) {
    return static_cast<double>(when.time_since_epoch().count() - kEpochOffsetMicros) / 1e6;
}

std::vector<std::string> chainEndingInNSObject(std::string className,
                                               std::vector<std::string> superclasses) {
    std::vector<std::string> chain{std::move(className)};
    for (auto &name : superclasses)
        chain.push_back(std::move(name));
    if (chain.back() != "NSObject") chain.emplace_back("NSObject");
    return chain;
}

bool chainHas(const std::vector<std::string> &chain, std::string_view name) {
    for (const auto &c : chain)
        if (c == name) return true;
    return false;
}

bool isPlainValue(const Value &v) {
    return v.isString() || v.isNumber() || v.isData();
}

struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes a tree into $objects: every object once, in the order met, class dictionaries shared.
class Encoder {
  public:
    Uid add(const ArchiveObject &object) {
        if (object.kind() == ArchiveObject::Kind::Plain) return append(object.value());
        const Uid self = append(Value());
        ValueDict entry;
        entry.reserve(object.fields().size() + 1);
        switch (object.kind()) {
        case ArchiveObject::Kind::Date:
            entry.set("NS.time", Value(archiveTime(*object.value().asDate())));
            break;
        case ArchiveObject::Kind::List: {
            ValueArray refs;
            refs.reserve(object.items().size());
            for (const auto &item : object.items())
                refs.emplace_back(add(item));
            entry.set("NS.objects", Value(std::move(refs)));
            break;
        }
        default:
            addFields(object, entry);
        }
        entry.set("$class", Value(classUid(object.classes())));
        objects_[self.index] = Value(std::move(entry));
        return self;
    }

    void addFields(const ArchiveFields &source, ValueDict &into) {
        for (const auto &field : source.fields())
            into.set(field.key, field.isInline ? field.object.value() : Value(add(field.object)));
    }

    ValueArray take() { return std::move(objects_); }

  private:
    Uid append(Value value) {
        objects_.push_back(std::move(value));
        return Uid{objects_.size() - 1};
    }

    Uid classUid(const std::vector<std::string> &chain) {
        if (auto known = classes_.find(chain.front()); known != classes_.end())
            return known->second;
        ValueArray names(chain.begin(), chain.end());
        ValueDict entry;
        entry.set("$classname", Value(chain.front()));
        entry.set("$classes", Value(std::move(names)));
        const Uid uid = append(Value(std::move(entry)));
        classes_.emplace(chain.front(), uid);
        return uid;
    }

    ValueArray objects_{Value(kNullEntry)};
    std::map<std::string, Uid> classes_;
};

// Writes an archive's binary property list straight from its objects, byte for byte what
// toBinaryPropertyList(toPropertyList()) gives, without building the property-list tree (most of
// the cost of saving a history of years). The objects are numbered as Encoder numbers them, then
// written in the order the tree's walk would meet them. Keys that a dictionary would merge (a
// field twice, a field named "$class") are left to the tree, which merges them.
class DirectEncoder {
  public:
    // Empty when the archive must go through the tree.
    std::optional<std::string> encode(const ArchiveFields &top) {
        if (!number(top)) return std::nullopt;
        BinaryPlistBuilder out;
        const auto root = out.container();
        std::vector<BinaryPlistBuilder::Ref> refs(8);
        refs[0] = out.text(texts().version);
        refs[4] = out.integer(kArchiveVersion);
        refs[1] = out.text(texts().archiver);
        refs[5] = out.text(texts().archiverName);
        refs[2] = out.text(texts().top);
        refs[6] = fieldsDict(out, top, topRefs_, nullptr);
        refs[3] = out.text(texts().objects);
        const auto objects = out.container();
        std::vector<BinaryPlistBuilder::Ref> items;
        items.reserve(entries_.size());
        for (const Entry &entry : entries_)
            items.push_back(write(out, entry));
        out.endArray(objects, std::move(items));
        refs[7] = objects;
        out.endDict(root, std::move(refs));
        return out.finish();
    }

  private:
    enum class Kind : std::uint8_t { Null, Plain, Date, List, Instance, Class };
    // One member of $objects: what it is made from, the number of its class, and where the
    // numbers of what it refers to start in refs_ (an instance's fields, a list's items).
    struct Entry {
        Kind kind;
        const ArchiveObject *object = nullptr;
        const std::vector<std::string> *chain = nullptr;
        std::uint64_t classUid = 0;
        std::size_t firstRef = 0;
    };

    // The texts an archive's structure needs, alive as long as the program: the builder keeps
    // references to them.
    struct Texts {
        std::string version{"$version"}, archiver{"$archiver"}, top{"$top"}, objects{"$objects"},
            archiverName{kArchiverName}, null{kNullEntry}, classKey{"$class"}, time{"NS.time"},
            items{"NS.objects"}, className{"$classname"}, classes{"$classes"};
    };
    static const Texts &texts() {
        static const Texts all;
        return all;
    }

    // Numbers the top's objects and everything under them; false when keys would merge.
    bool number(const ArchiveFields &top) {
        entries_.push_back({Kind::Null});
        topRefs_.resize(top.fields().size());
        return distinctKeys(top) && numberFields(top, topRefs_.data());
    }

    static bool distinctKeys(const ArchiveFields &fields) {
        const auto &list = fields.fields();
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].key == "$class") return false;
            for (std::size_t j = 0; j < i; ++j)
                if (list[j].key == list[i].key) return false;
        }
        return true;
    }

    bool numberFields(const ArchiveFields &fields, std::uint64_t *into) {
        std::size_t i = 0;
        for (const auto &field : fields.fields()) {
            if (!field.isInline) {
                const auto uid = add(field.object);
                if (!uid) return false;
                into[i] = *uid;
            }
            ++i;
        }
        return true;
    }

    // Encoder::add without the tree. Positions in refs_ are kept as indexes: adding grows it.
    std::optional<std::uint64_t> add(const ArchiveObject &object) {
        const std::uint64_t self = entries_.size();
        switch (object.kind()) {
        case ArchiveObject::Kind::Plain:
            entries_.push_back({Kind::Plain, &object});
            return self;
        case ArchiveObject::Kind::Date:
            entries_.push_back({Kind::Date, &object});
            break;
        case ArchiveObject::Kind::List: {
            entries_.push_back({Kind::List, &object, nullptr, 0, refs_.size()});
            const std::size_t first = refs_.size();
            refs_.resize(first + object.items().size());
            std::size_t i = 0;
            for (const auto &item : object.items()) {
                const auto uid = add(item);
                if (!uid) return std::nullopt;
                refs_[first + i++] = *uid;
            }
            break;
        }
        case ArchiveObject::Kind::Instance: {
            if (!distinctKeys(object)) return std::nullopt;
            entries_.push_back({Kind::Instance, &object, nullptr, 0, refs_.size()});
            const std::size_t first = refs_.size();
            refs_.resize(first + object.fields().size());
            std::size_t i = 0;
            for (const auto &field : object.fields()) {
                if (!field.isInline) {
                    const auto uid = add(field.object);
                    if (!uid) return std::nullopt;
                    refs_[first + i] = *uid;
                }
                ++i;
            }
            break;
        }
        }
        const std::uint64_t classUid = classOf(object.classes());
        entries_[self].classUid = classUid;
        return self;
    }

    std::uint64_t classOf(const std::vector<std::string> &chain) {
        if (auto known = classes_.find(chain.front()); known != classes_.end())
            return known->second;
        const std::uint64_t uid = entries_.size();
        entries_.push_back({Kind::Class, nullptr, &chain});
        classes_.emplace(chain.front(), uid);
        return uid;
    }

    // A dictionary of fields, then "$class" when the fields are an object's.
    BinaryPlistBuilder::Ref fieldsDict(BinaryPlistBuilder &out, const ArchiveFields &fields,
                                       const std::vector<std::uint64_t> &refs,
                                       const std::uint64_t *classUid, std::size_t first = 0) {
        const auto dict = out.container();
        const std::size_t n = fields.fields().size() + (classUid != nullptr ? 1 : 0);
        std::vector<BinaryPlistBuilder::Ref> keysThenValues(2 * n);
        std::size_t i = 0;
        for (const auto &field : fields.fields()) {
            keysThenValues[i] = out.text(field.key);
            keysThenValues[n + i] =
                field.isInline ? out.value(field.object.value()) : out.uid(refs[first + i]);
            ++i;
        }
        if (classUid != nullptr) {
            keysThenValues[i] = out.text(texts().classKey);
            keysThenValues[n + i] = out.uid(*classUid);
        }
        out.endDict(dict, std::move(keysThenValues));
        return dict;
    }

    BinaryPlistBuilder::Ref write(BinaryPlistBuilder &out, const Entry &entry) {
        switch (entry.kind) {
        case Kind::Null:
            return out.text(texts().null);
        case Kind::Plain:
            return out.value(entry.object->value());
        case Kind::Date: {
            const auto dict = out.container();
            std::vector<BinaryPlistBuilder::Ref> refs(4);
            refs[0] = out.text(texts().time);
            refs[2] = out.real(archiveTime(*entry.object->value().asDate()));
            refs[1] = out.text(texts().classKey);
            refs[3] = out.uid(entry.classUid);
            out.endDict(dict, std::move(refs));
            return dict;
        }
        case Kind::List: {
            const auto dict = out.container();
            std::vector<BinaryPlistBuilder::Ref> refs(4);
            refs[0] = out.text(texts().items);
            const auto array = out.container();
            const std::size_t count = entry.object->items().size();
            std::vector<BinaryPlistBuilder::Ref> items(count);
            for (std::size_t i = 0; i < count; ++i)
                items[i] = out.uid(refs_[entry.firstRef + i]);
            out.endArray(array, std::move(items));
            refs[2] = array;
            refs[1] = out.text(texts().classKey);
            refs[3] = out.uid(entry.classUid);
            out.endDict(dict, std::move(refs));
            return dict;
        }
        case Kind::Instance:
            return fieldsDict(out, *entry.object, refs_, &entry.classUid, entry.firstRef);
        case Kind::Class: {
            const auto dict = out.container();
            std::vector<BinaryPlistBuilder::Ref> refs(4);
            refs[0] = out.text(texts().className);
            refs[2] = out.text(entry.chain->front());
            refs[1] = out.text(texts().classes);
            const auto array = out.container();
            std::vector<BinaryPlistBuilder::Ref> names;
            names.reserve(entry.chain->size());
            for (const auto &name : *entry.chain)
                names.push_back(out.text(name));
            out.endArray(array, std::move(names));
            refs[3] = array;
            out.endDict(dict, std::move(refs));
            return dict;
        }
        }
        return 0;
    }

    std::vector<Entry> entries_;
    std::vector<std::uint64_t> refs_;
    std::vector<std::uint64_t> topRefs_;
    std::map<std::string, std::uint64_t> classes_;
};

// References held by the objects themselves or by their inline lists, one level down.
std::size_t countReferences(const ValueArray &objects) {
    std::size_t n = 0;
    auto count = [&n](const Value &v) {
        if (v.isUid()) ++n;
        if (const auto *array = v.asArray())
            for (const auto &item : *array)
                n += item.isUid() ? 1 : 0;
    };
    for (const auto &object : objects) {
        if (const auto *dict = object.asDict())
            for (const auto &entry : *dict)
                count(entry.second);
    }
    return n;
}

// What objects of a class are read as.
enum class Shape { Date, List, String, Data, Instance };

Shape shapeOf(const std::vector<std::string> &chain) {
    if (chainHas(chain, "NSDate")) return Shape::Date;
    if (chainHas(chain, "NSArray") || chainHas(chain, "NSSet") || chainHas(chain, "NSOrderedSet"))
        return Shape::List;
    if (chainHas(chain, "NSString")) return Shape::String;
    if (chainHas(chain, "NSData")) return Shape::Data;
    return Shape::Instance;
}

const ValueDict &requireDict(const Value *v, const std::string &what) {
    if (v == nullptr || !v->isDict()) throw DecodeError(what + " is not a dictionary");
    return *v->asDict();
}

} // namespace

// Resolves UIDs into a tree, checking every reference: in range, not part of a cycle, not too
// deep, and not expanding beyond a budget.
class KeyedArchiveDecoder {
  public:
    explicit KeyedArchiveDecoder(const ValueArray &objects)
        : objects_(objects), visiting_(objects.size(), false),
          budget_(kMinNodeBudget + 4 * countReferences(objects)) {}

    void decodeFields(const ValueDict &dict, ArchiveFields &into, int depth) {
        for (const auto &[key, v] : dict) {
            if (key == "$class") continue;
            if (const Uid *uid = v.asUid()) {
                if (auto object = resolve(*uid, depth + 1))
                    into.fields_.push_back({key, std::move(*object), false});
            } else if (isPlainValue(v)) {
                into.fields_.push_back({key, plain(v), true});
            } else if (v.isDate()) {
                into.fields_.push_back({key, ArchiveObject::date(*v.asDate()), false});
            }
            // Inline arrays and dictionaries belong to classes we do not model; leave them out.
        }
    }

  private:
    // Empty for nil.
    std::optional<ArchiveObject> resolve(Uid uid, int depth) {
        if (uid.index == 0) return std::nullopt;
        if (uid.index >= objects_.size())
            throw DecodeError("reference " + std::to_string(uid.index) + " is out of range");
        if (depth > kMaxDepth) throw DecodeError("objects are nested too deeply");
        if (budget_ == 0) throw DecodeError("objects refer to each other too often");
        --budget_;
        const auto index = static_cast<std::size_t>(uid.index);
        if (visiting_[index])
            throw DecodeError("object " + std::to_string(index) + " contains itself");
        visiting_[index] = true;
        ArchiveObject object = build(objects_[index], index, depth);
        visiting_[index] = false;
        return object;
    }

    ArchiveObject build(const Value &entry, std::size_t index, int depth) {
        if (isPlainValue(entry)) return plain(entry);
        if (entry.isDate()) return ArchiveObject::date(*entry.asDate());
        const auto what = [index] { return "object " + std::to_string(index); };
        if (!entry.isDict()) throw DecodeError(what() + " is not a dictionary");
        const ValueDict &dict = *entry.asDict();
        const Value *classRef = dict.find("$class");
        if (classRef == nullptr || !classRef->isUid()) throw DecodeError(what() + " has no class");
        const ClassInfo &info = classInfo(*classRef->asUid());

        switch (info.shape) {
        case Shape::Date:
            return date(dict, info.chain, what);
        case Shape::List:
            return list(dict, info.chain, what, depth);
        case Shape::String:
            return wrapped(dict, "NS.string", what, depth);
        case Shape::Data:
            return wrapped(dict, "NS.data", what, depth);
        case Shape::Instance:
            break;
        }
        ArchiveObject object(ArchiveObject::Kind::Instance, Value(), info.chain);
        object.fields_.reserve(dict.size());
        decodeFields(dict, object, depth);
        return object;
    }

    struct ClassInfo {
        ArchiveObject::Chain chain;
        Shape shape = Shape::Instance;
    };

    // A class is read once, however many objects refer to it.
    const ClassInfo &classInfo(Uid uid) {
        if (const auto known = classes_.find(uid.index); known != classes_.end())
            return known->second;
        const std::vector<std::string> chain = classChain(uid);
        ClassInfo info{std::make_shared<const std::vector<std::string>>(chain), shapeOf(chain)};
        return classes_.emplace(uid.index, std::move(info)).first->second;
    }

    std::vector<std::string> classChain(Uid uid) {
        if (uid.index == 0 || uid.index >= objects_.size())
            throw DecodeError("class reference " + std::to_string(uid.index) + " is out of range");
        const ValueDict &dict =
            requireDict(&objects_[static_cast<std::size_t>(uid.index)], "a class");
        const Value *name = dict.find("$classname");
        if (name == nullptr || !name->isString()) throw DecodeError("a class has no name");
        std::vector<std::string> chain{*name->asString()};
        if (const Value *classes = dict.find("$classes"); classes && classes->isArray()) {
            for (const auto &c : *classes->asArray())
                if (c.isString() && *c.asString() != chain.front()) chain.push_back(*c.asString());
        }
        if (chain.back() != "NSObject") chain.emplace_back("NSObject");
        return chain;
    }

    template <typename What>
    static ArchiveObject date(const ValueDict &dict, ArchiveObject::Chain chain, const What &what) {
        const Value *time = dict.find("NS.time");
        if (time != nullptr && !time->isNumber()) throw DecodeError(what() + " has no valid time");
        // A date archived without its time is the reference date.
        const double seconds = time != nullptr ? time->doubleValue() : 0.0;
        if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxArchiveSeconds)
            throw DecodeError(what() + " has a time out of range");
        const Instant when(
            std::chrono::microseconds(std::llround(seconds * 1e6) + kEpochOffsetMicros));
        return ArchiveObject(ArchiveObject::Kind::Date, Value(when), std::move(chain));
    }

    template <typename What>
    ArchiveObject list(const ValueDict &dict, ArchiveObject::Chain chain, const What &what,
                       int depth) {
        ArchiveObject object(ArchiveObject::Kind::List, Value(), std::move(chain));
        const Value *refs = dict.find("NS.objects");
        if (refs == nullptr) return object; // an empty list may be written without the key
        if (!refs->isArray()) throw DecodeError(what() + " has no list of objects");
        object.items_.reserve(refs->asArray()->size());
        for (const auto &ref : *refs->asArray()) {
            if (!ref.isUid()) throw DecodeError(what() + " lists something other than an object");
            // A list cannot hold nil; a writer that put one there meant nothing by it.
            if (auto item = resolve(*ref.asUid(), depth + 1))
                object.items_.push_back(std::move(*item));
        }
        return object;
    }

    // NSMutableString and NSData written as objects around their contents.
    template <typename What>
    ArchiveObject wrapped(const ValueDict &dict, const char *key, const What &what, int depth) {
        const Value *inner = dict.find(key);
        if (inner != nullptr && isPlainValue(*inner)) return plain(*inner);
        if (inner != nullptr && inner->isUid())
            if (auto object = resolve(*inner->asUid(), depth + 1);
                object && object->kind() == ArchiveObject::Kind::Plain)
                return *object;
        throw DecodeError(what() + " has no " + key);
    }

    static ArchiveObject plain(const Value &v) {
        return ArchiveObject(ArchiveObject::Kind::Plain, v, ArchiveObject::noClasses());
    }

    const ValueArray &objects_;
    std::vector<bool> visiting_;
    std::size_t budget_;
    std::unordered_map<std::uint64_t, ClassInfo> classes_;
};

// KeyedArchiveDecoder read straight from the objects of a binary property list, without the
// property-list tree, whose building and freeing was most of the cost of reading a history of
// years. It gives the same archive and refuses the same files: it checks what that decoder checks
// in the same order, and reads each dictionary as the tree holds it, a repeated key once where it
// first stood with the value it was given last.
class DirectArchiveDecoder {
  public:
    explicit DirectArchiveDecoder(const BinaryPlistView &plist)
        : plist_(plist), keyNumbers_(static_cast<std::size_t>(plist.objectCount()), kUnnumbered) {
        // In the order of the Key numbers.
        for (const char *name : {"$class", "$objects", "$top", "NS.time", "NS.objects", "NS.string",
                                 "NS.data", "$classname", "$classes"})
            intern(name);
    }

    // Empty when the property list is no archive.
    std::optional<KeyedArchive> decode() {
        try {
            const Object root = plist_.object(plist_.root());
            if (root.type != Type::Dict) return std::nullopt;
            const Entries entries = entriesOf(root);
            const auto objects = find(entries, kObjects);
            if (!objects || objects->type != Type::Array) return std::nullopt;
            const auto top = find(entries, kTop);
            if (!top || top->type != Type::Dict) return std::nullopt;
            objects_ = plist_.container(*objects);
            visiting_.assign(objects_.size, false);
            KeyedArchive archive;
            decodeFields(entriesOf(*top), archive, 0);
            return archive;
        } catch (const Refused &) {
            return std::nullopt;
        }
    }

  private:
    using Ref = BinaryPlistView::Ref;
    using Type = BinaryPlistView::Type;
    using Object = BinaryPlistView::Object;
    using Container = BinaryPlistView::Container;
    struct Refused {};

    // Keys are numbered by their text, so that dictionaries compare keys as numbers. These are
    // the ones the layout names.
    enum Key : std::uint32_t {
        kClass,
        kObjects,
        kTop,
        kTime,
        kItems,
        kString,
        kData,
        kClassName,
        kClasses
    };
    static constexpr std::uint32_t kUnnumbered = UINT32_MAX;

    struct Entry {
        std::uint32_t key;
        Object value;
    };
    // A dictionary's entries: entries_[first] onwards.
    struct Entries {
        std::size_t first = 0;
        std::size_t size = 0;
    };

    static bool isPlain(Type type) {
        return type == Type::Text || type == Type::Integer || type == Type::Real ||
               type == Type::Boolean || type == Type::Data;
    }

    std::uint32_t intern(std::string text) {
        const auto [at, added] =
            numbers_.try_emplace(std::move(text), static_cast<std::uint32_t>(texts_.size()));
        if (added) {
            texts_.push_back(&at->first);
            stamps_.push_back(0);
        }
        return at->second;
    }

    std::uint32_t keyOf(Ref ref) {
        std::uint32_t &number = keyNumbers_[static_cast<std::size_t>(ref)];
        if (number == kUnnumbered) number = intern(plist_.text(plist_.object(ref)));
        return number;
    }

    // A dictionary's entries as the tree holds them, put on a stack that release() pops: the
    // dictionaries being read nest, and the stack's room is used again.
    Entries entriesOf(const Object &dict) {
        const Container container = plist_.container(dict);
        const std::size_t first = entries_.size();
        ++serial_;
        for (std::size_t i = 0; i < container.size; ++i) {
            const std::uint32_t key = keyOf(plist_.key(container, i));
            const Object value = plist_.object(plist_.value(container, i));
            if (stamps_[key] == serial_) {
                for (std::size_t e = first; e < entries_.size(); ++e)
                    if (entries_[e].key == key) entries_[e].value = value;
                continue;
            }
            stamps_[key] = serial_;
            entries_.push_back({key, value});
        }
        return {first, entries_.size() - first};
    }

    void release(const Entries &entries) { entries_.resize(entries.first); }
    // Releases a dictionary's entries once the object made from them is returned.
    struct Released {
        DirectArchiveDecoder &decoder;
        const Entries &entries;
        ~Released() { decoder.release(entries); }
    };

    std::optional<Object> find(const Entries &entries, std::uint32_t key) const {
        for (std::size_t e = entries.first; e < entries.first + entries.size; ++e)
            if (entries_[e].key == key) return entries_[e].value;
        return std::nullopt;
    }

    // The references of countReferences, counted only once the budget without them is spent:
    // most archives never need them, and counting reads every object.
    bool spend() {
        if (budget_ == 0 && !counted_) {
            budget_ = 4 * countReferences();
            counted_ = true;
        }
        if (budget_ == 0) return false;
        --budget_;
        return true;
    }

    std::size_t countReferences() {
        std::size_t n = 0;
        for (std::size_t i = 0; i < objects_.size; ++i) {
            const Object object = plist_.object(plist_.item(objects_, i));
            if (object.type != Type::Dict) continue;
            const Entries entries = entriesOf(object);
            for (std::size_t e = entries.first; e < entries.first + entries.size; ++e) {
                const Object &value = entries_[e].value;
                if (value.type == Type::Uid) ++n;
                if (value.type != Type::Array) continue;
                const Container items = plist_.container(value);
                for (std::size_t k = 0; k < items.size; ++k)
                    n += plist_.object(plist_.item(items, k)).type == Type::Uid ? 1 : 0;
            }
            release(entries);
        }
        return n;
    }

    void decodeFields(const Entries &entries, ArchiveFields &into, int depth) {
        for (std::size_t e = entries.first; e < entries.first + entries.size; ++e) {
            const Entry entry = entries_[e]; // resolving grows the stack
            if (entry.key == kClass) continue;
            const std::string &key = *texts_[entry.key];
            const Type type = entry.value.type;
            if (type == Type::Uid) {
                if (const std::uint64_t index = plist_.uid(entry.value); index != 0)
                    into.fields_.push_back({key, resolve(index, depth + 1), false});
            } else if (isPlain(type)) {
                into.fields_.push_back({key, plain(entry.value), true});
            } else if (type == Type::Date) {
                into.fields_.push_back({key, date(entry.value), false});
            }
        }
    }

    // The object a reference other than nil (0) refers to.
    ArchiveObject resolve(std::uint64_t index, int depth) {
        if (index >= objects_.size || depth > kMaxDepth || !spend()) throw Refused{};
        if (visiting_[index]) throw Refused{};
        visiting_[index] = true;
        // Returned without a copy or move on the way out; a refused file leaves the flag set.
        struct Visited {
            std::vector<bool>::reference flag;
            ~Visited() { flag = false; }
        } const visited{visiting_[index]};
        return build(plist_.item(objects_, index), depth);
    }

    ArchiveObject build(Ref ref, int depth) {
        const Object entry = plist_.object(ref);
        if (isPlain(entry.type)) return plain(entry);
        if (entry.type == Type::Date) return date(entry);
        if (entry.type != Type::Dict) throw Refused{};
        const Entries entries = entriesOf(entry);
        const Released released{*this, entries};
        const auto classRef = find(entries, kClass);
        if (!classRef || classRef->type != Type::Uid) throw Refused{};
        const ClassInfo &info = classInfo(plist_.uid(*classRef));
        switch (info.shape) {
        case Shape::Date:
            return timeOf(entries, info.chain);
        case Shape::List:
            return list(entries, info.chain, depth);
        case Shape::String:
            return wrapped(entries, kString, depth);
        case Shape::Data:
            return wrapped(entries, kData, depth);
        case Shape::Instance:
            break;
        }
        return instance(entries, info.chain, depth);
    }

    ArchiveObject instance(const Entries &entries, ArchiveObject::Chain chain, int depth) {
        ArchiveObject object(ArchiveObject::Kind::Instance, Value(), std::move(chain));
        object.fields_.reserve(entries.size);
        decodeFields(entries, object, depth);
        return object;
    }

    struct ClassInfo {
        ArchiveObject::Chain chain;
        Shape shape = Shape::Instance;
    };

    const ClassInfo &classInfo(std::uint64_t index) {
        if (const auto known = classes_.find(index); known != classes_.end()) return known->second;
        const std::vector<std::string> chain = classChain(index);
        ClassInfo info{std::make_shared<const std::vector<std::string>>(chain), shapeOf(chain)};
        return classes_.emplace(index, std::move(info)).first->second;
    }

    std::vector<std::string> classChain(std::uint64_t index) {
        if (index == 0 || index >= objects_.size) throw Refused{};
        const Object entry = plist_.object(plist_.item(objects_, index));
        if (entry.type != Type::Dict) throw Refused{};
        const Entries entries = entriesOf(entry);
        const auto name = find(entries, kClassName);
        if (!name || name->type != Type::Text) throw Refused{};
        std::vector<std::string> chain{plist_.text(*name)};
        if (const auto classes = find(entries, kClasses); classes && classes->type == Type::Array) {
            const Container names = plist_.container(*classes);
            for (std::size_t i = 0; i < names.size; ++i) {
                const Object item = plist_.object(plist_.item(names, i));
                if (item.type != Type::Text) continue;
                std::string text = plist_.text(item);
                if (text != chain.front()) chain.push_back(std::move(text));
            }
        }
        release(entries);
        if (chain.back() != "NSObject") chain.emplace_back("NSObject");
        return chain;
    }

    // An NSDate object: its time, seconds since 2001.
    ArchiveObject timeOf(const Entries &entries, ArchiveObject::Chain chain) const {
        const auto time = find(entries, kTime);
        if (time && time->type != Type::Integer && time->type != Type::Real &&
            time->type != Type::Boolean)
            throw Refused{};
        const double seconds = time ? plist_.scalar(*time).doubleValue() : 0.0;
        if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxArchiveSeconds) throw Refused{};
        const Instant when(
            std::chrono::microseconds(std::llround(seconds * 1e6) + kEpochOffsetMicros));
        return ArchiveObject(ArchiveObject::Kind::Date, Value(when), std::move(chain));
    }

    ArchiveObject list(const Entries &entries, ArchiveObject::Chain chain, int depth) {
        ArchiveObject object(ArchiveObject::Kind::List, Value(), std::move(chain));
        const auto refs = find(entries, kItems);
        if (!refs) return object;
        if (refs->type != Type::Array) throw Refused{};
        const Container items = plist_.container(*refs);
        object.items_.reserve(items.size);
        for (std::size_t i = 0; i < items.size; ++i) {
            const Object item = plist_.object(plist_.item(items, i));
            if (item.type != Type::Uid) throw Refused{};
            if (const std::uint64_t index = plist_.uid(item); index != 0)
                object.items_.push_back(resolve(index, depth + 1));
        }
        return object;
    }

    ArchiveObject wrapped(const Entries &entries, std::uint32_t key, int depth) {
        const auto inner = find(entries, key);
        if (!inner) throw Refused{};
        if (isPlain(inner->type)) return plain(*inner);
        if (inner->type != Type::Uid) throw Refused{};
        const std::uint64_t index = plist_.uid(*inner);
        if (index == 0) throw Refused{};
        ArchiveObject object = resolve(index, depth + 1);
        if (object.kind() != ArchiveObject::Kind::Plain) throw Refused{};
        return object;
    }

    ArchiveObject plain(const Object &object) const {
        return ArchiveObject(ArchiveObject::Kind::Plain, plist_.scalar(object),
                             ArchiveObject::noClasses());
    }

    // A date stored as a property-list date rather than an NSDate object.
    ArchiveObject date(const Object &object) const {
        return ArchiveObject::date(*plist_.scalar(object).asDate());
    }

    const BinaryPlistView &plist_;
    Container objects_;
    std::vector<bool> visiting_;
    std::size_t budget_ = kMinNodeBudget;
    bool counted_ = false;
    std::unordered_map<std::uint64_t, ClassInfo> classes_;

    // Key numbers by the ref of their text, kUnnumbered until met.
    std::vector<std::uint32_t> keyNumbers_;
    std::unordered_map<std::string, std::uint32_t> numbers_;
    std::vector<const std::string *> texts_; // by number
    // By key number, the dictionary that last held the key: one serial number each.
    std::vector<std::size_t> stamps_;
    std::size_t serial_ = 0;
    std::vector<Entry> entries_;
};

// ArchiveFields

ArchiveFields::ArchiveFields() = default;
ArchiveFields::~ArchiveFields() = default;
ArchiveFields::ArchiveFields(const ArchiveFields &) = default;
ArchiveFields::ArchiveFields(ArchiveFields &&) noexcept = default;
ArchiveFields &ArchiveFields::operator=(const ArchiveFields &) = default;
ArchiveFields &ArchiveFields::operator=(ArchiveFields &&) noexcept = default;

void ArchiveFields::encodeObject(std::string key, ArchiveObject object) {
    fields_.push_back({std::move(key), std::move(object), false});
}

void ArchiveFields::reserveFields(std::size_t count) {
    fields_.reserve(count);
}

void ArchiveFields::encodeInt32(std::string key, std::int32_t value) {
    fields_.push_back({std::move(key), ArchiveObject::integer(value), true});
}

void ArchiveFields::encodeBool(std::string key, bool value) {
    fields_.push_back({std::move(key), ArchiveObject::boolean(value), true});
}

std::vector<std::string> ArchiveFields::removeNonFiniteNumbers() {
    std::vector<std::string> removed;
    std::erase_if(fields_, [&removed](const ArchiveField &field) {
        const ArchiveObject &object = field.object;
        const bool damaged = object.kind() == ArchiveObject::Kind::Plain &&
                             object.value().isNumber() &&
                             !std::isfinite(object.value().doubleValue());
        if (damaged) removed.push_back(field.key);
        return damaged;
    });
    return removed;
}

const ArchiveObject *ArchiveFields::decodeObject(std::string_view key) const {
    for (const auto &field : fields_)
        if (field.key == key) return &field.object;
    return nullptr;
}

ArchiveObject *ArchiveFields::decodeObject(std::string_view key) {
    for (auto &field : fields_)
        if (field.key == key) return &field.object;
    return nullptr;
}

std::int32_t ArchiveFields::decodeInt32(std::string_view key) const {
    const ArchiveObject *object = decodeObject(key);
    if (object == nullptr || object->kind() != ArchiveObject::Kind::Plain ||
        !object->value().isNumber())
        return 0;
    const double number = object->value().doubleValue();
    if (!(number >= std::numeric_limits<std::int32_t>::min() &&
          number <= std::numeric_limits<std::int32_t>::max()))
        return 0;
    return static_cast<std::int32_t>(object->value().integerValue());
}

bool ArchiveFields::decodeBool(std::string_view key) const {
    const ArchiveObject *object = decodeObject(key);
    if (object == nullptr || object->kind() != ArchiveObject::Kind::Plain ||
        !object->value().isNumber())
        return false;
    return object->value().boolValue();
}

std::optional<Instant> ArchiveFields::decodeDate(std::string_view key) const {
    const ArchiveObject *object = decodeObject(key);
    if (object == nullptr || object->kind() != ArchiveObject::Kind::Date) return std::nullopt;
    return *object->value().asDate();
}

std::optional<double> ArchiveFields::decodeDouble(std::string_view key) const {
    const ArchiveObject *object = decodeObject(key);
    if (object == nullptr || object->kind() != ArchiveObject::Kind::Plain ||
        !object->value().isNumber())
        return std::nullopt;
    return object->value().doubleValue();
}

std::optional<std::string> ArchiveFields::decodeString(std::string_view key) const {
    const ArchiveObject *object = decodeObject(key);
    if (object == nullptr || object->kind() != ArchiveObject::Kind::Plain) return std::nullopt;
    if (const std::string *text = object->value().asString()) return *text;
    return std::nullopt;
}

// ArchiveObject

ArchiveObject::ArchiveObject(Kind kind, Value value, Chain classes)
    : kind_(kind), value_(std::move(value)), classes_(std::move(classes)) {
}

ArchiveObject::Chain ArchiveObject::noClasses() {
    static const Chain none = std::make_shared<const std::vector<std::string>>();
    return none;
}

ArchiveObject ArchiveObject::string(std::string text) {
    return {Kind::Plain, Value(std::move(text)), noClasses()};
}

ArchiveObject ArchiveObject::integer(std::int64_t number) {
    return {Kind::Plain, Value(static_cast<long long>(number)), noClasses()};
}

ArchiveObject ArchiveObject::real(double number) {
    return {Kind::Plain, Value(number), noClasses()};
}

ArchiveObject ArchiveObject::boolean(bool flag) {
    return {Kind::Plain, Value(flag), noClasses()};
}

ArchiveObject ArchiveObject::data(ValueData bytes) {
    return {Kind::Plain, Value(std::move(bytes)), noClasses()};
}

ArchiveObject ArchiveObject::date(Instant when) {
    static const Chain chain = std::make_shared<const std::vector<std::string>>(
        std::vector<std::string>{"NSDate", "NSObject"});
    return {Kind::Date, Value(when), chain};
}

ArchiveObject ArchiveObject::list(std::vector<ArchiveObject> items) {
    static const Chain chain = std::make_shared<const std::vector<std::string>>(
        std::vector<std::string>{"NSMutableArray", "NSArray", "NSObject"});
    ArchiveObject object(Kind::List, Value(), chain);
    object.items_ = std::move(items);
    return object;
}

ArchiveObject ArchiveObject::instance(std::string className,
                                      std::vector<std::string> superclasses) {
    if (!superclasses.empty())
        return {Kind::Instance, Value(),
                std::make_shared<const std::vector<std::string>>(
                    chainEndingInNSObject(std::move(className), std::move(superclasses)))};
    // A store encodes every one of its records as an instance of one class: they share its chain.
    static std::mutex mutex;
    static std::map<std::string, Chain, std::less<>> chains;
    const std::lock_guard lock(mutex);
    auto known = chains.find(className);
    if (known == chains.end()) {
        auto chain =
            std::make_shared<const std::vector<std::string>>(chainEndingInNSObject(className, {}));
        known = chains.emplace(std::move(className), std::move(chain)).first;
    }
    return {Kind::Instance, Value(), known->second};
}

const std::string &ArchiveObject::className() const {
    static const std::string none;
    return classes_->empty() ? none : classes_->front();
}

bool ArchiveObject::operator==(const ArchiveObject &other) const {
    return kind_ == other.kind_ && value_ == other.value_ &&
           (classes_ == other.classes_ || *classes_ == *other.classes_) && items_ == other.items_ &&
           fields_ == other.fields_;
}

// KeyedArchive

Value KeyedArchive::toPropertyList() const {
    Encoder encoder;
    ValueDict top;
    encoder.addFields(*this, top);
    ValueDict root;
    root.set("$version", Value(static_cast<long long>(kArchiveVersion)));
    root.set("$archiver", Value(kArchiverName));
    root.set("$top", Value(std::move(top)));
    root.set("$objects", Value(encoder.take()));
    return Value(std::move(root));
}

std::string KeyedArchive::encode() const {
    if (auto bytes = DirectEncoder().encode(*this)) return std::move(*bytes);
    return toBinaryPropertyList(toPropertyList());
}

std::optional<KeyedArchive> KeyedArchive::decode(std::string_view bytes, std::string *error) {
    if (auto archive = decodeDirectly(bytes)) return archive;
    // XML, and binary files refused: the tree says why.
    const auto root = parsePropertyList(bytes);
    if (!root) {
        if (error != nullptr) *error = "not a property list";
        return std::nullopt;
    }
    return fromPropertyList(*root, error);
}

std::optional<KeyedArchive> KeyedArchive::decodeDirectly(std::string_view bytes) {
    const auto plist = BinaryPlistView::open(bytes);
    if (!plist) return std::nullopt;
    return DirectArchiveDecoder(*plist).decode();
}

std::optional<KeyedArchive> KeyedArchive::fromPropertyList(const Value &root, std::string *error) {
    try {
        const ValueDict &dict = requireDict(&root, "the archive");
        const Value *objects = dict.find("$objects");
        if (objects == nullptr || !objects->isArray())
            throw DecodeError("the archive has no $objects list");
        const ValueDict &top = requireDict(dict.find("$top"), "$top");
        KeyedArchiveDecoder decoder(*objects->asArray());
        KeyedArchive archive;
        decoder.decodeFields(top, archive, 0);
        return archive;
    } catch (const DecodeError &problem) {
        if (error != nullptr) *error = problem.what();
        return std::nullopt;
    }
}

} // namespace byteward
