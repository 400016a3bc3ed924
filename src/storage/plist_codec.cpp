// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/plist_codec.h"

#include "platform/utf8.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
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
    std::string write(const Value &root) {
        flatten(root);
        refSize_ = bytesFor(objects_.size());
        std::vector<std::uint64_t> offsets;
        offsets.reserve(objects_.size());
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
        const Value *value = nullptr;
        const std::string *key = nullptr; // a dictionary key, written as a string
        std::vector<std::uint64_t> refs;  // of an array; of a dictionary, keys then values
    };

    std::uint64_t flatten(const Value &value) {
        if (const auto *array = value.asArray()) {
            const std::uint64_t index = push({&value, nullptr, {}});
            std::vector<std::uint64_t> refs;
            refs.reserve(array->size());
            for (const auto &item : *array)
                refs.push_back(flatten(item));
            objects_[index].refs = std::move(refs);
            return index;
        }
        if (const auto *dict = value.asDict()) {
            const std::uint64_t index = push({&value, nullptr, {}});
            std::vector<std::uint64_t> refs(dict->size() * 2);
            std::size_t i = 0;
            for (const auto &[key, item] : *dict) {
                refs[i] = unique(texts_, key, {nullptr, &key, {}});
                refs[dict->size() + i] = flatten(item);
                ++i;
            }
            objects_[index].refs = std::move(refs);
            return index;
        }
        return scalar(value);
    }

    // Equal scalars are one object: texts (keys among them) and data by their bytes, numbers,
    // dates and UIDs by kind and bits. The views point into the tree, which outlives the writer.
    std::uint64_t scalar(const Value &value) {
        struct Visitor {
            BinaryPlistWriter &w;
            const Value &value;
            std::uint64_t operator()(bool b) const {
                return w.unique(w.bits_, {b ? 'T' : 'F', 0}, {&value, nullptr, {}});
            }
            std::uint64_t operator()(std::int64_t i) const {
                return w.unique(w.bits_, {'i', bitsOf(i)}, {&value, nullptr, {}});
            }
            std::uint64_t operator()(double d) const {
                return w.unique(w.bits_, {'r', bitsOf(d)}, {&value, nullptr, {}});
            }
            std::uint64_t operator()(const std::string &text) const {
                return w.unique(w.texts_, text, {&value, nullptr, {}});
            }
            std::uint64_t operator()(Instant date) const {
                return w.unique(w.bits_, {'d', bitsOf(date)}, {&value, nullptr, {}});
            }
            std::uint64_t operator()(const ValueData &data) const {
                return w.unique(
                    w.data_,
                    std::string_view(reinterpret_cast<const char *>(data.data()), data.size()),
                    {&value, nullptr, {}});
            }
            std::uint64_t operator()(const ValueArray &) const { return 0; }
            std::uint64_t operator()(const ValueDict &) const { return 0; }
            std::uint64_t operator()(Uid uid) const {
                return w.unique(w.bits_, {'u', uid.index}, {&value, nullptr, {}});
            }
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

    std::uint64_t push(Object object) {
        objects_.push_back(std::move(object));
        return objects_.size() - 1;
    }

    template <typename Map>
    std::uint64_t unique(Map &seen, const typename Map::key_type &identity, Object object) {
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
        for (unsigned i = width; i-- > 0;)
            out_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
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

    void appendString(const std::string &raw) {
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

    void appendRefs(const std::vector<std::uint64_t> &refs) {
        for (const std::uint64_t ref : refs)
            appendBigEndian(ref, refSize_);
    }

    void writeObject(const Object &object) {
        if (object.key != nullptr) return appendString(*object.key);
        struct Visitor {
            BinaryPlistWriter &w;
            const Object &object;
            void operator()(bool b) const { w.out_.push_back(static_cast<char>(b ? 0x09 : 0x08)); }
            void operator()(std::int64_t i) const { w.appendInteger(i); }
            void operator()(double d) const { w.appendDouble(0x23, d); }
            void operator()(const std::string &text) const { w.appendString(text); }
            void operator()(Instant date) const { w.appendDouble(0x33, plistSeconds(date)); }
            void operator()(const ValueData &data) const {
                w.appendMarker(0x4, data.size());
                w.out_.append(data.begin(), data.end());
            }
            void operator()(const ValueArray &array) const {
                w.appendMarker(0xA, array.size());
                w.appendRefs(object.refs);
            }
            void operator()(const ValueDict &dict) const {
                w.appendMarker(0xD, dict.size());
                w.appendRefs(object.refs);
            }
            void operator()(Uid uid) const {
                const unsigned width = bytesFor(uid.index);
                w.out_.push_back(static_cast<char>(0x80 | (width - 1)));
                w.appendBigEndian(uid.index, width);
            }
        };
        std::visit(Visitor{*this, object}, object.value->storage());
    }

    std::vector<Object> objects_;
    std::unordered_map<std::string_view, std::uint64_t> texts_;
    std::unordered_map<std::string_view, std::uint64_t> data_;
    std::unordered_map<BitsKey, std::uint64_t, BitsHash> bits_;
    std::string out_;
    unsigned refSize_ = 1;
};

bool looksBinary(std::string_view bytes) {
    return bytes.substr(0, 8) == "bplist00";
}

std::uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
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
    const std::uint64_t objectCount = bigEndian(bytes, trailer + 8, 8);
    const std::uint64_t tableOffset = bigEndian(bytes, trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || tableOffset < kHeader || tableOffset > trailer ||
        objectCount > (trailer - tableOffset) / offsetSize)
        return false;
    for (std::uint64_t i = 0; i < objectCount; ++i) {
        const std::uint64_t at =
            bigEndian(bytes, static_cast<std::size_t>(tableOffset + i * offsetSize), offsetSize);
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
            length = bigEndian(bytes, static_cast<std::size_t>(start + 1), width);
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
        const auto unit = static_cast<std::uint32_t>(bigEndian(units, i, 2));
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

// Reads the binary property-list format (bplist00) straight into Values, without libplist's
// node tree, which cost as much again to build, copy and free as the reading itself. Nothing
// in the file is trusted: every offset, count and reference is checked against the bytes, a
// reference back into an object being read (a cycle) and nesting deeper than any writer makes
// are refused, and shared containers cannot expand the tree beyond a budget.
class BinaryPlistReader {
  public:
    explicit BinaryPlistReader(std::string_view bytes) : bytes_(bytes) {}

    std::optional<Value> read() {
        try {
            readTrailer();
            return object(root_, 0);
        } catch (const Malformed &) {
            return std::nullopt;
        }
    }

  private:
    struct Malformed {};

    static constexpr std::size_t kHeader = 8;
    static constexpr std::size_t kTrailer = 32;
    // Deeper than any property list a program writes; only there to protect the stack.
    static constexpr int kMaxDepth = 512;

    static void check(bool condition) {
        if (!condition) throw Malformed{};
    }

    void readTrailer() {
        check(bytes_.size() >= kHeader + 1 + kTrailer);
        const std::size_t trailer = bytes_.size() - kTrailer;
        offsetSize_ = static_cast<unsigned char>(bytes_[trailer + 6]);
        refSize_ = static_cast<unsigned char>(bytes_[trailer + 7]);
        count_ = bigEndian(bytes_, trailer + 8, 8);
        root_ = bigEndian(bytes_, trailer + 16, 8);
        const std::uint64_t table = bigEndian(bytes_, trailer + 24, 8);
        check(offsetSize_ >= 1 && offsetSize_ <= 8 && refSize_ >= 1 && refSize_ <= 8);
        check(table > kHeader && table <= trailer);
        table_ = static_cast<std::size_t>(table);
        check(count_ >= 1 && count_ <= (trailer - table_) / offsetSize_ && root_ < count_);
        reading_.assign(static_cast<std::size_t>(count_), false);
        // Without shared containers a file holds a reference for every value it reads to; the
        // budget leaves room for containers shared a few times over.
        budget_ = 4 * bytes_.size() + (std::size_t{1} << 16);
    }

    // Where an object starts; objects lie between the header and the offset table.
    std::size_t offsetOf(std::uint64_t ref) const {
        check(ref < count_);
        const std::uint64_t at =
            bigEndian(bytes_, table_ + static_cast<std::size_t>(ref) * offsetSize_, offsetSize_);
        check(at >= kHeader && at < table_);
        return static_cast<std::size_t>(at);
    }

    // `length` bytes from `at`, all within the object area.
    std::string_view take(std::size_t at, std::uint64_t length) const {
        check(at <= table_ && length <= table_ - at);
        return bytes_.substr(at, static_cast<std::size_t>(length));
    }

    std::uint64_t number(std::size_t at, std::size_t width) const {
        take(at, width);
        return bigEndian(bytes_, at, width);
    }

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

    Value object(std::uint64_t ref, int depth) {
        check(depth <= kMaxDepth && budget_ > 0);
        --budget_;
        std::size_t at = offsetOf(ref);
        const auto marker = static_cast<unsigned char>(bytes_[at++]);
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
            const std::uint64_t length = count(info, at); // moves `at` past the count
            const std::string_view data = take(at, length);
            return Value(ValueData(data.begin(), data.end()));
        }
        case 0x5:
        case 0x6:
            return Value(text(marker, at));
        case 0x8: {
            // libplist refused references past 32 bits; no archive has that many objects.
            check(info < 8);
            const std::uint64_t index = number(at, info + 1);
            check(index <= UINT32_MAX);
            return Value(Uid{index});
        }
        case 0xA:
        case 0xC: // a set, read as libplist reads it: an array
            return array(ref, info, at, depth);
        case 0xD:
            return dict(ref, info, at, depth);
        default:
            throw Malformed{};
        }
    }

    // Integers of 1, 2 and 4 bytes are unsigned, of 8 two's complement; of 16 bytes the low 64
    // bits count, as libplist keeps them.
    std::int64_t integer(unsigned info, std::size_t at) const {
        check(info <= 4);
        const std::size_t width = std::size_t{1} << info;
        const std::size_t low = width == 16 ? 8 : 0;
        take(at, width);
        return static_cast<std::int64_t>(bigEndian(bytes_, at + low, width - low));
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

    // ASCII or UTF-16 text as UTF-8. A NUL character, which libplist could not hold and our
    // files never contain, makes the file unreadable, as it always has.
    std::string text(unsigned char marker, std::size_t at) const {
        const bool wide = (marker >> 4) == 0x6;
        const std::uint64_t length = count(marker & 0x0F, at);
        check(length <= (table_ - std::min(at, table_)) / (wide ? 2 : 1));
        const std::string_view raw = take(at, length * (wide ? 2 : 1));
        if (!wide) {
            check(raw.find('\0') == std::string_view::npos);
            return std::string(raw);
        }
        // libplist refuses an empty UTF-16 string.
        check(length > 0);
        std::string result;
        result.reserve(raw.size() + raw.size() / 2);
        for (std::size_t i = 0; i < raw.size(); i += 2)
            check(raw[i] != '\0' || raw[i + 1] != '\0');
        appendUtf8FromUtf16(raw, result);
        return result;
    }

    std::string key(std::uint64_t ref) {
        check(budget_ > 0);
        --budget_;
        std::size_t at = offsetOf(ref);
        const auto marker = static_cast<unsigned char>(bytes_[at++]);
        check((marker >> 4) == 0x5 || (marker >> 4) == 0x6);
        return text(marker, at);
    }

    // The references of a container, checked to lie in the object area.
    std::size_t refs(unsigned info, std::size_t &at, std::uint64_t perItem) const {
        const std::uint64_t n = count(info, at);
        check(n <= (table_ - std::min(at, table_)) / (refSize_ * perItem));
        return static_cast<std::size_t>(n);
    }

    std::uint64_t refAt(std::size_t at, std::size_t i) const {
        return bigEndian(bytes_, at + i * refSize_, refSize_);
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

    std::string_view bytes_;
    unsigned offsetSize_ = 1;
    unsigned refSize_ = 1;
    std::uint64_t count_ = 0;
    std::uint64_t root_ = 0;
    std::size_t table_ = 0;
    std::vector<bool> reading_;
    std::size_t budget_ = 0;
};

} // namespace

std::optional<Value> parsePropertyList(std::string_view bytes) {
    if (looksBinary(bytes)) return BinaryPlistReader(bytes).read();
    return parsePropertyListWithLibplist(bytes);
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
    PlistPtr node(nodeFromValue(root));
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node.get(), &xml, &length);
    std::string result(xml != nullptr ? xml : "", length);
    plist_to_xml_free(xml);
    return result;
}

std::string toBinaryPropertyList(const Value &root) {
    return BinaryPlistWriter().write(root);
}

} // namespace byteward
