// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/keyed_archive_store.h"

#include "platform/data_lock.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace byteward {

namespace fs = std::filesystem;

namespace {

// The key a single archived object goes under, as the platform archiver names it.
constexpr const char *kRootKey = "root";

// What reading the file found, with no side effects.
struct FileRead {
    enum class State { Read, Unreadable, Damaged } state = State::Read;
    ArchiveList list;
    std::string problem;
    // The decoded list as this process last read or wrote it, when the file is still that one.
    std::shared_ptr<const std::vector<ArchiveObject>> unchanged;
    // Fields of the records that were not finite numbers, dropped from `list`.
    std::string droppedFields;
};

// The lists of small store files as this process last read or wrote them, by path, with the bytes
// they came from. A file read again that still holds those bytes is not decoded again (comparing
// them costs next to nothing beside decoding); the custom counters are read twice in every update.
// The history of years is kept only while a KeepDecodedStores lives: a daemon would hold
// megabytes between samples to save one read a day, but within one update both data types read it.
class DecodedFiles {
  public:
    static constexpr std::size_t kMaxSize = std::size_t{64} * 1024; // bytes

    static DecodedFiles &instance() {
        static DecodedFiles files;
        return files;
    }

    bool keeps(std::size_t size) {
        const std::lock_guard lock(mutex_);
        return size <= kMaxSize || keepers_ > 0;
    }

    void addKeeper() {
        const std::lock_guard lock(mutex_);
        ++keepers_;
    }

    void removeKeeper() {
        const std::lock_guard lock(mutex_);
        if (--keepers_ > 0) return;
        std::erase_if(entries_,
                      [](const auto &entry) { return entry.second.bytes.size() > kMaxSize; });
    }

    std::shared_ptr<const std::vector<ArchiveObject>> find(const fs::path &path,
                                                           std::string_view bytes) {
        const std::lock_guard lock(mutex_);
        const auto entry = entries_.find(path.string());
        if (entry == entries_.end() || entry->second.bytes != bytes) return nullptr;
        return entry->second.items;
    }

    void remember(const fs::path &path, std::string_view bytes,
                  std::shared_ptr<const std::vector<ArchiveObject>> items) {
        const std::lock_guard lock(mutex_);
        if (bytes.size() > kMaxSize && keepers_ == 0) {
            entries_.erase(path.string());
            return;
        }
        entries_[path.string()] = {std::string(bytes), std::move(items)};
    }

  private:
    struct Entry {
        std::string bytes;
        std::shared_ptr<const std::vector<ArchiveObject>> items;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
    int keepers_ = 0;
};

// Drops the record fields that are not finite numbers and names them.
std::string dropNonFiniteNumbers(std::vector<ArchiveObject> &items) {
    std::string dropped;
    for (std::size_t i = 0; i < items.size(); ++i) {
        for (const auto &key : items[i].removeNonFiniteNumbers())
            dropped += (dropped.empty() ? "" : ", ") + key + " of record " + std::to_string(i + 1);
    }
    return dropped;
}

std::optional<std::vector<ArchiveObject>>
decodeList(std::string_view bytes, const std::string &listKey, std::string &problem) {
    auto archive = KeyedArchive::decode(bytes, &problem);
    if (!archive) return std::nullopt;
    ArchiveObject *list = archive->decodeObject(listKey);
    if (list == nullptr || list->kind() != ArchiveObject::Kind::List) {
        problem = "no list under \"" + listKey + "\"";
        return std::nullopt;
    }
    for (const auto &item : list->items()) {
        // Anything but records in the list means the file is not what we think it is.
        if (item.kind() != ArchiveObject::Kind::Instance) {
            problem = "the list under \"" + listKey + "\" holds something other than a record";
            return std::nullopt;
        }
    }
    return list->takeItems();
}

// `forChange`: the list is read to be changed and written back, so a large file's list is not
// kept (a copy of years of history to compare with, when the change is all but certain); a small
// one is, so a change that changes nothing writes nothing.
FileRead readFile(const fs::path &path, const std::string &listKey, bool forChange) {
    FileRead result;
    std::string error;
    bool tooLarge = false;
    const auto bytes = readWholeFile(path, &error, &tooLarge);
    if (!bytes) {
        // Far too large to be ours: damaged, and moved aside like any other damaged file.
        if (tooLarge) {
            result.state = FileRead::State::Damaged;
            result.problem = "larger than " +
                             std::to_string(kMaxFileBytes / (std::size_t{1024} * 1024)) +
                             " MiB, more than any file Byteward writes";
            return result;
        }
        // No file at all is an empty list.
        if (!error.empty()) {
            result.state = FileRead::State::Unreadable;
            result.problem = error;
        }
        return result;
    }
    if (bytes->empty()) return result;
    if (auto known = DecodedFiles::instance().find(path, *bytes)) {
        result.list.items = *known;
        result.list.hadData = true;
        result.unchanged = std::move(known);
        return result;
    }
    if (auto items = decodeList(*bytes, listKey, result.problem)) {
        result.droppedFields = dropNonFiniteNumbers(*items);
        // Only a clean list stands for the file; a damaged one is rewritten before it is reused.
        if (result.droppedFields.empty() && DecodedFiles::instance().keeps(bytes->size()) &&
            !(forChange && bytes->size() > DecodedFiles::kMaxSize)) {
            result.unchanged = std::make_shared<const std::vector<ArchiveObject>>(*items);
            DecodedFiles::instance().remember(path, *bytes, result.unchanged);
        }
        result.list.items = std::move(*items);
        result.list.hadData = true;
    } else {
        result.state = FileRead::State::Damaged;
    }
    return result;
}

// The file whose writes the ArchiveWriteBatch running on this thread holds back, and its list
// once changed, waiting for the commit.
struct PendingWrites {
    std::string heldBack;
    std::unique_ptr<KeyedArchiveFile> file; // null until it changes
    std::vector<ArchiveObject> items;

    bool holds(const fs::path &path) const { return file && heldBack == path.string(); }
};
thread_local std::optional<PendingWrites> pendingWrites;

ArchiveList untouchable() {
    ArchiveList list;
    list.safeToReplace = false;
    return list;
}

} // namespace

KeyedArchiveFile::KeyedArchiveFile(Services &services, fs::path path, std::string listKey,
                                   std::string description)
    : services_(services), path_(std::move(path)), listKey_(std::move(listKey)),
      description_(std::move(description)) {
}

ArchiveList KeyedArchiveFile::read() const {
    if (pendingWrites && pendingWrites->holds(path_)) {
        ArchiveList list;
        list.items = pendingWrites->items;
        list.hadData = true;
        return list;
    }
    return readList(nullptr);
}

ArchiveList
KeyedArchiveFile::readList(std::shared_ptr<const std::vector<ArchiveObject>> *unchanged) const {
    const bool forChange = unchanged != nullptr;
    FileRead read = readFile(path_, listKey_, forChange);
    if (read.state == FileRead::State::Damaged) {
        try {
            // Another process may have replaced the file since; decide on what is there now.
            DataLock lock(services_.paths.dataDir);
            read = readFile(path_, listKey_, forChange);
            if (read.state == FileRead::State::Damaged) return keepDamagedFileAside(read.problem);
        } catch (const LockTimeout &error) {
            services_.log.line(description_ + " " + path_.string() + " could not be decoded (" +
                               read.problem + "); " + error.what());
            return untouchable();
        }
    }
    if (read.state == FileRead::State::Unreadable) {
        services_.log.line(description_ + " could not be read: " + read.problem);
        return untouchable();
    }
    if (!read.droppedFields.empty())
        keepPartlyDamagedFileAside(read.droppedFields, read.list.items);
    if (unchanged != nullptr) *unchanged = std::move(read.unchanged);
    return std::move(read.list);
}

ArchiveList KeyedArchiveFile::keepDamagedFileAside(const std::string &problem) const {
    if (const auto aside = keepFileAside(path_, services_.clock.now())) {
        services_.log.line(description_ + " " + path_.string() + " could not be decoded (" +
                           problem + "); kept it as " + aside->string());
        return {};
    }
    services_.log.line(description_ + " " + path_.string() + " could not be decoded (" + problem +
                       ") nor moved aside; leaving it untouched");
    return untouchable();
}

void KeyedArchiveFile::keepPartlyDamagedFileAside(const std::string &dropped,
                                                  const std::vector<ArchiveObject> &items) const {
    // The file as it was goes aside so nothing of it is destroyed, and the records without the
    // damaged amounts take its place, so the next reader finds them rather than no file.
    try {
        DataLock lock(services_.paths.dataDir);
        const auto aside = keepFileAside(path_, services_.clock.now());
        if (aside) (void)write(items); // noted; the file set aside keeps everything anyway
        services_.log.line(description_ + " " + path_.string() +
                           " holds amounts that are not numbers (" + dropped +
                           "); read them as missing" +
                           (aside ? " and kept the file as " + aside->string() : ""));
    } catch (const LockTimeout &error) {
        services_.log.line(description_ + " " + path_.string() +
                           " holds amounts that are not numbers (" + dropped +
                           "); read them as missing; " + error.what());
    }
}

FileResult KeyedArchiveFile::write(std::vector<ArchiveObject> items) const {
    if (!ensurePrivateDirectory(services_.paths.dataDir))
        return noteWrite(services_.log, path_,
                         FileResult::failure(services_.paths.dataDir.string() +
                                             ": the folder cannot be created"));
    KeyedArchive archive;
    archive.encodeObject(listKey_, ArchiveObject::list(std::move(items)));
    const std::string bytes = archive.encode();
    if (FileResult written = noteWrite(services_.log, path_, writeFileAtomically(path_, bytes));
        !written)
        return written;
    // Keyed archives read back exactly as they were written, so the list is what a read of the
    // new file would decode.
    if (DecodedFiles::instance().keeps(bytes.size()))
        DecodedFiles::instance().remember(path_, bytes,
                                          std::make_shared<const std::vector<ArchiveObject>>(
                                              archive.decodeObject(listKey_)->takeItems()));
    return {};
}

FileResult KeyedArchiveFile::modify(const std::function<void(ArchiveList &)> &change) const {
    try {
        DataLock lock(services_.paths.dataDir);
        if (pendingWrites && pendingWrites->holds(path_)) {
            // Changed earlier in this batch: the change goes on from there, still unwritten.
            ArchiveList list;
            list.items = std::move(pendingWrites->items);
            list.hadData = true;
            change(list);
            pendingWrites->items = std::move(list.items);
            return {};
        }
        std::shared_ptr<const std::vector<ArchiveObject>> unchanged;
        ArchiveList list = readList(&unchanged);
        if (!list.safeToReplace)
            return noteWrite(services_.log, path_,
                             FileResult::failure(path_.string() + ": the " + description_ +
                                                 " could not be read, so it was left as it is"));
        const bool hadData = list.hadData;
        change(list);
        // Most updates change nothing (no traffic of that type): the file, already flushed,
        // holds this very list, and rewriting it would only cost a flush to the disk.
        if (hadData && unchanged && list.items == *unchanged) return {};
        if (pendingWrites && pendingWrites->heldBack == path_.string()) {
            pendingWrites->file = std::make_unique<KeyedArchiveFile>(*this);
            pendingWrites->items = std::move(list.items);
            return {};
        }
        return write(std::move(list.items));
    } catch (const LockTimeout &error) {
        return noteWrite(services_.log, path_,
                         FileResult::failure(path_.string() + ": " + error.what()));
    }
}

KeepDecodedStores::KeepDecodedStores() {
    DecodedFiles::instance().addKeeper();
}

KeepDecodedStores::~KeepDecodedStores() {
    DecodedFiles::instance().removeKeeper();
}

ArchiveWriteBatch::ArchiveWriteBatch(const fs::path &file) : outermost_(!pendingWrites) {
    if (outermost_) pendingWrites.emplace().heldBack = file.string();
}

ArchiveWriteBatch::~ArchiveWriteBatch() {
    if (outermost_) pendingWrites.reset();
}

FileResult ArchiveWriteBatch::commit() {
    if (!outermost_ || !pendingWrites) return {};
    // Whatever follows the commit is written at once again.
    PendingWrites owed = std::move(*pendingWrites);
    pendingWrites.reset();
    if (!owed.file) return {};
    return owed.file->write(std::move(owed.items));
}

std::optional<ArchiveObject> copyThroughArchive(const ArchiveObject &object) {
    KeyedArchive archive;
    archive.encodeObject(kRootKey, object);
    const std::string bytes = archive.encode();
    if (bytes.empty()) return std::nullopt;
    const auto decoded = KeyedArchive::decode(bytes);
    if (!decoded) return std::nullopt;
    const ArchiveObject *root = decoded->decodeObject(kRootKey);
    if (root == nullptr) return std::nullopt;
    return *root;
}

} // namespace byteward
