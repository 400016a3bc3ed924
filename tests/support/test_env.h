// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "storage/services.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace byteward::test {

// Interface counters set by the test.
class FakeNetworkStatistics final : public NetworkStatistics {
  public:
    StatsSnapshot read() const override {
        ++reads;
        return snapshot;
    }
    void set(const std::string &name, std::uint64_t received, std::uint64_t sent,
             std::string devType = {});
    StatsSnapshot snapshot;
    mutable int reads = 0;
};

// The modem and network managers as a test scripts them: `state` is what they say; `announce`
// makes the next takeAnnouncements() answer true. The calls that switch data are counted.
class FakeNetworkServices final : public NetworkServices {
  public:
    const NetworkServicesState &state() override { return current; }
    int pollFd() const override { return -1; }
    bool takeAnnouncements() override { return std::exchange(announce, false); }
    void refresh() override {
        ++refreshes;
        current = next;
    }
    std::string disconnectCellular() override {
        ++disconnects;
        return switchError;
    }
    std::string reconnectCellular() override {
        ++reconnects;
        return switchError;
    }
    NetworkServicesState current; // what state() answers
    NetworkServicesState next;    // what refresh() makes current
    bool announce = false;
    std::string switchError;
    int refreshes = 0;
    int disconnects = 0;
    int reconnects = 0;
};

class FakeBootClock final : public BootClock {
  public:
    std::int64_t bootTime() const override { return time; }
    std::optional<std::string> bootId() const override { return id; }
    std::int64_t time = 1'700'000'000;
    std::optional<std::string> id = "boot-1";
};

class FakeClock final : public Clock {
  public:
    Instant now() const override { return current; }
    Instant current = instantFromSeconds(1'765'152'000); // 2025-12-08T00:00:00Z
};

// Records what would have reached the desktop.
class RecordingSink final : public NotificationSink {
  public:
    bool showNotification(const LocalNotification &notification) override {
        shown.push_back(notification);
        return serverAnswers;
    }
    bool setBadge(std::optional<long long> count) override {
        badges.push_back(count);
        return serverAnswers;
    }
    std::vector<LocalNotification> shown;
    std::vector<std::optional<long long>> badges;
    bool serverAnswers = true;
};

// Keeps every diagnostic line.
class CapturingLog final : public Log {
  public:
    void line(std::string_view text) override { lines.emplace_back(text); }
    bool contains(std::string_view fragment) const;
    std::vector<std::string> lines;
};

// A private temporary directory, removed at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Real files in a private directory, real user defaults and an ICU calendar pinned to a zone and
// locale, fake counters and clock.
class TestEnv {
  public:
    explicit TestEnv(const std::string &timeZone = "UTC", const std::string &locale = "en_US");

    Services &services() { return *services_; }
    const Paths &paths() const { return paths_; }
    UserDefaults &defaults() { return *defaults_; }
    UserDefaults &widgetDefaults() { return *widgetDefaults_; }
    // A second view of the same defaults file, as another process would have.
    std::unique_ptr<PlistUserDefaults> openDefaultsAgain();

    TempDir dir;
    FakeNetworkStatistics statistics;
    FakeNetworkServices network;
    FakeBootClock boot;
    FakeClock clock;
    CapturingLog log;
    IcuCalendar calendar;

  private:
    Paths paths_;

  public:
    NotificationSchedule notifications;

  private:
    std::unique_ptr<PlistUserDefaults> defaults_;
    std::unique_ptr<PlistUserDefaults> widgetDefaults_;
    std::unique_ptr<Services> services_;
};

// While it lives, files this process writes may not grow past `bytes` (a write beyond fails with
// EFBIG, as on a full disk); SIGXFSZ is ignored for good so that the write fails rather than kills.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(std::uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

  private:
    std::uint64_t previous_;
};

// Writes a file, creating its folder.
void writeFile(const std::filesystem::path &path, const std::string &contents);

// Equal down to the bits of every real, so that a NaN read back matches the NaN written.
bool sameValue(const Value &a, const Value &b);

} // namespace byteward::test

namespace byteward {
// Readable values in test failure messages.
void PrintTo(const Value &value, std::ostream *out);
} // namespace byteward
