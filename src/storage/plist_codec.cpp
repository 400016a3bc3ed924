// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/plist_codec.h"

#include "platform/utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <plist/plist.h>
#include <unordered_map>

namespace byteward {
namespace {

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// libplist hands dates over as 32-bit seconds since 2001 (1933-12-13 to 2069-01-19) and casts
// anything outside that range to its smallest value, so an end date in 2100 read back as 1933.
// Beyond that range a date goes through the binary form instead, which holds it as a double.
// Dates are held to the years 1 to 9999, all that the XML form (and a person) can write.
constexpr double kFirstDate = -62'135'596'800; // 0001-01-01T00:00:00Z, seconds since 1970
constexpr double kLastDate = 253'402'300'799;  // 9999-12-31T23:59:59Z
constexpr std::size_t kBinaryHeader = 8;
constexpr unsigned char kDateMarker = 0x33;

std::optional<double> exactDateSeconds(plist_t node) {
    char *bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &bin, &length);
    std::optional<double> seconds;
    if (bin != nullptr && length >= kBinaryHeader + 9 &&
        static_cast<unsigned char>(bin[kBinaryHeader]) == kDateMarker) {
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < 8; ++i)
            bits = (bits << 8) | static_cast<unsigned char>(bin[kBinaryHeader + 1 + i]);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        seconds = value;
    }
    plist_to_bin_free(bin);
    return seconds;
}

plist_t dateNodeFromSeconds(double seconds) {
    // A binary property list of one date: header, the date, a one-entry offset table and the
    // trailer (offset and reference sizes 1, one object, root 0, table at byte 17).
    std::array<unsigned char, kBinaryHeader + 9 + 1 + 32> bin{};
    std::memcpy(bin.data(), "bplist00", kBinaryHeader);
    bin[kBinaryHeader] = kDateMarker;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &seconds, sizeof bits);
    for (std::size_t i = 0; i < 8; ++i)
        bin[kBinaryHeader + 1 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    bin[17] = kBinaryHeader;
    unsigned char *trailer = bin.data() + 18;
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = 1;
    trailer[31] = 17;
    plist_t node = nullptr;
    plist_from_bin(reinterpret_cast<const char *>(bin.data()), bin.size(), &node);
    // Should the library refuse it, the nearest date it can hold rather than no node at all.
    if (node == nullptr) node = plist_new_date(seconds > 0 ? INT32_MAX : INT32_MIN, 0);
    return node;
}

Instant dateFromNode(plist_t node) {
    int32_t sec = 0;
    int32_t usec = 0;
    plist_get_date_val(node, &sec, &usec);
    if (sec == INT32_MIN || sec == INT32_MAX) {
        const double seconds = exactDateSeconds(node).value_or(sec) + kPlistEpochOffset;
        if (std::isnan(seconds)) return Instant{};
        return instantFromSeconds(std::clamp(seconds, kFirstDate, kLastDate));
    }
    // libplist truncates the seconds toward zero and hands back the fraction's magnitude, so
    // before 2001 the fraction counts backwards.
    const std::int64_t fraction = sec < 0 ? -static_cast<std::int64_t>(usec) : usec;
    const auto micros =
        (static_cast<std::int64_t>(sec) + static_cast<std::int64_t>(kPlistEpochOffset)) *
            1'000'000 +
        fraction;
    return Instant(std::chrono::microseconds(micros));
}

// A date as libplist holds it: whole seconds since 2001 and the microseconds after them, never
// negative (floor division, so dates before 2001 keep a positive fraction).
struct PlistTime {
    std::int64_t sec = 0;
    std::int64_t usec = 0;

    bool fitsLibplist() const { return sec >= INT32_MIN && sec <= INT32_MAX; }
    // Beyond libplist's 32-bit seconds: the exact value, held to the years 1 to 9999.
    double farSeconds() const {
        return std::clamp(static_cast<double>(sec) + static_cast<double>(usec) / 1e6,
                          kFirstDate - kPlistEpochOffset, kLastDate - kPlistEpochOffset);
    }
};

PlistTime plistTime(Instant date) {
    const std::int64_t micros =
        date.time_since_epoch().count() - static_cast<std::int64_t>(kPlistEpochOffset) * 1'000'000;
    PlistTime time{micros / 1'000'000, micros % 1'000'000};
    if (time.usec < 0) {
        time.usec += 1'000'000;
        time.sec -= 1;
    }
    return time;
}

constexpr std::int64_t kSecondsPerDay = 86'400;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

// A day of the proleptic Gregorian calendar.
struct CivilDate {
    std::int64_t year = 1970;
    unsigned month = 1; // 1 to 12
    unsigned day = 1;   // 1 to 31
};

// The day so many days after 1970-01-01, in 400-year eras that start on 1 March (Hinnant's
// algorithm): a date read from a damaged file can lie past std::chrono's 32,767 years.
CivilDate civilFromDays(std::int64_t days) {
    days += 719'468;
    const std::int64_t era = floorDiv(days, 146'097);
    const std::int64_t dayOfEra = days - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153; // 0 is March
    CivilDate date;
    date.day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    date.month = static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

plist_t nodeFromDate(Instant date) {
    const PlistTime time = plistTime(date);
    if (!time.fitsLibplist()) return dateNodeFromSeconds(time.farSeconds());
    return plist_new_date(static_cast<int32_t>(time.sec), static_cast<int32_t>(time.usec));
}

Value valueFromNode(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        // libplist keeps every integer as unsigned 64 bits; negative values come back two's
        // complement.
        return Value(static_cast<long long>(static_cast<std::int64_t>(u)));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        char *text = nullptr;
        plist_get_string_val(node, &text);
        std::string result = text != nullptr ? text : "";
        std::free(text);
        return Value(std::move(result));
    }
    case PLIST_DATE:
        return Value(dateFromNode(node));
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        return Value(ValueData(bytes, bytes + length));
    }
    case PLIST_UID: {
        uint64_t index = 0;
        plist_get_uid_val(node, &index);
        return Value(Uid{index});
    }
    case PLIST_ARRAY: {
        ValueArray array;
        array.reserve(plist_array_get_size(node));
        // Walk with an iterator: fetching items by index costs a walk of the list each time,
        // which made archives of many objects take seconds to read.
        plist_array_iter iter = nullptr;
        plist_array_new_iter(node, &iter);
        for (;;) {
            plist_t item = nullptr;
            plist_array_next_item(node, iter, &item);
            if (item == nullptr) break;
            array.push_back(valueFromNode(item));
        }
        std::free(iter);
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        ValueDict dict;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        for (;;) {
            char *key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, &key, &item);
            if (item == nullptr) {
                std::free(key);
                break;
            }
            dict.set(key != nullptr ? key : "", valueFromNode(item));
            std::free(key);
        }
        std::free(iter);
        return Value(std::move(dict));
    }
    default:
        return Value(std::string{});
    }
}

plist_t nodeFromValue(const Value &value) {
    struct Visitor {
        plist_t operator()(bool b) const { return plist_new_bool(b ? 1 : 0); }
        plist_t operator()(std::int64_t i) const {
            return plist_new_uint(static_cast<uint64_t>(i));
        }
        plist_t operator()(double d) const { return plist_new_real(d); }
        plist_t operator()(const std::string &s) const {
            return plist_new_string(validUtf8(s).c_str());
        }
        plist_t operator()(Instant d) const { return nodeFromDate(d); }
        plist_t operator()(const ValueData &data) const {
            return plist_new_data(reinterpret_cast<const char *>(data.data()), data.size());
        }
        plist_t operator()(const ValueArray &array) const {
            plist_t node = plist_new_array();
            for (const auto &item : array)
                plist_array_append_item(node, nodeFromValue(item));
            return node;
        }
        plist_t operator()(const ValueDict &dict) const {
            plist_t node = plist_new_dict();
            for (const auto &[key, item] : dict)
                plist_dict_set_item(node, validUtf8(key).c_str(), nodeFromValue(item));
            return node;
        }
        plist_t operator()(Uid uid) const { return plist_new_uid(uid.index); }
    };
    return std::visit(Visitor{}, value.storage());
}

// Seconds since 2001 as libplist computes them from whole seconds and microseconds, so a date
// reads back the same whichever writer stored it.
double plistSeconds(Instant date) {
    const PlistTime time = plistTime(date);
    if (!time.fitsLibplist()) return time.farSeconds();
    return static_cast<double>(time.sec) + static_cast<double>(time.usec) / 1000000;
}

// Writes the binary property-list format (bplist00) directly. Equal strings, numbers and dates
// are stored once, as other writers do; containers never are. Linear in the size of the tree:
// libplist's writer looks objects up in a fixed-size hash table, which made a history of ten
// years take a second to save.
class BinaryPlistWriter {
  public:
    using Ref = BinaryPlistBuilder::Ref;

    // A value and everything in it: each container before what it holds, a dictionary's keys and
    // values in turn.
    Ref value(const Value &value) {
        if (const auto *array = value.asArray()) {
            const Ref index = container();
            std::vector<Ref> refs;
            refs.reserve(array->size());
            for (const auto &item : *array)
                refs.push_back(this->value(item));
            endArray(index, std::move(refs));
            return index;
        }
        if (const auto *dict = value.asDict()) {
            const Ref index = container();
            std::vector<Ref> refs(dict->size() * 2);
            std::size_t i = 0;
            for (const auto &[key, item] : *dict) {
                refs[i] = text(key);
                refs[dict->size() + i] = this->value(item);
                ++i;
            }
            endDict(index, std::move(refs));
            return index;
        }
        return scalar(value);
    }

    Ref text(const std::string &text) {
        return unique(texts_, text, {Object::Kind::Text, nullptr, &text, 0, {}});
    }
    Ref uid(std::uint64_t index) {
        // An archive's references run from 0 to its number of objects, one each: a table by
        // index finds them without hashing thousands of them.
        if (index < kDenseUids) {
            if (index >= uids_.size())
                uids_.resize(std::min(kDenseUids, std::max(index + 1, uids_.size() * 2)), kNone);
            Ref &known = uids_[index];
            if (known == kNone) known = push({Object::Kind::Uid, nullptr, nullptr, index, {}});
            return known;
        }
        return unique(bits_, {'u', index}, {Object::Kind::Uid, nullptr, nullptr, index, {}});
    }
    Ref real(double number) {
        return unique(bits_, {'r', bitsOf(number)},
                      {Object::Kind::Real, nullptr, nullptr, bitsOf(number), {}});
    }
    Ref integer(std::int64_t number) {
        return unique(bits_, {'i', bitsOf(number)},
                      {Object::Kind::Integer, nullptr, nullptr, bitsOf(number), {}});
    }
    Ref container() { return push({Object::Kind::Array, nullptr, nullptr, 0, {}}); }
    void endArray(Ref index, std::vector<Ref> refs) {
        objects_[index].kind = Object::Kind::Array;
        objects_[index].refs = std::move(refs);
    }
    void endDict(Ref index, std::vector<Ref> refs) {
        objects_[index].kind = Object::Kind::Dict;
        objects_[index].refs = std::move(refs);
    }

    std::string finish() {
        refSize_ = bytesFor(objects_.size());
        std::vector<std::uint64_t> offsets;
        offsets.reserve(objects_.size());
        // Most objects of an archive are a marker and a few references or bytes.
        out_.reserve(objects_.size() * 16 + 64);
        out_ = "bplist00";
        for (const Object &object : objects_) {
            offsets.push_back(out_.size());
            writeObject(object);
        }
        const std::uint64_t tableOffset = out_.size();
        const unsigned offsetSize = bytesFor(tableOffset);
        for (const std::uint64_t offset : offsets)
            appendBigEndian(offset, offsetSize);
        out_.append(6, '\0'); // unused, then the sort version
        out_.push_back(static_cast<char>(offsetSize));
        out_.push_back(static_cast<char>(refSize_));
        appendBigEndian(objects_.size(), 8);
        appendBigEndian(0, 8); // the root is the first object
        appendBigEndian(tableOffset, 8);
        return std::move(out_);
    }

  private:
    struct Object {
        // A value of the tree, a text (a dictionary key or a string), a number or reference
        // given by its bits, or a container with its references.
        enum class Kind : std::uint8_t { Tree, Text, Uid, Real, Integer, Array, Dict };
        Kind kind = Kind::Tree;
        const Value *value = nullptr;
        const std::string *text = nullptr;
        std::uint64_t bits = 0;
        std::vector<Ref> refs; // of an array; of a dictionary, keys then values
    };

    // Equal scalars are one object: texts (keys among them) and data by their bytes, numbers,
    // dates and UIDs by kind and bits. The views point into the tree, which outlives the writer.
    Ref scalar(const Value &value) {
        struct Visitor {
            BinaryPlistWriter &w;
            const Value &value;
            Ref tree(const BitsKey &key) const {
                return w.unique(w.bits_, key, {Object::Kind::Tree, &value, nullptr, 0, {}});
            }
            Ref operator()(bool b) const { return tree({b ? 'T' : 'F', 0}); }
            Ref operator()(std::int64_t i) const { return tree({'i', bitsOf(i)}); }
            Ref operator()(double d) const { return tree({'r', bitsOf(d)}); }
            Ref operator()(const std::string &text) const { return w.text(text); }
            Ref operator()(Instant date) const { return tree({'d', bitsOf(date)}); }
            Ref operator()(const ValueData &data) const {
                return w.unique(
                    w.data_,
                    std::string_view(reinterpret_cast<const char *>(data.data()), data.size()),
                    {Object::Kind::Tree, &value, nullptr, 0, {}});
            }
            Ref operator()(const ValueArray &) const { return 0; }
            Ref operator()(const ValueDict &) const { return 0; }
            Ref operator()(Uid uid) const { return w.uid(uid.index); }
        };
        return std::visit(Visitor{*this, value}, value.storage());
    }

    template <typename T> static std::uint64_t bitsOf(const T &value) {
        static_assert(sizeof value == sizeof(std::uint64_t));
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    }

    struct BitsKey {
        char kind;
        std::uint64_t bits;
        bool operator==(const BitsKey &) const = default;
    };
    struct BitsHash {
        std::size_t operator()(const BitsKey &key) const {
            return std::hash<std::uint64_t>()(key.bits) * 31 + static_cast<std::size_t>(key.kind);
        }
    };

    Ref push(Object object) {
        objects_.push_back(std::move(object));
        return objects_.size() - 1;
    }

    template <typename Map>
    Ref unique(Map &seen, const typename Map::key_type &identity, Object object) {
        const auto [found, added] = seen.try_emplace(identity, objects_.size());
        if (added) push(std::move(object));
        return found->second;
    }

    static unsigned bytesFor(std::uint64_t value) {
        if (value <= 0xFF) return 1;
        if (value <= 0xFFFF) return 2;
        if (value <= 0xFFFFFFFFu) return 4;
        return 8;
    }

    void appendBigEndian(std::uint64_t value, unsigned width) {
        std::array<char, 8> bytes{};
        for (unsigned i = 0; i < width; ++i)
            bytes[i] = static_cast<char>((value >> (8 * (width - 1 - i))) & 0xFF);
        out_.append(bytes.data(), width);
    }

    // A marker with the count in its low nibble, or 0xF and the count as an integer after it.
    void appendMarker(unsigned kind, std::uint64_t count) {
        if (count < 15) {
            out_.push_back(static_cast<char>((kind << 4) | count));
            return;
        }
        out_.push_back(static_cast<char>((kind << 4) | 0xF));
        appendInteger(static_cast<std::int64_t>(count));
    }

    void appendInteger(std::int64_t value) {
        // Negative numbers always take eight bytes.
        const unsigned width = value < 0 ? 8 : bytesFor(static_cast<std::uint64_t>(value));
        const unsigned power = width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
        out_.push_back(static_cast<char>(0x10 | power));
        appendBigEndian(static_cast<std::uint64_t>(value), width);
    }

    void appendDouble(unsigned char marker, double value) {
        std::uint64_t raw = 0;
        std::memcpy(&raw, &value, sizeof raw);
        out_.push_back(static_cast<char>(marker));
        appendBigEndian(raw, 8);
    }

    void appendUid(std::uint64_t index) {
        const unsigned width = bytesFor(index);
        out_.push_back(static_cast<char>(0x80 | (width - 1)));
        appendBigEndian(index, width);
    }

    void appendString(const std::string &raw) {
        // Almost every text written is ASCII, which needs neither repair nor widening.
        if (std::all_of(raw.begin(), raw.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            appendMarker(0x5, raw.size());
            out_ += raw;
            return;
        }
        // Stray bytes become U+FFFD here too, so both forms read back alike.
        const std::string text = validUtf8(raw);
        bool ascii = true;
        for (const char c : text)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (ascii) {
            appendMarker(0x5, text.size());
            out_ += text;
            return;
        }
        const std::u16string units = utf16(text);
        appendMarker(0x6, units.size());
        for (const char16_t unit : units)
            appendBigEndian(unit, 2);
    }

    // UTF-8 to UTF-16; a byte that starts no valid sequence becomes U+FFFD.
    static std::u16string utf16(const std::string &text) {
        std::u16string units;
        units.reserve(text.size());
        for (std::size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const int length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
            char32_t code = length == 1   ? lead
                            : length == 2 ? lead & 0x1F
                            : length == 3 ? lead & 0x0F
                                          : lead & 0x07;
            bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
            for (int k = 1; valid && k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
                valid = (next & 0xC0) == 0x80;
                code = (code << 6) | (next & 0x3F);
            }
            valid = valid && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
            if (!valid) {
                units.push_back(u'\uFFFD');
                ++i;
                continue;
            }
            if (code >= 0x10000) {
                code -= 0x10000;
                units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
                units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
            } else {
                units.push_back(static_cast<char16_t>(code));
            }
            i += static_cast<std::size_t>(length);
        }
        return units;
    }

    void appendRefs(const std::vector<Ref> &refs) {
        const std::size_t at = out_.size();
        out_.resize(at + refs.size() * refSize_);
        char *to = out_.data() + at;
        for (const Ref ref : refs)
            for (unsigned i = refSize_; i-- > 0;)
                *to++ = static_cast<char>((ref >> (8 * i)) & 0xFF);
    }

    void writeObject(const Object &object) {
        switch (object.kind) {
        case Object::Kind::Text:
            return appendString(*object.text);
        case Object::Kind::Uid:
            return appendUid(object.bits);
        case Object::Kind::Real: {
            double number = 0;
            std::memcpy(&number, &object.bits, sizeof number);
            return appendDouble(0x23, number);
        }
        case Object::Kind::Integer:
            return appendInteger(static_cast<std::int64_t>(object.bits));
        case Object::Kind::Array:
            appendMarker(0xA, object.refs.size());
            return appendRefs(object.refs);
        case Object::Kind::Dict:
            appendMarker(0xD, object.refs.size() / 2);
            return appendRefs(object.refs);
        case Object::Kind::Tree:
            break;
        }
        struct Visitor {
            BinaryPlistWriter &w;
            void operator()(bool b) const { w.out_.push_back(static_cast<char>(b ? 0x09 : 0x08)); }
            void operator()(std::int64_t i) const { w.appendInteger(i); }
            void operator()(double d) const { w.appendDouble(0x23, d); }
            void operator()(const std::string &text) const { w.appendString(text); }
            void operator()(Instant date) const { w.appendDouble(0x33, plistSeconds(date)); }
            void operator()(const ValueData &data) const {
                w.appendMarker(0x4, data.size());
                w.out_.append(data.begin(), data.end());
            }
            // Containers and references are not kept as tree values.
            void operator()(const ValueArray &) const {}
            void operator()(const ValueDict &) const {}
            void operator()(Uid uid) const { w.appendUid(uid.index); }
        };
        std::visit(Visitor{*this}, object.value->storage());
    }

    // Larger references, which only a damaged file holds, are hashed like other scalars.
    static constexpr std::size_t kDenseUids = std::size_t{1} << 20;
    static constexpr Ref kNone = ~Ref{0};

    std::vector<Object> objects_;
    std::vector<Ref> uids_; // by index, below kDenseUids
    std::unordered_map<std::string_view, Ref> texts_;
    std::unordered_map<std::string_view, Ref> data_;
    std::unordered_map<BitsKey, Ref, BitsHash> bits_;
    std::string out_;
    unsigned refSize_ = 1;
};

bool looksBinary(std::string_view bytes) {
    return bytes.substr(0, 8) == "bplist00";
}

// libplist aborts the process on a string or key that holds a NUL character, which a damaged
// file can easily contain. Walk the object table first and refuse such files, and any whose
// tables point outside the file.
bool binaryStringsAreSafe(std::string_view bytes) {
    constexpr std::size_t kHeader = 8;
    constexpr std::size_t kTrailer = 32;
    if (bytes.size() < kHeader + kTrailer) return false;
    const std::size_t trailer = bytes.size() - kTrailer;
    const std::size_t offsetSize = static_cast<unsigned char>(bytes[trailer + 6]);
    const std::uint64_t objectCount = readBigEndian(bytes, trailer + 8, 8);
    const std::uint64_t tableOffset = readBigEndian(bytes, trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || tableOffset < kHeader || tableOffset > trailer ||
        objectCount > (trailer - tableOffset) / offsetSize)
        return false;
    for (std::uint64_t i = 0; i < objectCount; ++i) {
        const std::uint64_t at = readBigEndian(
            bytes, static_cast<std::size_t>(tableOffset + i * offsetSize), offsetSize);
        if (at < kHeader || at >= trailer) return false;
        const auto marker = static_cast<unsigned char>(bytes[at]);
        const unsigned kind = marker >> 4;
        if (kind != 0x5 && kind != 0x6) continue; // only ASCII and UTF-16 strings can hold a NUL
        std::uint64_t length = marker & 0x0F;
        std::uint64_t start = at + 1;
        if (length == 0x0F) {
            if (start >= trailer) return false;
            const auto lengthMarker = static_cast<unsigned char>(bytes[start]);
            if ((lengthMarker >> 4) != 0x1 || (lengthMarker & 0x0F) > 3) return false;
            const std::size_t width = std::size_t{1} << (lengthMarker & 0x0F);
            if (start + 1 + width > trailer) return false;
            length = readBigEndian(bytes, static_cast<std::size_t>(start + 1), width);
            start += 1 + width;
        }
        const std::uint64_t unit = kind == 0x6 ? 2 : 1;
        if (length > (trailer - start) / unit) return false;
        for (std::uint64_t j = 0; j < length; ++j) {
            const auto pos = static_cast<std::size_t>(start + j * unit);
            const bool nul = bytes[pos] == '\0' && (unit == 1 || bytes[pos + 1] == '\0');
            if (nul) return false;
        }
    }
    return true;
}

// A date of a binary property list (seconds since 2001) read to the same instant as through
// libplist's node (dateFromNode), so either reader gives the same value.
Instant dateFromPlistSeconds(double seconds) {
    if (std::isnan(seconds)) return Instant{};
    const double whole = std::trunc(seconds);
    if (whole <= INT32_MIN || whole >= INT32_MAX)
        return instantFromSeconds(std::clamp(seconds + kPlistEpochOffset, kFirstDate, kLastDate));
    const auto sec = static_cast<std::int64_t>(whole);
    const auto usec = static_cast<std::int64_t>(std::fabs((seconds - whole) * 1000000));
    const std::int64_t fraction = sec < 0 ? -usec : usec;
    return Instant(std::chrono::microseconds(
        (sec + static_cast<std::int64_t>(kPlistEpochOffset)) * 1'000'000 + fraction));
}

// UTF-16 (big-endian) to UTF-8 as libplist converts it, so text reads the same as before: a
// surrogate without its partner is dropped, a second lead surrogate drops both.
void appendUtf8FromUtf16(std::string_view units, std::string &out) {
    auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
    bool haveLead = false;
    std::uint32_t pending = 0;
    for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
        const auto unit = static_cast<std::uint32_t>(readBigEndian(units, i, 2));
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            haveLead = !haveLead;
            pending = 0x10000 + ((unit & 0x3FF) << 10);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (!haveLead) continue;
            haveLead = false;
            const std::uint32_t code = pending | (unit & 0x3FF);
            put(0xF0 + ((code >> 18) & 0x07));
            put(0x80 + ((code >> 12) & 0x3F));
            put(0x80 + ((code >> 6) & 0x3F));
            put(0x80 + (code & 0x3F));
        } else if (unit >= 0x800) {
            put(0xE0 + ((unit >> 12) & 0x0F));
            put(0x80 + ((unit >> 6) & 0x3F));
            put(0x80 + (unit & 0x3F));
        } else if (unit >= 0x80) {
            put(0xC0 + ((unit >> 6) & 0x1F));
            put(0x80 + (unit & 0x3F));
        } else {
            put(unit);
        }
    }
}

// The objects of a binary property list (bplist00), read with nothing in the file trusted: every
// offset, count and length is checked against the bytes, and what does not fit throws Malformed.
// What the readers below share, so that they read and refuse alike.
class BinaryPlistObjects {
  public:
    struct Malformed {};

    // The trailer of `bytes`, checked.
    static BinaryPlistView::Layout layoutOf(std::string_view bytes) {
        check(bytes.size() >= kHeader + 1 + kTrailer);
        const std::size_t trailer = bytes.size() - kTrailer;
        BinaryPlistView::Layout layout;
        layout.bytes = bytes;
        layout.offsetSize = static_cast<unsigned char>(bytes[trailer + 6]);
        layout.refSize = static_cast<unsigned char>(bytes[trailer + 7]);
        layout.count = readBigEndian(bytes, trailer + 8, 8);
        layout.root = readBigEndian(bytes, trailer + 16, 8);
        const std::uint64_t table = readBigEndian(bytes, trailer + 24, 8);
        check(layout.offsetSize >= 1 && layout.offsetSize <= 8 && layout.refSize >= 1 &&
              layout.refSize <= 8);
        check(table > kHeader && table <= trailer);
        layout.table = static_cast<std::size_t>(table);
        check(layout.count >= 1 && layout.count <= (trailer - layout.table) / layout.offsetSize &&
              layout.root < layout.count);
        return layout;
    }

    explicit BinaryPlistObjects(const BinaryPlistView::Layout &layout)
        : bytes_(layout.bytes), offsetSize_(layout.offsetSize), refSize_(layout.refSize),
          count_(layout.count), table_(layout.table) {}

    static void check(bool condition) {
        if (!condition) throw Malformed{};
    }

    // Where an object starts; objects lie between the header and the offset table.
    std::size_t offsetOf(std::uint64_t ref) const {
        check(ref < count_);
        const std::uint64_t at = readBigEndian(
            bytes_, table_ + static_cast<std::size_t>(ref) * offsetSize_, offsetSize_);
        check(at >= kHeader && at < table_);
        return static_cast<std::size_t>(at);
    }

    unsigned char markerAt(std::size_t at) const { return static_cast<unsigned char>(bytes_[at]); }

    // The count in a marker's low nibble, or 0xF and an integer object after it. Moves `at` past.
    std::uint64_t count(unsigned info, std::size_t &at) const {
        if (info != 0x0F) return info;
        const auto marker = static_cast<unsigned char>(take(at, 1)[0]);
        check((marker >> 4) == 0x1 && (marker & 0x0F) <= 3);
        const std::size_t width = std::size_t{1} << (marker & 0x0F);
        const std::uint64_t value = number(at + 1, width);
        at += 1 + width;
        return value;
    }

    // Any object but a container; `at` is just past its marker.
    Value scalar(unsigned char marker, std::size_t at) const {
        const unsigned info = marker & 0x0F;
        switch (marker >> 4) {
        case 0x0:
            check(info == 0x8 || info == 0x9);
            return Value(info == 0x9);
        case 0x1:
            return Value(static_cast<long long>(integer(info, at)));
        case 0x2:
            return Value(real(info, at));
        case 0x3:
            check(info == 0x3);
            return Value(dateFromPlistSeconds(real(info, at)));
        case 0x4: {
            const std::string_view data = dataBytes(info, at);
            return Value(ValueData(data.begin(), data.end()));
        }
        case 0x5:
        case 0x6:
            return Value(text(marker, at));
        case 0x8:
            return Value(Uid{uid(info, at)});
        default:
            throw Malformed{};
        }
    }

    // What scalar() checks, without making the value.
    void checkScalar(unsigned char marker, std::size_t at) const {
        const unsigned info = marker & 0x0F;
        switch (marker >> 4) {
        case 0x0:
            check(info == 0x8 || info == 0x9);
            return;
        case 0x1:
            integer(info, at);
            return;
        case 0x2:
            real(info, at);
            return;
        case 0x3:
            check(info == 0x3);
            real(info, at);
            return;
        case 0x4:
            dataBytes(info, at);
            return;
        case 0x5:
        case 0x6:
            textBytes(marker, at);
            return;
        case 0x8:
            uid(info, at);
            return;
        default:
            throw Malformed{};
        }
    }

    // ASCII or UTF-16 text as UTF-8.
    std::string text(unsigned char marker, std::size_t at) const {
        const std::string_view raw = textBytes(marker, at);
        if ((marker >> 4) == 0x5) return std::string(raw);
        std::string result;
        result.reserve(raw.size() + raw.size() / 2);
        appendUtf8FromUtf16(raw, result);
        return result;
    }

    std::uint64_t uid(unsigned info, std::size_t at) const {
        // libplist refused references past 32 bits; no archive has that many objects.
        check(info < 8);
        const std::uint64_t index = number(at, info + 1);
        check(index <= UINT32_MAX);
        return index;
    }

    // The references of a container, checked to lie in the object area.
    std::size_t refs(unsigned info, std::size_t &at, std::uint64_t perItem) const {
        const std::uint64_t n = count(info, at);
        check(n <= (table_ - std::min(at, table_)) / (refSize_ * perItem));
        return static_cast<std::size_t>(n);
    }

    std::uint64_t refAt(std::size_t at, std::size_t i) const {
        return readBigEndian(bytes_, at + i * refSize_, refSize_);
    }

    static constexpr std::size_t kHeader = 8;
    static constexpr std::size_t kTrailer = 32;

  protected:
    // `length` bytes from `at`, all within the object area.
    std::string_view take(std::size_t at, std::uint64_t length) const {
        check(at <= table_ && length <= table_ - at);
        return bytes_.substr(at, static_cast<std::size_t>(length));
    }

    std::uint64_t number(std::size_t at, std::size_t width) const {
        take(at, width);
        return readBigEndian(bytes_, at, width);
    }

    // Integers of 1, 2 and 4 bytes are unsigned, of 8 two's complement; of 16 bytes the low 64
    // bits count, as libplist keeps them.
    std::int64_t integer(unsigned info, std::size_t at) const {
        check(info <= 4);
        const std::size_t width = std::size_t{1} << info;
        const std::size_t low = width == 16 ? 8 : 0;
        take(at, width);
        return static_cast<std::int64_t>(readBigEndian(bytes_, at + low, width - low));
    }

    double real(unsigned info, std::size_t at) const {
        check(info == 2 || info == 3);
        if (info == 2) {
            const auto bits = static_cast<std::uint32_t>(number(at, 4));
            float value = 0;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        const std::uint64_t bits = number(at, 8);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    std::string_view dataBytes(unsigned info, std::size_t at) const {
        const std::uint64_t length = count(info, at); // moves `at` past the count
        return take(at, length);
    }

    // The bytes of ASCII or UTF-16 text. A NUL character, which libplist could not hold and our
    // files never contain, makes the file unreadable, as it always has.
    std::string_view textBytes(unsigned char marker, std::size_t at) const {
        const bool wide = (marker >> 4) == 0x6;
        const std::uint64_t length = count(marker & 0x0F, at);
        check(length <= (table_ - std::min(at, table_)) / (wide ? 2 : 1));
        const std::string_view raw = take(at, length * (wide ? 2 : 1));
        if (!wide) {
            check(raw.find('\0') == std::string_view::npos);
            return raw;
        }
        // libplist refuses an empty UTF-16 string.
        check(length > 0);
        for (std::size_t i = 0; i < raw.size(); i += 2)
            check(raw[i] != '\0' || raw[i + 1] != '\0');
        return raw;
    }

    std::string_view bytes_;
    unsigned offsetSize_ = 1;
    unsigned refSize_ = 1;
    std::uint64_t count_ = 0;
    std::size_t table_ = 0;
};

// The walk both readers make from the root: a reference back into a container being read (a
// cycle) and nesting deeper than any writer makes are refused, and shared containers cannot
// expand the tree beyond a budget.
class BinaryPlistWalk : protected BinaryPlistObjects {
  protected:
    // Deeper than any property list a program writes; only there to protect the stack.
    static constexpr int kMaxDepth = 512;

    explicit BinaryPlistWalk(const BinaryPlistView::Layout &layout)
        : BinaryPlistObjects(layout), reading_(static_cast<std::size_t>(count_), false),
          // Without shared containers a file holds a reference for every value it reads to; the
          // budget leaves room for containers shared a few times over.
          budget_(4 * bytes_.size() + (std::size_t{1} << 16)) {}

    // Counts a visit to an object at `depth` against the limits.
    void enter(int depth) {
        check(depth <= kMaxDepth && budget_ > 0);
        --budget_;
    }
    // The same for a dictionary's key, which no nesting limit counts.
    void enterKey() {
        check(budget_ > 0);
        --budget_;
    }

    // Marks a container as being read, so a reference back into it is caught as a cycle.
    struct Reading {
        std::vector<bool> &flags;
        std::size_t index;
        Reading(std::vector<bool> &f, std::uint64_t ref) : flags(f), index(ref) {
            check(!flags[index]);
            flags[index] = true;
        }
        ~Reading() { flags[index] = false; }
        Reading(const Reading &) = delete;
        Reading &operator=(const Reading &) = delete;
    };

    std::vector<bool> reading_;
    std::size_t budget_;
};

// Reads the binary property-list format straight into Values, without libplist's node tree,
// which cost as much again to build, copy and free as the reading itself.
class BinaryPlistReader : BinaryPlistWalk {
  public:
    explicit BinaryPlistReader(const BinaryPlistView::Layout &layout) : BinaryPlistWalk(layout) {}

    static std::optional<Value> read(std::string_view bytes) {
        try {
            const BinaryPlistView::Layout layout = layoutOf(bytes);
            return BinaryPlistReader(layout).object(layout.root, 0);
        } catch (const Malformed &) {
            return std::nullopt;
        }
    }

  private:
    Value object(std::uint64_t ref, int depth) {
        enter(depth);
        std::size_t at = offsetOf(ref);
        const unsigned char marker = markerAt(at++);
        switch (marker >> 4) {
        case 0xA:
        case 0xC: // a set, read as libplist reads it: an array
            return array(ref, marker & 0x0F, at, depth);
        case 0xD:
            return dict(ref, marker & 0x0F, at, depth);
        default:
            return scalar(marker, at);
        }
    }

    std::string key(std::uint64_t ref) {
        enterKey();
        const std::size_t at = offsetOf(ref);
        const unsigned char marker = markerAt(at);
        check((marker >> 4) == 0x5 || (marker >> 4) == 0x6);
        return text(marker, at + 1);
    }

    Value array(std::uint64_t ref, unsigned info, std::size_t at, int depth) {
        const Reading reading(reading_, ref);
        const std::size_t n = refs(info, at, 1);
        ValueArray items;
        items.reserve(n);
        for (std::size_t i = 0; i < n; ++i)
            items.push_back(object(refAt(at, i), depth + 1));
        return Value(std::move(items));
    }

    Value dict(std::uint64_t ref, unsigned info, std::size_t at, int depth) {
        const Reading reading(reading_, ref);
        const std::size_t n = refs(info, at, 2);
        ValueDict entries;
        entries.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            std::string name = key(refAt(at, i));
            entries.set(std::move(name), object(refAt(at, n + i), depth + 1));
        }
        return Value(std::move(entries));
    }
};

// The reader's walk without its values: what a view checks when it opens. A text, number or
// date checks the same wherever it is met, so each is checked once; visits still count.
class BinaryPlistChecker : BinaryPlistWalk {
  public:
    // Empty when the reader would refuse the bytes.
    static std::optional<BinaryPlistView::Layout> checked(std::string_view bytes) {
        try {
            const BinaryPlistView::Layout layout = layoutOf(bytes);
            BinaryPlistChecker checker(layout);
            checker.object(layout.root, 0);
            return layout;
        } catch (const Malformed &) {
            return std::nullopt;
        }
    }

  private:
    explicit BinaryPlistChecker(const BinaryPlistView::Layout &layout)
        : BinaryPlistWalk(layout), checked_(static_cast<std::size_t>(count_), Checked::No) {}

    enum class Checked : std::uint8_t { No, Text, OtherScalar };

    void object(std::uint64_t ref, int depth) {
        enter(depth);
        check(ref < count_);
        if (checked_[ref] != Checked::No) return;
        std::size_t at = offsetOf(ref);
        const unsigned char marker = markerAt(at++);
        switch (marker >> 4) {
        case 0xA:
        case 0xC:
            return array(ref, marker & 0x0F, at, depth);
        case 0xD:
            return dict(ref, marker & 0x0F, at, depth);
        default:
            checkScalar(marker, at);
            checked_[ref] = isText(marker) ? Checked::Text : Checked::OtherScalar;
        }
    }

    void key(std::uint64_t ref) {
        enterKey();
        check(ref < count_);
        if (checked_[ref] == Checked::Text) return;
        const std::size_t at = offsetOf(ref);
        const unsigned char marker = markerAt(at);
        check(isText(marker));
        checkScalar(marker, at + 1);
        checked_[ref] = Checked::Text;
    }

    static bool isText(unsigned char marker) {
        return (marker >> 4) == 0x5 || (marker >> 4) == 0x6;
    }

    void array(std::uint64_t ref, unsigned info, std::size_t at, int depth) {
        const Reading reading(reading_, ref);
        const std::size_t n = refs(info, at, 1);
        for (std::size_t i = 0; i < n; ++i)
            object(refAt(at, i), depth + 1);
    }

    void dict(std::uint64_t ref, unsigned info, std::size_t at, int depth) {
        const Reading reading(reading_, ref);
        const std::size_t n = refs(info, at, 2);
        for (std::size_t i = 0; i < n; ++i) {
            key(refAt(at, i));
            object(refAt(at, n + i), depth + 1);
        }
    }

    std::vector<Checked> checked_;
};

// libplist's XML form (plist_to_xml) to the byte, which the files on disk and the tests that
// compare them hold us to, written without building libplist's node tree first.
// The seconds since 1970 a date is written with in the XML form: whole seconds, truncated toward
// zero from libplist's double of seconds since 2001 (so a date just before 2001 with a fraction is
// written a second late, as it always was).
std::int64_t xmlDateSeconds(Instant when) {
    const PlistTime time = plistTime(when);
    const double seconds = time.fitsLibplist() ? static_cast<double>(time.sec) +
                                                     static_cast<double>(time.usec) / 1000000
                                               : time.farSeconds();
    return static_cast<std::int64_t>(seconds) + static_cast<std::int64_t>(kPlistEpochOffset);
}

std::string xmlDateText(Instant when) {
    const std::int64_t sinceEpoch = xmlDateSeconds(when);
    const std::int64_t days = floorDiv(sinceEpoch, kSecondsPerDay);
    const std::int64_t clock = sinceEpoch - days * kSecondsPerDay;
    const CivilDate civil = civilFromDays(days);
    std::array<char, 48> buffer{};
    // The year is not padded: libplist used strftime's %Y.
    const int length =
        std::snprintf(buffer.data(), buffer.size(), "%lld-%02u-%02uT%02lld:%02lld:%02lldZ",
                      static_cast<long long>(civil.year), civil.month, civil.day,
                      static_cast<long long>(clock / 3600), static_cast<long long>(clock / 60 % 60),
                      static_cast<long long>(clock % 60));
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// Text as libplist held it: cut at a NUL (it took C strings), stray bytes replaced.
std::string_view libplistText(std::string_view raw, std::string &storage) {
    const std::string_view cut = raw.substr(0, raw.find('\0'));
    if (std::all_of(cut.begin(), cut.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return cut;
    storage = validUtf8(cut);
    return storage;
}

class XmlPlistWriter {
  public:
    std::string write(const Value &root) {
        out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
               "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
               "<plist version=\"1.0\">\n";
        value(root, 0);
        out_ += "</plist>\n";
        return std::move(out_);
    }

  private:
    void value(const Value &item, std::size_t depth) {
        out_.append(depth, '\t');
        struct Visitor {
            XmlPlistWriter &w;
            std::size_t depth;
            void operator()(bool b) const { w.out_ += b ? "<true/>\n" : "<false/>\n"; }
            void operator()(std::int64_t i) const { w.integer("<integer>", i, "</integer>\n"); }
            void operator()(double d) const { w.real(d); }
            void operator()(const std::string &s) const { w.text("<string>", s, "</string>\n"); }
            void operator()(Instant d) const { w.date(d); }
            void operator()(const ValueData &data) const { w.data(data, depth); }
            void operator()(const ValueArray &array) const { w.array(array, depth); }
            void operator()(const ValueDict &dict) const { w.dict(dict, depth); }
            void operator()(Uid uid) const { w.uid(uid, depth); }
        };
        std::visit(Visitor{*this, depth}, item.storage());
    }

    void integer(std::string_view open, std::int64_t i, std::string_view close) {
        std::array<char, 24> digits{};
        const auto end = std::to_chars(digits.begin(), digits.end(), i).ptr;
        out_ += open;
        out_.append(digits.data(), end);
        out_ += close;
    }

    // printf's %.17g, "0.0" for either zero, and libplist's words for what is not a number.
    void real(double d) {
        out_ += "<real>";
        if (std::isnan(d)) {
            out_ += "nan";
        } else if (std::isinf(d)) {
            out_ += d > 0 ? "+infinity" : "-infinity";
        } else if (d == 0) {
            out_ += "0.0";
        } else {
            std::array<char, 32> digits{};
            const auto end =
                std::to_chars(digits.begin(), digits.end(), d, std::chars_format::general, 17).ptr;
            out_.append(digits.data(), end);
        }
        out_ += "</real>\n";
    }

    // Text as libplist held it: cut at a NUL (it took C strings), stray bytes replaced, and only
    // <, > and & escaped.
    void text(std::string_view open, std::string_view raw, std::string_view close) {
        std::string repaired;
        out_ += open;
        escaped(libplistText(raw, repaired));
        out_ += close;
    }

    void escaped(std::string_view text) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char *entity = text[i] == '<'   ? "&lt;"
                                 : text[i] == '>' ? "&gt;"
                                 : text[i] == '&' ? "&amp;"
                                                  : nullptr;
            if (entity == nullptr) continue;
            out_.append(text.substr(start, i - start));
            out_ += entity;
            start = i + 1;
        }
        out_.append(text.substr(start));
    }

    void date(Instant when) {
        out_ += "<date>";
        out_ += xmlDateText(when);
        out_ += "</date>\n";
    }

    // Base64 in lines that shrink with the indentation, down to the ninth level.
    void data(const ValueData &bytes, std::size_t depth) {
        out_ += "<data>\n";
        const std::size_t indent = std::min<std::size_t>(depth, 8);
        const std::size_t perLine = (76 - indent * 8) / 4 * 3;
        for (std::size_t at = 0; at < bytes.size(); at += perLine) {
            out_.append(indent, '\t');
            base64(bytes.data() + at, std::min(perLine, bytes.size() - at));
            out_ += '\n';
        }
        out_.append(depth, '\t');
        out_ += "</data>\n";
    }

    void base64(const std::uint8_t *bytes, std::size_t length) {
        static constexpr char kAlphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (std::size_t i = 0; i < length; i += 3) {
            const unsigned a = bytes[i];
            const unsigned b = i + 1 < length ? bytes[i + 1] : 0;
            const unsigned c = i + 2 < length ? bytes[i + 2] : 0;
            out_ += kAlphabet[a >> 2];
            out_ += kAlphabet[((a & 3) << 4) | (b >> 4)];
            out_ += i + 1 < length ? kAlphabet[((b & 15) << 2) | (c >> 6)] : '=';
            out_ += i + 2 < length ? kAlphabet[c & 63] : '=';
        }
    }

    void array(const ValueArray &items, std::size_t depth) {
        if (items.empty()) {
            out_ += "<array/>\n";
            return;
        }
        out_ += "<array>\n";
        for (const auto &item : items)
            value(item, depth + 1);
        out_.append(depth, '\t');
        out_ += "</array>\n";
    }

    void dict(const ValueDict &entries, std::size_t depth) {
        if (entries.empty()) {
            out_ += "<dict/>\n";
            return;
        }
        out_ += "<dict>\n";
        if (keysNeedRepair(entries)) {
            repairedEntries(entries, depth + 1);
        } else {
            for (const auto &[key, item] : entries)
                entry(key, item, depth + 1);
        }
        out_.append(depth, '\t');
        out_ += "</dict>\n";
    }

    void entry(std::string_view key, const Value &item, std::size_t depth) {
        out_.append(depth, '\t');
        out_ += "<key>";
        escaped(key);
        out_ += "</key>\n";
        value(item, depth);
    }

    static bool keysNeedRepair(const ValueDict &entries) {
        std::string repaired;
        for (const auto &entry : entries)
            if (libplistText(entry.first, repaired) != entry.first) return true;
        return false;
    }

    // Keys that are cut at a NUL or have stray bytes replaced can come out equal. libplist kept
    // such a key once, where it first stood, with the value set last.
    void repairedEntries(const ValueDict &entries, std::size_t depth) {
        std::vector<std::pair<std::string, const Value *>> kept;
        std::unordered_map<std::string, std::size_t> index;
        for (const auto &[key, item] : entries) {
            std::string repaired;
            std::string name(libplistText(key, repaired));
            const auto [at, added] = index.try_emplace(name, kept.size());
            if (added)
                kept.emplace_back(std::move(name), &item);
            else
                kept[at->second].second = &item;
        }
        for (const auto &[key, item] : kept)
            entry(key, *item, depth);
    }

    // A reference to an archived object, as libplist wrote it: a dictionary of one integer.
    void uid(Uid reference, std::size_t depth) {
        out_ += "<dict>\n";
        out_.append(depth + 1, '\t');
        out_ += "<key>CF$UID</key>\n";
        out_.append(depth + 1, '\t');
        integer("<integer>", static_cast<std::int64_t>(reference.index), "</integer>\n");
        out_.append(depth, '\t');
        out_ += "</dict>\n";
    }

    std::string out_;
};

// Reads the XML form straight into Values, for what libplist's writer and ours produce and what a
// person writes in the same shape. It gives exactly the Value libplist's reader would; where it
// is not sure it would (comments, CDATA, other entities or processing instructions, attributes,
// libplist's lenient readings of odd text, very deep nesting), it says so and libplist reads the
// document instead. It never reads past the end, and its cost is linear in the document.
class XmlPlistReader {
  public:
    explicit XmlPlistReader(std::string_view bytes) : s_(bytes) {}

    std::optional<Value> read() {
        try {
            // libplist's reader is never given a NUL (it would abort on one in a string).
            unsure(s_.find('\0') == std::string_view::npos);
            prolog();
            Value root = value(0);
            skipSpace();
            closing("plist");
            skipSpace();
            unsure(pos_ == s_.size());
            return root;
        } catch (const Unsure &) {
            return std::nullopt;
        }
    }

  private:
    struct Unsure {};

    // Deeper than any property list a program writes; beyond it libplist reads the document.
    static constexpr int kMaxDepth = 512;
    // libplist reads a date only when its text is shorter than this.
    static constexpr std::size_t kLongestDate = 31;

    static void unsure(bool fine) {
        if (!fine) throw Unsure{};
    }

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    bool at(std::string_view text) const { return s_.substr(pos_, text.size()) == text; }

    void expect(std::string_view text) {
        unsure(at(text));
        pos_ += text.size();
    }

    void skipSpace() {
        while (pos_ < s_.size() && isSpace(s_[pos_]))
            ++pos_;
    }

    // Past the next `end`, skipping quoted text as libplist does in declarations.
    void skipDeclaration(std::string_view end, bool allowBracket) {
        while (pos_ < s_.size()) {
            if (at(end)) {
                pos_ += end.size();
                return;
            }
            const char c = s_[pos_++];
            if (c == '"') {
                const std::size_t close = s_.find('"', pos_);
                unsure(close != std::string_view::npos);
                pos_ = close + 1;
            }
            unsure(allowBracket || c != '[');
        }
        unsure(false);
    }

    // The XML declaration and the document type, each optional, then <plist> with at most its
    // version.
    void prolog() {
        skipSpace();
        if (at("<?xml") && pos_ + 5 < s_.size() && isSpace(s_[pos_ + 5])) {
            pos_ += 5;
            skipDeclaration("?>", true);
            skipSpace();
        }
        if (at("<!DOCTYPE") && pos_ + 9 < s_.size() && isSpace(s_[pos_ + 9])) {
            pos_ += 9;
            skipDeclaration(">", false);
            skipSpace();
        }
        expect("<plist");
        if (pos_ < s_.size() && isSpace(s_[pos_])) {
            skipSpace();
            if (at("version=\"1.0\"")) {
                pos_ += 13;
                skipSpace();
            }
        }
        expect(">");
        skipSpace();
    }

    struct Tag {
        std::string_view name;
        bool empty = false; // <name/>
    };

    // An opening tag without attributes.
    Tag openTag() {
        expect("<");
        const std::size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] >= 'a' && s_[pos_] <= 'z')
            ++pos_;
        Tag tag{s_.substr(start, pos_ - start)};
        skipSpace();
        tag.empty = at("/");
        if (tag.empty) ++pos_;
        expect(">");
        return tag;
    }

    // </name>, with space allowed before the '>' as libplist allows it.
    void closing(std::string_view name) {
        expect("</");
        expect(name);
        skipSpace();
        expect(">");
    }

    // The text up to the next markup.
    std::string_view content() {
        const std::size_t end = s_.find('<', pos_);
        unsure(end != std::string_view::npos);
        const std::string_view text = s_.substr(pos_, end - pos_);
        pos_ = end;
        return text;
    }

    Value value(int depth) {
        unsure(depth <= kMaxDepth);
        const Tag tag = openTag();
        const std::string_view name = tag.name;
        if (name == "dict") return dict(tag, depth);
        if (name == "array") return array(tag, depth);
        if (name == "string") return Value(tag.empty ? std::string() : text("string"));
        if (name == "integer") return integer(tag);
        if (name == "real") return real(tag);
        if (name == "true" || name == "false") {
            if (!tag.empty) {
                skipSpace();
                closing(name);
            }
            return Value(name == "true");
        }
        if (name == "data") return data(tag);
        // libplist reads an empty date as 2001 or 1970 depending on how it is written.
        if (name == "date" && !tag.empty) return date();
        // <key> outside a dictionary, or any other element.
        throw Unsure{};
    }

    Value dict(const Tag &tag, int depth) {
        ValueDict entries;
        if (tag.empty) return Value(std::move(entries));
        for (skipSpace(); !at("</"); skipSpace()) {
            // libplist takes <key/> for a value, and a second key for the first one's value.
            const Tag key = openTag();
            unsure(key.name == "key" && !key.empty);
            std::string name = text("key");
            skipSpace();
            unsure(!at("<key"));
            entries.append(std::move(name), value(depth + 1));
        }
        closing("dict");
        // libplist keeps a repeated key once, where it first stood; it reads such files itself.
        unsure(keysAreDistinct(entries));
        return Value(std::move(entries));
    }

    static bool keysAreDistinct(const ValueDict &entries) {
        std::vector<std::string_view> keys;
        keys.reserve(entries.size());
        for (const auto &entry : entries)
            keys.emplace_back(entry.first);
        std::sort(keys.begin(), keys.end());
        return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
    }

    Value array(const Tag &tag, int depth) {
        ValueArray items;
        if (tag.empty) return Value(std::move(items));
        for (skipSpace(); !at("</"); skipSpace()) {
            // libplist reads a <key> in an array as a string.
            unsure(!at("<key"));
            items.push_back(value(depth + 1));
        }
        closing("array");
        return Value(std::move(items));
    }

    // Text kept as it stands (spaces, line ends and bytes that are not UTF-8 included), with the
    // five entities of XML replaced.
    std::string text(std::string_view element) {
        const std::string_view raw = content();
        closing(element);
        std::string result;
        result.reserve(raw.size());
        std::size_t start = 0;
        for (std::size_t amp = raw.find('&'); amp != std::string_view::npos;
             amp = raw.find('&', start)) {
            result.append(raw.substr(start, amp - start));
            start = amp + entity(raw.substr(amp), result);
        }
        result.append(raw.substr(start));
        return result;
    }

    // Appends the character of the entity `raw` starts with; the length of the entity.
    static std::size_t entity(std::string_view raw, std::string &out) {
        static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{{
            {"&amp;", '&'},
            {"&lt;", '<'},
            {"&gt;", '>'},
            {"&quot;", '"'},
            {"&apos;", '\''},
        }};
        for (const auto &[name, character] : kEntities) {
            if (raw.substr(0, name.size()) == name) {
                out += character;
                return name.size();
            }
        }
        throw Unsure{};
    }

    // The text of a number element: spaces before it are skipped, after it allowed.
    std::string_view numberText(std::string_view element) {
        skipSpace();
        std::string_view raw = content();
        closing(element);
        while (!raw.empty() && isSpace(raw.back()))
            raw.remove_suffix(1);
        return raw;
    }

    // Decimal only: libplist also reads octal and hexadecimal, and runs on past junk.
    Value integer(const Tag &tag) {
        if (tag.empty) return Value(0);
        std::string_view digits = numberText("integer");
        if (digits.empty()) return Value(0);
        const bool negative = digits.front() == '-';
        if (negative || digits.front() == '+') digits.remove_prefix(1);
        unsure(!digits.empty() && (digits.front() != '0' || digits.size() == 1));
        std::uint64_t magnitude = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
        unsure(error == std::errc{} && end == digits.data() + digits.size());
        // Kept as 64 bits, negative values and those past INT64_MAX wrapping around as in libplist.
        const std::uint64_t bits = negative ? ~magnitude + 1 : magnitude;
        return Value(static_cast<long long>(bits));
    }

    Value real(const Tag &tag) {
        if (tag.empty) return Value(0.0);
        const std::string_view raw = numberText("real");
        if (raw.empty()) return Value(0.0);
        if (raw == "nan") return Value(std::numeric_limits<double>::quiet_NaN());
        if (raw == "+infinity" || raw == "infinity" || raw == "inf" || raw == "+inf")
            return Value(std::numeric_limits<double>::infinity());
        if (raw == "-infinity" || raw == "-inf")
            return Value(-std::numeric_limits<double>::infinity());
        unsure(isDecimal(raw));
        std::string_view number = raw;
        if (number.front() == '+') number.remove_prefix(1);
        double result = 0;
        const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(),
                                                  result, std::chars_format::general);
        // Out of range, strtod gives infinity or a rounded tiny value; libplist may read those.
        unsure(error == std::errc{} && end == number.data() + number.size());
        return Value(result);
    }

    // [+-] digits [. digits] [e [+-] digits], with a digit before or after the point.
    static bool isDecimal(std::string_view text) {
        std::size_t i = 0;
        auto digits = [&text, &i] {
            const std::size_t start = i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
            return i - start;
        };
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t mantissa = digits();
        if (i < text.size() && text[i] == '.') {
            ++i;
            mantissa += digits();
        }
        if (mantissa == 0) return false;
        if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
            if (digits() == 0) return false;
        }
        return i == text.size();
    }

    // Base64 decoded as libplist decodes it: spaces and other bytes skipped, each group of four
    // giving the bytes its '=' allow, an unfinished group dropped.
    Value data(const Tag &tag) {
        ValueData bytes;
        if (tag.empty) return Value(std::move(bytes));
        const std::string_view raw = content();
        closing("data");
        bytes.reserve(raw.size() / 4 * 3);
        std::array<int, 4> group{};
        std::size_t filled = 0;
        for (const char c : raw) {
            const int sextet = base64Value(c);
            if (sextet == -1) continue;
            group[filled++] = sextet;
            if (filled < 4) continue;
            filled = 0;
            const auto [a, b, c2, d] = group;
            if (a >= 0 && b >= 0)
                bytes.push_back(static_cast<std::uint8_t>(((a << 2) + (b >> 4)) & 0xFF));
            if (b >= 0 && c2 >= 0)
                bytes.push_back(static_cast<std::uint8_t>(((b << 4) + (c2 >> 2)) & 0xFF));
            if (c2 >= 0 && d >= 0)
                bytes.push_back(static_cast<std::uint8_t>(((c2 << 6) + d) & 0xFF));
        }
        return Value(std::move(bytes));
    }

    // A letter's six bits; -2 for '=', -1 for what is skipped.
    static int base64Value(char c) {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        if (c == '=') return -2;
        return -1;
    }

    // YYYY-MM-DDTHH:MM:SSZ in whole seconds, as libplist writes it. Others (short years,
    // fractions, fields out of range) it reads leniently, so it reads them itself.
    Value date() {
        skipSpace();
        const std::string_view raw = content();
        closing("date");
        unsure(raw.size() <= kLongestDate && raw.size() >= 20 && raw[4] == '-' && raw[7] == '-' &&
               raw[10] == 'T' && raw[13] == ':' && raw[16] == ':' && raw[19] == 'Z');
        for (std::size_t i = 20; i < raw.size(); ++i)
            unsure(isSpace(raw[i]));
        auto field = [&raw](std::size_t at, std::size_t width, std::int64_t low,
                            std::int64_t high) {
            std::int64_t number = 0;
            for (std::size_t i = at; i < at + width; ++i) {
                unsure(raw[i] >= '0' && raw[i] <= '9');
                number = number * 10 + (raw[i] - '0');
            }
            unsure(number >= low && number <= high);
            return number;
        };
        const std::int64_t year = field(0, 4, 1, 9999);
        const auto month = static_cast<unsigned>(field(5, 2, 1, 12));
        // A day past the month's end runs on into the next, as libplist counts it.
        const std::int64_t day = field(8, 2, 1, 31);
        const std::int64_t hour = field(11, 2, 0, 23);
        const std::int64_t minute = field(14, 2, 0, 59);
        const std::int64_t second = field(17, 2, 0, 59);
        const std::chrono::sys_days first{std::chrono::year{static_cast<int>(year)} /
                                          std::chrono::month{month} / 1};
        const std::int64_t days = first.time_since_epoch().count() + day - 1;
        const std::int64_t sinceEpoch = days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
        return Value(dateFromPlistSeconds(
            static_cast<double>(sinceEpoch - static_cast<std::int64_t>(kPlistEpochOffset))));
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

} // namespace

std::optional<Value> parsePropertyList(std::string_view bytes) {
    if (looksBinary(bytes)) return BinaryPlistReader::read(bytes);
    if (auto value = parseXmlPropertyListWithoutFallback(bytes)) return value;
    return parsePropertyListWithLibplist(bytes);
}

std::optional<Value> parseXmlPropertyListWithoutFallback(std::string_view bytes) {
    // libplist takes no more than 4 GiB; what it refuses, ours does not read either.
    if (looksBinary(bytes) || bytes.size() > UINT32_MAX) return std::nullopt;
    return XmlPlistReader(bytes).read();
}

namespace {

// Deep enough for any record; deeper values are simply not known without reading.
constexpr int kReadBackDepth = 64;
// The dates our reader reads itself: four-digit years (libplist writes shorter ones unpadded).
constexpr std::int64_t kFirstFourDigitYear = -30'610'224'000; // 1000-01-01T00:00:00Z
constexpr std::int64_t kLastFourDigitYear = 253'402'300'799;  // 9999-12-31T23:59:59Z

bool textReadsBack(std::string_view text) {
    std::string repaired;
    return libplistText(text, repaired) == text;
}

// Changes `value` in place into what reading its XML form gives; false where only a reading can
// tell, leaving `value` partly changed.
bool readBack(Value &value, int depth) {
    if (depth > kReadBackDepth) return false;
    if (const Instant *when = value.asDate()) {
        // The written seconds, read back as the reader turns a date's fields into an instant.
        const std::int64_t seconds = xmlDateSeconds(*when);
        if (seconds < kFirstFourDigitYear || seconds > kLastFourDigitYear) return false;
        value = Value(dateFromPlistSeconds(
            static_cast<double>(seconds - static_cast<std::int64_t>(kPlistEpochOffset))));
        return true;
    }
    if (value.isReal()) {
        // Seventeen digits give a normal number back exactly; zero's sign, numbers too small to
        // be normal and what is not a number are left to a reading.
        const double d = value.doubleValue();
        return (d == 0 && !std::signbit(d)) || std::isnormal(d);
    }
    if (const std::string *text = value.asString()) return textReadsBack(*text);
    // Written as a dictionary, read as one.
    if (value.isUid()) return false;
    if (ValueArray *items = value.asArray()) {
        for (auto &item : *items)
            if (!readBack(item, depth + 1)) return false;
        return true;
    }
    if (ValueDict *entries = value.asDict()) {
        bool known = true;
        entries->changeValues([&known, depth](const std::string &key, Value &item) {
            known = known && textReadsBack(key) && readBack(item, depth + 1);
        });
        if (!known) return false;
        // A repeated key is read by libplist, which keeps it once.
        std::vector<std::string_view> keys;
        keys.reserve(entries->size());
        for (const auto &entry : *entries)
            keys.emplace_back(entry.first);
        std::sort(keys.begin(), keys.end());
        return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
    }
    return true; // booleans, integers and data read back as they are
}

} // namespace

std::optional<Value> xmlReadBack(Value value) {
    if (!readBack(value, 0)) return std::nullopt;
    return value;
}

std::optional<Value> parsePropertyListWithLibplist(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > UINT32_MAX) return std::nullopt;
    plist_t root = nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
    if (looksBinary(bytes)) {
        if (!binaryStringsAreSafe(bytes)) return std::nullopt;
        plist_from_bin(bytes.data(), length, &root);
    } else {
        // The XML reader wants a document that starts with markup, and aborts the process on a
        // string holding a NUL character, which XML may not contain anyway.
        const auto start = bytes.find('<');
        if (start == std::string_view::npos || bytes.find('\0') != std::string_view::npos)
            return std::nullopt;
        plist_from_xml(bytes.data(), length, &root);
    }
    if (root == nullptr) return std::nullopt;
    PlistPtr owner(root);
    return valueFromNode(root);
}

std::string toXmlPropertyList(const Value &root) {
    return XmlPlistWriter().write(root);
}

std::string toXmlPropertyListWithLibplist(const Value &root) {
    PlistPtr node(nodeFromValue(root));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node.get(), &xml, &length);
    std::string result(xml != nullptr ? xml : "", length);
    plist_to_xml_free(xml);
    return result;
}

std::string toBinaryPropertyList(const Value &root) {
    BinaryPlistWriter writer;
    writer.value(root);
    return writer.finish();
}

std::optional<BinaryPlistView> BinaryPlistView::open(std::string_view bytes) {
    if (!looksBinary(bytes)) return std::nullopt;
    if (auto layout = BinaryPlistChecker::checked(bytes)) return BinaryPlistView(*layout);
    return std::nullopt;
}

BinaryPlistView::Container BinaryPlistView::container(const Object &object) const {
    std::size_t at = object.at + 1;
    const auto marker = static_cast<unsigned char>(layout_.bytes[object.at]);
    Container container;
    container.size =
        BinaryPlistObjects(layout_).refs(marker & 0x0F, at, object.type == Type::Dict ? 2 : 1);
    container.refs = at;
    return container;
}

Value BinaryPlistView::scalar(const Object &object) const {
    return BinaryPlistObjects(layout_).scalar(static_cast<unsigned char>(layout_.bytes[object.at]),
                                              object.at + 1);
}

std::string BinaryPlistView::text(const Object &object) const {
    return BinaryPlistObjects(layout_).text(static_cast<unsigned char>(layout_.bytes[object.at]),
                                            object.at + 1);
}

std::uint64_t BinaryPlistView::uid(const Object &object) const {
    return BinaryPlistObjects(layout_).uid(
        static_cast<unsigned char>(layout_.bytes[object.at]) & 0x0F, object.at + 1);
}

struct BinaryPlistBuilder::Writer : BinaryPlistWriter {};

BinaryPlistBuilder::BinaryPlistBuilder() : writer_(std::make_unique<Writer>()) {
}
BinaryPlistBuilder::~BinaryPlistBuilder() = default;

BinaryPlistBuilder::Ref BinaryPlistBuilder::value(const Value &value) {
    return writer_->value(value);
}
BinaryPlistBuilder::Ref BinaryPlistBuilder::text(const std::string &text) {
    return writer_->text(text);
}
BinaryPlistBuilder::Ref BinaryPlistBuilder::uid(std::uint64_t index) {
    return writer_->uid(index);
}
BinaryPlistBuilder::Ref BinaryPlistBuilder::real(double number) {
    return writer_->real(number);
}
BinaryPlistBuilder::Ref BinaryPlistBuilder::integer(std::int64_t number) {
    return writer_->integer(number);
}
BinaryPlistBuilder::Ref BinaryPlistBuilder::container() {
    return writer_->container();
}
void BinaryPlistBuilder::endArray(Ref container, std::vector<Ref> refs) {
    writer_->endArray(container, std::move(refs));
}
void BinaryPlistBuilder::endDict(Ref container, std::vector<Ref> keysThenValues) {
    writer_->endDict(container, std::move(keysThenValues));
}
std::string BinaryPlistBuilder::finish() {
    return writer_->finish();
}

} // namespace byteward
