// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/files.h"
#include "storage/keyed_archive.h"
#include "storage/services.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// What a store file held when it was read.
struct ArchiveList {
    std::vector<ArchiveObject> items;
    // False for no file, an empty one, or a damaged one that was moved aside.
    bool hadData = false;
    // False when writing would destroy a file we could not read.
    bool safeToReplace = true;
};

// One store file: a keyed archive holding an ordered list of objects under one top-level key,
// always read and written whole. A file that cannot be decoded is moved aside, never
// overwritten, so nothing the user had is destroyed by the next write.
class KeyedArchiveFile {
  public:
    // `description` names the file in log lines ("history archive").
    KeyedArchiveFile(Services &services, std::filesystem::path path, std::string listKey,
                     std::string description);

    ArchiveList read() const;
    // On failure the file keeps what it held; the failure is noted (noteWrite).
    [[nodiscard]] FileResult write(std::vector<ArchiveObject> items) const;
    // Reads the list, lets `change` edit it and writes it back, all under the data lock so no
    // other process's change is lost in between. `change` is not called when the file may not
    // be replaced.
    [[nodiscard]] FileResult modify(const std::function<void(ArchiveList &)> &change) const;

  private:
    // `unchanged`, when given, receives the list as this process last read or wrote it when the
    // file is still that version, for telling whether a change changed anything. A large file
    // read for a change is not kept for this: it is written back whether or not it changed.
    ArchiveList readList(std::shared_ptr<const std::vector<ArchiveObject>> *unchanged) const;
    ArchiveList keepDamagedFileAside(const std::string &problem) const;
    void keepPartlyDamagedFileAside(const std::string &dropped,
                                    const std::vector<ArchiveObject> &items) const;

    Services &services_;
    std::filesystem::path path_;
    std::string listKey_;
    std::string description_;
};

// While one lives, store files of any size that this process reads or writes keep their decoded
// list, so a second reader within one update (the history, once per data type) finds it decoded
// instead of decoding megabytes again. Small files are kept anyway; large ones are dropped when
// the last of these ends, so nothing large is held between updates.
class KeepDecodedStores {
  public:
    KeepDecodedStores();
    ~KeepDecodedStores();
    KeepDecodedStores(const KeepDecodedStores &) = delete;
    KeepDecodedStores &operator=(const KeepDecodedStores &) = delete;
};

// Holds back, on this thread until commit(), the writes of one store file changed through
// KeyedArchiveFile::modify, and then writes it once: an update that closes a day for both data
// types appends both logs to the history with one write instead of two. Reads and changes in
// between find the list as changed. It must live within the data lock, and commit() must come
// before anything is stored that relies on the file (a record whose day was closed into a log);
// a batch ended without commit() writes nothing. Batches do not nest: an inner one joins the
// outer, whose commit() writes.
class ArchiveWriteBatch {
  public:
    explicit ArchiveWriteBatch(const std::filesystem::path &file);
    ~ArchiveWriteBatch();
    ArchiveWriteBatch(const ArchiveWriteBatch &) = delete;
    ArchiveWriteBatch &operator=(const ArchiveWriteBatch &) = delete;

    // Writes the file if it changed since the batch began, and ends the holding back. A failure
    // is noted like any store write.
    [[nodiscard]] FileResult commit();

  private:
    bool outermost_;
};

// A deep copy of one object made by archiving it and reading it back, as copying a stored
// record does. Empty when that fails.
std::optional<ArchiveObject> copyThroughArchive(const ArchiveObject &object);

// A list of records of one type kept in a KeyedArchiveFile, converted with the record's own
// archive functions.
template <typename Record> class KeyedArchiveStore {
  public:
    using Encode = ArchiveObject (*)(const Record &);
    using Decode = Record (*)(const ArchiveObject &);

    struct Loaded {
        std::vector<Record> records;
        bool hadData = false;
        bool safeToReplace = true;
    };

    KeyedArchiveStore(KeyedArchiveFile file, Encode encode, Decode decode)
        : file_(std::move(file)), encode_(encode), decode_(decode) {}

    Loaded load() const { return fromList(file_.read()); }

    [[nodiscard]] FileResult save(const std::vector<Record> &records) const {
        return file_.write(toList(records));
    }

    // `change` receives the Loaded records and edits them in place.
    template <typename Change> [[nodiscard]] FileResult modify(Change change) const {
        return file_.modify([&](ArchiveList &list) {
            Loaded loaded = fromList(list);
            change(loaded);
            list.items = toList(loaded.records);
        });
    }

  private:
    Loaded fromList(const ArchiveList &list) const {
        Loaded loaded{{}, list.hadData, list.safeToReplace};
        loaded.records.reserve(list.items.size());
        for (const auto &item : list.items)
            loaded.records.push_back(decode_(item));
        return loaded;
    }

    std::vector<ArchiveObject> toList(const std::vector<Record> &records) const {
        std::vector<ArchiveObject> items;
        items.reserve(records.size());
        for (const auto &record : records)
            items.push_back(encode_(record));
        return items;
    }

    KeyedArchiveFile file_;
    Encode encode_;
    Decode decode_;
};

} // namespace byteward
