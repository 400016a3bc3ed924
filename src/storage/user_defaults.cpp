// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/user_defaults.h"

#include "platform/data_lock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "storage/plist_codec.h"

#include <sys/stat.h>

namespace byteward {

namespace fs = std::filesystem;

PlistUserDefaults::PlistUserDefaults(fs::path configDir, fs::path lockDir, Log &log,
                                     Clock *clockForNames, const std::string &suiteName)
    : configDir_(std::move(configDir)), lockDir_(std::move(lockDir)),
      file_(configDir_ / ((suiteName.empty() ? std::string("byteward") : suiteName) + ".plist")),
      log_(log), clock_(clockForNames) {
}

PlistUserDefaults::~PlistUserDefaults() {
    if (pending_.empty()) return;
    // A failed write is noted inside; only the lock's wait running out throws, and a destructor
    // can but say so.
    try {
        synchronize();
    } catch (const std::exception &error) {
        try {
            log_.line("user defaults: changes not written: " + std::string(error.what()));
        } catch (...) {
            // Nothing is left to tell it to.
        }
    }
}

std::optional<PlistUserDefaults::FileStamp> PlistUserDefaults::stampOfFile() const {
    struct stat info {};
    if (::stat(file_.c_str(), &info) != 0) return std::nullopt;
    return FileStamp{info.st_dev, info.st_ino, info.st_size,
                     static_cast<long long>(info.st_mtim.tv_sec) * 1'000'000'000LL +
                         info.st_mtim.tv_nsec};
}

ValueDict PlistUserDefaults::loadFile() {
    std::string error;
    const auto bytes = readWholeFile(file_, &error);
    if (!bytes && error.empty()) return {}; // no settings yet
    if (bytes) {
        if (auto parsed = parsePropertyList(*bytes); parsed && parsed->isDict())
            return *parsed->asDict();
        error = file_.string() + " is not a property list";
    }

    // Never let the next write replace settings we could not read: move them aside first. That
    // goes for a file we may not read or that is far too large as much as for a damaged one.
    const Instant now = clock_ != nullptr ? clock_->now() : SystemClock().now();
    if (auto aside = keepFileAside(file_, now))
        log_.line("user defaults: " + error + "; kept it as " + aside->string());
    else
        log_.line("user defaults: " + error + "; it could not be moved aside");
    return {};
}

void PlistUserDefaults::refresh() {
    if (holds_ > 0 && heldValid_ && cacheValid_) return;
    const auto stamp = stampOfFile();
    heldValid_ = holds_ > 0;
    if (cacheValid_ && stamp == cacheStamp_) return;
    cache_ = loadFile();
    cacheStamp_ = stampOfFile();
    cacheValid_ = true;
}

std::optional<Value> PlistUserDefaults::objectForKey(const std::string &key) {
    for (auto it = pending_.rbegin(); it != pending_.rend(); ++it)
        if (it->first == key) return it->second;
    refresh();
    if (const Value *value = cache_.find(key)) return *value;
    return std::nullopt;
}

void PlistUserDefaults::setObject(const std::string &key, Value value) {
    pending_.emplace_back(key, std::move(value));
}

void PlistUserDefaults::removeObjectForKey(const std::string &key) {
    pending_.emplace_back(key, std::nullopt);
}

ValueDict PlistUserDefaults::dictionaryRepresentation() {
    refresh();
    ValueDict merged = cache_;
    for (const auto &[key, value] : pending_) {
        if (value)
            merged.set(key, *value);
        else
            merged.erase(key);
    }
    return merged;
}

bool PlistUserDefaults::pendingChangesNothing() const {
    for (const auto &[key, value] : pending_) {
        const Value *stored = cache_.find(key);
        if (value ? stored == nullptr || !(*stored == *value) : stored != nullptr) return false;
    }
    return true;
}

FileResult PlistUserDefaults::synchronize() {
    if (pending_.empty()) return {};
    // Values set again unchanged (the widget's, at every sample) in a file nobody replaced since
    // we read it: nothing to write, so nothing to lock either.
    if (cacheValid_ && cacheStamp_ && stampOfFile() == cacheStamp_ && pendingChangesNothing()) {
        pending_.clear();
        return {};
    }
    if (!ensurePrivateDirectory(configDir_))
        return noteWrite(
            log_, file_,
            FileResult::failure(configDir_.string() + ": the folder cannot be created"));
    DataLock lock(lockDir_);
    cacheValid_ = false;
    refresh();
    const ValueDict stored = cache_;
    for (const auto &[key, value] : pending_) {
        if (value)
            cache_.set(key, *value);
        else
            cache_.erase(key);
    }
    // Values written again unchanged (the widget's, at every sample) need no new file: the one
    // in place, already flushed, holds them.
    if (cache_ == stored && cacheStamp_) {
        pending_.clear();
        return {};
    }
    if (FileResult written =
            noteWrite(log_, file_, writeFileAtomically(file_, toXmlPropertyList(Value(cache_))));
        !written) {
        cacheValid_ = false;
        return written;
    }
    pending_.clear();
    cacheStamp_ = stampOfFile();
    return {};
}

} // namespace byteward
