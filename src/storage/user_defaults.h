// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/setting_source.h"
#include "platform/value.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace byteward {

// The per-user preferences store: keys with values of any property-list kind.
class UserDefaults : public SettingSource {
  public:
    std::optional<Value> objectForKey(const std::string &key) override = 0;
    virtual void setObject(const std::string &key, Value value) = 0;
    virtual void removeObjectForKey(const std::string &key) = 0;
    // Every key and value, as stored.
    virtual ValueDict dictionaryRepresentation() = 0;
    // Writes pending changes to disk at once. On failure they stay pending, and the next
    // synchronize tries them again; the failure is noted like every store write (noteWrite).
    virtual FileResult synchronize() = 0;
    // While held, values come from the file as the first read found it: a cycle asks the disk
    // once, not once per value. Holds nest; changes this process writes are seen at once.
    virtual void beginReadHold() {}
    virtual void endReadHold() {}
};

// Holds a store's reads for a scope (one sample, one command, one render).
class UserDefaultsReadHold {
  public:
    explicit UserDefaultsReadHold(UserDefaults &defaults) : defaults_(defaults) {
        defaults_.beginReadHold();
    }
    ~UserDefaultsReadHold() { defaults_.endReadHold(); }
    UserDefaultsReadHold(const UserDefaultsReadHold &) = delete;
    UserDefaultsReadHold &operator=(const UserDefaultsReadHold &) = delete;

  private:
    UserDefaults &defaults_;
};

// A property-list file in the config directory ("byteward.plist", or "SUITE.plist" for a named
// suite). Readers see other processes' changes: the file is re-read whenever it changed on disk.
// Changes are merged into the file under the data lock, key by key, so two processes changing
// different keys both keep theirs.
class PlistUserDefaults final : public UserDefaults {
  public:
    static constexpr const char *kWidgetSuite = "byteward-widget";

    PlistUserDefaults(std::filesystem::path configDir, std::filesystem::path lockDir, Log &log,
                      Clock *clockForNames = nullptr, const std::string &suiteName = {});
    ~PlistUserDefaults() override;
    PlistUserDefaults(const PlistUserDefaults &) = delete;
    PlistUserDefaults &operator=(const PlistUserDefaults &) = delete;

    std::optional<Value> objectForKey(const std::string &key) override;
    void setObject(const std::string &key, Value value) override;
    void removeObjectForKey(const std::string &key) override;
    ValueDict dictionaryRepresentation() override;
    FileResult synchronize() override;
    void beginReadHold() override { ++holds_; }
    void endReadHold() override {
        if (--holds_ == 0) heldValid_ = false;
    }

    const std::filesystem::path &filePath() const { return file_; }

  private:
    struct FileStamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        long long modifiedNs = 0;
        bool operator==(const FileStamp &) const = default;
    };

    void refresh();
    // Every pending change sets what the file as last read already holds.
    bool pendingChangesNothing() const;
    ValueDict loadFile();
    std::optional<FileStamp> stampOfFile() const;

    std::filesystem::path configDir_;
    std::filesystem::path lockDir_;
    std::filesystem::path file_;
    Log &log_;
    Clock *clock_;
    ValueDict cache_;
    std::optional<FileStamp> cacheStamp_;
    bool cacheValid_ = false;
    int holds_ = 0;
    // The file was looked at within the current hold.
    bool heldValid_ = false;
    // Changes not yet written: a value to set, or empty to remove.
    std::vector<std::pair<std::string, std::optional<Value>>> pending_;
};

} // namespace byteward
