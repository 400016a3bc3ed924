// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "storage/notification_schedule.h"

#include "platform/data_lock.h"
#include "platform/files.h"
#include "platform/uuid.h"
#include "storage/plist_codec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace byteward {

namespace {

namespace fs = std::filesystem;

constexpr const char *kScheduleFileName = "notifications.plist";
constexpr const char *kDeliveryLogFileName = "delivered.log";
// bytes; past this the delivery log keeps only its newest records, about half of it
constexpr std::uintmax_t kDeliveryLogLimit = std::uintmax_t{1024} * 1024;

std::optional<RepeatInterval> repeatFromWord(std::string_view word) {
    for (auto interval :
         {RepeatInterval::None, RepeatInterval::Day, RepeatInterval::Week, RepeatInterval::Month})
        if (word == repeatWord(interval)) return interval;
    return std::nullopt;
}

// ---- the schedule file: a property-list array of dictionaries, in scheduling order ----

Value encodeNotification(const LocalNotification &n) {
    ValueDict d;
    d.set("identifier", n.identifier);
    d.set("fireDate", n.fireDate);
    d.set("timeZone", n.timeZone);
    d.set("alertBody", n.alertBody);
    d.set("alertAction", n.alertAction);
    d.set("soundDefault", n.soundDefault);
    if (n.badgeNumber) d.set("badgeNumber", *n.badgeNumber);
    if (!n.userInfo.empty()) d.set("userInfo", n.userInfo);
    if (n.repeatInterval != RepeatInterval::None)
        d.set("repeatInterval", repeatWord(n.repeatInterval));
    if (n.repeatFrom) d.set("repeatFrom", *n.repeatFrom);
    return d;
}

std::optional<LocalNotification> decodeNotification(const Value &value) {
    const ValueDict *d = value.asDict();
    if (d == nullptr) return std::nullopt;
    const Value *identifier = d->find("identifier");
    const Value *fireDate = d->find("fireDate");
    if (identifier == nullptr || identifier->asString() == nullptr || fireDate == nullptr ||
        fireDate->asDate() == nullptr)
        return std::nullopt;
    LocalNotification n;
    n.identifier = *identifier->asString();
    n.fireDate = *fireDate->asDate();
    auto text = [d](const char *key) {
        const Value *v = d->find(key);
        return v != nullptr ? v->stringValue() : std::string{};
    };
    n.timeZone = text("timeZone");
    n.alertBody = text("alertBody");
    n.alertAction = text("alertAction");
    if (const Value *v = d->find("soundDefault")) n.soundDefault = v->boolValue();
    if (const Value *v = d->find("badgeNumber")) n.badgeNumber = v->integerValue();
    if (const Value *v = d->find("userInfo")) {
        if (v->asDict() == nullptr) return std::nullopt;
        n.userInfo = *v->asDict();
    }
    if (const Value *v = d->find("repeatInterval")) {
        const auto interval = repeatFromWord(v->stringValue());
        if (!interval) return std::nullopt;
        n.repeatInterval = *interval;
    }
    if (const Value *v = d->find("repeatFrom"); v != nullptr && v->asDate() != nullptr)
        n.repeatFrom = *v->asDate();
    return n;
}

struct ScheduleRead {
    enum class State { Read, Unreadable, Damaged };
    State state = State::Read;
    std::vector<LocalNotification> notifications;
    std::string problem;
};

ScheduleRead readSchedule(const fs::path &path) {
    std::string error;
    const auto bytes = readWholeFile(path, &error);
    // No file at all is an empty schedule.
    if (!bytes)
        return error.empty() ? ScheduleRead{}
                             : ScheduleRead{ScheduleRead::State::Unreadable, {}, error};
    const auto root = parsePropertyList(*bytes);
    if (!root || root->asArray() == nullptr)
        return {ScheduleRead::State::Damaged, {}, "not a property-list array"};
    ScheduleRead result;
    for (const Value &entry : *root->asArray()) {
        auto notification = decodeNotification(entry);
        if (!notification)
            return {ScheduleRead::State::Damaged, {}, "an entry is not a notification"};
        result.notifications.push_back(std::move(*notification));
    }
    return result;
}

// The schedule as stored, and whether writing it back would destroy something we could not read.
struct LoadedSchedule {
    std::vector<LocalNotification> notifications;
    bool safeToReplace = true;
};

LoadedSchedule loadSchedule(const Paths &paths, Log &log, Instant now) {
    const fs::path path = paths.stateDir / kScheduleFileName;
    ScheduleRead read = readSchedule(path);
    if (read.state == ScheduleRead::State::Damaged) {
        try {
            // Another process may have replaced the file since; decide on what is there now.
            DataLock lock(paths.dataDir);
            read = readSchedule(path);
            if (read.state == ScheduleRead::State::Damaged) {
                if (const auto aside = keepFileAside(path, now)) {
                    log.line("notification schedule " + path.string() + " could not be read (" +
                             read.problem + "); kept it as " + aside->string());
                    return {};
                }
                log.line("notification schedule " + path.string() + " could not be read (" +
                         read.problem + ") nor moved aside; leaving it untouched");
                return {{}, false};
            }
        } catch (const LockTimeout &error) {
            log.line("notification schedule " + path.string() + " could not be read (" +
                     read.problem + "); " + error.what());
            return {{}, false};
        }
    }
    if (read.state == ScheduleRead::State::Unreadable) {
        log.line("notification schedule could not be read: " + read.problem);
        return {{}, false};
    }
    return {std::move(read.notifications), true};
}

bool saveSchedule(const Paths &paths, Log &log, const std::vector<LocalNotification> &schedule) {
    const fs::path path = paths.stateDir / kScheduleFileName;
    if (!ensurePrivateDirectory(paths.stateDir))
        return noteWrite(
                   log, path,
                   FileResult::failure(paths.stateDir.string() + ": the folder cannot be created"))
            .ok();
    ValueArray entries;
    for (const auto &n : schedule)
        entries.push_back(encodeNotification(n));
    return noteWrite(log, path, writeFileAtomically(path, toXmlPropertyList(Value(entries)))).ok();
}

// Reads the schedule, lets `change` edit it and writes it back when `change` says it changed
// something, all under the data lock so no other process's change is lost in between.
template <typename Change>
bool modifySchedule(const Paths &paths, Log &log, const Clock &clock, Change change) {
    const fs::path path = paths.stateDir / kScheduleFileName;
    try {
        DataLock lock(paths.dataDir);
        LoadedSchedule loaded = loadSchedule(paths, log, clock.now());
        if (!loaded.safeToReplace)
            return noteWrite(log, path,
                             FileResult::failure(path.string() +
                                                 ": the notification schedule could not be read, "
                                                 "so it was left as it is"))
                .ok();
        if (!change(loaded.notifications)) return true;
        return saveSchedule(paths, log, loaded.notifications);
    } catch (const LockTimeout &error) {
        return noteWrite(log, path, FileResult::failure(path.string() + ": " + error.what())).ok();
    }
}

// ---- repeating notifications ----

// The date `count` intervals after `first`, at its time of day: a month on keeps the day of the
// month, or takes the last day of a shorter month; a day or a week on keeps the local time across
// daylight-saving changes.
Instant intervalsLater(Instant first, RepeatInterval interval, int count,
                       const Calendar &calendar) {
    switch (interval) {
    case RepeatInterval::Day:
        return calendar.addDays(first, count);
    case RepeatInterval::Week:
        return calendar.addDays(first, 7 * count);
    case RepeatInterval::Month: {
        DateComponents c = calendar.components(first);
        const int day = c.day;
        c.month += count;
        c.weekday = 0;
        // Day 0 of the month after is the last day of this one.
        const int lastDay =
            calendar.components(calendar.dateFromComponents({c.year, c.month + 1, 0, 0, 0, 0, 0}))
                .day;
        c.day = std::min(day, lastDay);
        return calendar.dateFromComponents(c);
    }
    case RepeatInterval::None:
        break;
    }
    return first;
}

// The first date of the series from `first` after `now`: one delivery stands for every date
// missed.
std::optional<Instant> nextDateAfter(Instant first, RepeatInterval interval, Instant now,
                                     const Calendar &calendar) {
    Instant next = first;
    for (int count = 1; next <= now; ++count) {
        const Instant later = intervalsLater(first, interval, count, calendar);
        if (later <= next) return std::nullopt; // would never get past now
        next = later;
    }
    return next;
}

// ---- the delivery log: one line per delivery, tab-separated escaped fields ----
//
// deliveredAt  shown|not-shown  identifier  fireDate  timeZone  repeat  sound|silent  badge|-
// alertBody  alertAction  [userInfo key  userInfo value]...
// Dates are UTC with microseconds; a userInfo string value is "s:text", any other kind "x:" and
// its XML property list.

std::string escapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::string formatUtc(Instant instant) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(instant);
    const auto micros = (instant - seconds).count();
    const std::time_t t = static_cast<std::time_t>(seconds.time_since_epoch().count());
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[96]; // room for any int the format could print
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<long long>(micros));
    return text;
}

std::optional<Instant> parseUtc(const std::string &text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
    long long micros = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%6lldZ%n", &year, &month, &day, &hour,
                    &minute, &second, &micros, &consumed) != 7 ||
        static_cast<std::size_t>(consumed) != text.size())
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{unsigned(month)},
                              std::chrono::day{unsigned(day)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60 || micros < 0) return std::nullopt;
    return Instant(sys_days(date)) + hours(hour) + minutes(minute) + seconds(second) +
           microseconds(micros);
}

std::string encodeInfoValue(const Value &value) {
    if (const std::string *text = value.asString()) return "s:" + *text;
    return "x:" + toXmlPropertyList(value);
}

std::optional<Value> decodeInfoValue(const std::string &text) {
    if (text.rfind("s:", 0) == 0) return Value(text.substr(2));
    if (text.rfind("x:", 0) == 0) return parsePropertyList(std::string_view(text).substr(2));
    return std::nullopt;
}

std::string encodeDelivery(const DeliveredNotification &d) {
    const LocalNotification &n = d.notification;
    std::vector<std::string> fields{formatUtc(d.deliveredAt),
                                    d.shown ? "shown" : "not-shown",
                                    n.identifier,
                                    formatUtc(n.fireDate),
                                    n.timeZone,
                                    repeatWord(n.repeatInterval),
                                    n.soundDefault ? "sound" : "silent",
                                    n.badgeNumber ? std::to_string(*n.badgeNumber) : "-",
                                    n.alertBody,
                                    n.alertAction};
    for (const auto &[key, value] : n.userInfo) {
        fields.push_back(key);
        fields.push_back(encodeInfoValue(value));
    }
    std::string line;
    for (const auto &field : fields) {
        if (!line.empty()) line += '\t';
        line += escapeField(field);
    }
    return line + '\n';
}

std::optional<DeliveredNotification> decodeDelivery(std::string_view line) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        auto field = unescapeField(line.substr(start, tab - start));
        if (!field) return std::nullopt;
        fields.push_back(std::move(*field));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (fields.size() < 10 || fields.size() % 2 != 0) return std::nullopt;

    DeliveredNotification d;
    LocalNotification &n = d.notification;
    const auto deliveredAt = parseUtc(fields[0]);
    const auto fireDate = parseUtc(fields[3]);
    const auto interval = repeatFromWord(fields[5]);
    if (!deliveredAt || !fireDate || !interval) return std::nullopt;
    if (fields[1] != "shown" && fields[1] != "not-shown") return std::nullopt;
    if (fields[6] != "sound" && fields[6] != "silent") return std::nullopt;
    d.deliveredAt = *deliveredAt;
    d.shown = fields[1] == "shown";
    n.identifier = fields[2];
    n.fireDate = *fireDate;
    n.timeZone = fields[4];
    n.repeatInterval = *interval;
    n.soundDefault = fields[6] == "sound";
    if (fields[7] != "-") {
        long long badge = 0;
        const std::string &text = fields[7];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), badge);
        if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
        n.badgeNumber = badge;
    }
    n.alertBody = fields[8];
    n.alertAction = fields[9];
    for (std::size_t i = 10; i < fields.size(); i += 2) {
        auto value = decodeInfoValue(fields[i + 1]);
        if (!value) return std::nullopt;
        n.userInfo.set(fields[i], std::move(*value));
    }
    return d;
}

// Whether the file ends in the middle of a line, as after a crash during a write.
bool endsMidLine(int fd) {
    struct stat info {};
    char last = '\n';
    return ::fstat(fd, &info) == 0 && info.st_size > 0 &&
           ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n';
}

// One write per record, appending: a reader never sees two records run into each other.
bool appendRecord(const fs::path &path, std::string record, std::string &error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = path.string() + ": " + std::strerror(errno);
        return false;
    }
    // A record cut off earlier must not swallow this one.
    if (endsMidLine(fd)) record.insert(0, 1, '\n');
    ssize_t written = 0;
    do {
        written = ::write(fd, record.data(), record.size());
    } while (written < 0 && errno == EINTR);
    const int code = errno;
    ::close(fd);
    if (written != static_cast<ssize_t>(record.size())) {
        error = path.string() + ": " + (written < 0 ? std::strerror(code) : "short write");
        return false;
    }
    return true;
}

// Keeps the newest records once the log has grown past its limit. Runs under the data lock, like
// every append, so no record written meanwhile is lost.
void trimDeliveryLog(const fs::path &path, Log &log) {
    std::error_code ec;
    if (fs::file_size(path, ec) <= kDeliveryLogLimit || ec) return;
    const auto bytes = readWholeFile(path);
    if (!bytes || bytes->size() <= kDeliveryLogLimit) return;
    // Keep from the first whole record within the newest half of the limit.
    const std::size_t newline = bytes->find('\n', bytes->size() - kDeliveryLogLimit / 2 - 1);
    const std::string_view kept = newline == std::string::npos
                                      ? std::string_view{}
                                      : std::string_view(*bytes).substr(newline + 1);
    if (const FileResult written = writeFileAtomically(path, kept); !written.ok())
        log.line("delivery log could not be shortened: " + written.error);
}

} // namespace

const char *repeatWord(RepeatInterval interval) {
    switch (interval) {
    case RepeatInterval::Day:
        return "day";
    case RepeatInterval::Week:
        return "week";
    case RepeatInterval::Month:
        return "month";
    case RepeatInterval::None:
        break;
    }
    return "none";
}

NotificationSchedule::NotificationSchedule(Paths paths, Log &log, const Clock &clock,
                                           const Calendar &calendar)
    : paths_(std::move(paths)), log_(log), clock_(clock), calendar_(calendar) {
}

std::string NotificationSchedule::scheduleLocalNotification(LocalNotification notification) {
    if (notification.identifier.empty()) notification.identifier = newUuid();
    // The file keeps dates to the second; keep the same here so the schedule reads back as given.
    notification.fireDate = std::chrono::floor<std::chrono::seconds>(notification.fireDate);
    const bool stored = modifySchedule(paths_, log_, clock_, [&](auto &schedule) {
        schedule.push_back(notification);
        return true;
    });
    return stored ? notification.identifier : std::string{};
}

std::vector<LocalNotification> NotificationSchedule::scheduledLocalNotifications() const {
    return loadSchedule(paths_, log_, clock_.now()).notifications;
}

void NotificationSchedule::cancelLocalNotification(const std::string &identifier) {
    modifySchedule(paths_, log_, clock_, [&](auto &schedule) {
        const auto it = std::find_if(schedule.begin(), schedule.end(),
                                     [&](const auto &n) { return n.identifier == identifier; });
        if (it == schedule.end()) return false;
        schedule.erase(it);
        return true;
    });
}

void NotificationSchedule::cancelAllLocalNotifications() {
    modifySchedule(paths_, log_, clock_, [](auto &schedule) {
        if (schedule.empty()) return false;
        schedule.clear();
        return true;
    });
}

int NotificationSchedule::deliverDueNotifications(NotificationSink &sink) {
    return deliverDue(sink, nullptr);
}

int NotificationSchedule::deliverDueNotifications(NotificationSink &sink,
                                                  LocalNotification immediate) {
    if (immediate.identifier.empty()) immediate.identifier = newUuid();
    immediate.fireDate = std::chrono::floor<std::chrono::seconds>(immediate.fireDate);
    return deliverDue(sink, &immediate);
}

int NotificationSchedule::deliverDue(NotificationSink &sink, const LocalNotification *immediate) {
    int delivered = 0;
    modifySchedule(paths_, log_, clock_, [&](std::vector<LocalNotification> &schedule) {
        const Instant now = clock_.now();
        std::vector<const LocalNotification *> due;
        for (const auto &n : schedule)
            if (n.fireDate <= now) due.push_back(&n);
        if (immediate != nullptr) due.push_back(immediate);
        if (due.empty()) return false;
        // Oldest first; among equal dates the later scheduled comes later, so its badge wins.
        std::stable_sort(due.begin(), due.end(),
                         [](const auto *a, const auto *b) { return a->fireDate < b->fireDate; });
        for (const LocalNotification *n : due) {
            present(sink, *n, now);
            ++delivered;
        }
        std::vector<LocalNotification> remaining;
        // Only the schedule's own entries change its file.
        if (delivered == (immediate != nullptr ? 1 : 0)) return false;
        for (auto &n : schedule) {
            if (n.fireDate > now) {
                remaining.push_back(std::move(n));
            } else if (n.repeatInterval != RepeatInterval::None) {
                if (!n.repeatFrom) n.repeatFrom = n.fireDate;
                if (auto next = nextDateAfter(*n.repeatFrom, n.repeatInterval, now, calendar_)) {
                    n.fireDate = *next;
                    remaining.push_back(std::move(n));
                }
            }
        }
        schedule = std::move(remaining);
        return true;
    });
    // A schedule that could not be read (or locked) delivers nothing of its own; the immediate
    // one still goes out.
    if (delivered == 0 && immediate != nullptr) {
        present(sink, *immediate, clock_.now());
        delivered = 1;
    }
    return delivered;
}

void NotificationSchedule::present(NotificationSink &sink, const LocalNotification &notification,
                                   Instant now) {
    bool shown = false;
    if (notification.alertBody.empty()) {
        shown = sink.setBadge(notification.badgeNumber);
    } else {
        shown = sink.showNotification(notification);
        if (notification.badgeNumber) sink.setBadge(notification.badgeNumber);
    }
    // A badge nobody shows (a headless machine) is not worth a line at every update.
    if (!shown && !notification.alertBody.empty())
        log_.line("notification " + notification.identifier +
                  " was not shown: no notification server answered; it is in the delivery log");
    const fs::path path = paths_.stateDir / kDeliveryLogFileName;
    std::string error;
    if (!ensurePrivateDirectory(paths_.stateDir) ||
        !appendRecord(path, encodeDelivery({now, notification, shown}), error)) {
        log_.line("delivery log could not be written: " +
                  (error.empty() ? "cannot create " + paths_.stateDir.string() : error));
        return;
    }
    trimDeliveryLog(path, log_);
}

std::vector<DeliveredNotification> NotificationSchedule::deliveredNotifications() const {
    std::vector<DeliveredNotification> result;
    std::string error;
    const auto bytes = readWholeFile(paths_.stateDir / kDeliveryLogFileName, &error);
    if (!bytes) {
        if (!error.empty()) log_.line("delivery log could not be read: " + error);
        return result;
    }
    int unreadable = 0;
    std::string_view rest(*bytes);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        // A record without its newline is one being written, or cut off by a crash.
        if (end == std::string_view::npos) break;
        if (auto record = decodeDelivery(rest.substr(0, end)))
            result.push_back(std::move(*record));
        else
            ++unreadable;
        rest.remove_prefix(end + 1);
    }
    if (unreadable > 0)
        log_.line("delivery log: skipped " + std::to_string(unreadable) + " unreadable records");
    return result;
}

std::optional<Instant> NotificationSchedule::nextFireDate() const {
    std::optional<Instant> earliest;
    for (const auto &n : scheduledLocalNotifications())
        if (!earliest || n.fireDate < *earliest) earliest = n.fireDate;
    return earliest;
}

} // namespace byteward
