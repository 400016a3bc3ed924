// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/test_env.h"

#include <algorithm>
#include <bit>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <sys/resource.h>

namespace byteward::test {

namespace fs = std::filesystem;

namespace {
// A machine running the per-application counter must not feed its snapshots to the tests.
const bool kNoAppStats = [] {
    setenv("BYTEWARD_APPSTATS_DIR", "/nonexistent/byteward-tests/apps", 0);
    return true;
}();
} // namespace

void FakeNetworkStatistics::set(const std::string &name, std::uint64_t received, std::uint64_t sent,
                                std::string devType) {
    for (auto &i : snapshot.interfaces) {
        if (i.name == name) {
            i.receivedBytes = received;
            i.sentBytes = sent;
            i.devType = std::move(devType);
            return;
        }
    }
    InterfaceStats item;
    item.name = name;
    item.receivedBytes = received;
    item.sentBytes = sent;
    item.devType = std::move(devType);
    item.loopback = name == "lo";
    snapshot.interfaces.push_back(item);
}

bool CapturingLog::contains(std::string_view fragment) const {
    for (const auto &line : lines)
        if (line.find(fragment) != std::string::npos) return true;
    return false;
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "byteward-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

TestEnv::TestEnv(const std::string &timeZone, const std::string &locale)
    : calendar(timeZone, locale), paths_(Paths::under(dir.path())),
      notifications(paths_, log, clock, calendar) {
    defaults_ = std::make_unique<PlistUserDefaults>(paths_.configDir, paths_.dataDir, log, &clock);
    widgetDefaults_ = std::make_unique<PlistUserDefaults>(paths_.configDir, paths_.dataDir, log,
                                                          &clock, PlistUserDefaults::kWidgetSuite);
    services_ =
        std::make_unique<Services>(Services{clock, statistics, boot, calendar, *defaults_, log,
                                            paths_, notifications, *widgetDefaults_, network});
}

std::unique_ptr<PlistUserDefaults> TestEnv::openDefaultsAgain() {
    return std::make_unique<PlistUserDefaults>(paths_.configDir, paths_.dataDir, log, &clock);
}

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    previous_ = limit.rlim_cur;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = previous_;
    setrlimit(RLIMIT_FSIZE, &limit);
}

void writeFile(const fs::path &path, const std::string &contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

bool sameValue(const Value &a, const Value &b) {
    if (a.storage().index() != b.storage().index()) return false;
    if (const auto *x = std::get_if<double>(&a.storage())) {
        return std::bit_cast<std::uint64_t>(*x) ==
               std::bit_cast<std::uint64_t>(std::get<double>(b.storage()));
    }
    if (const auto *x = a.asArray()) {
        const auto *y = b.asArray();
        return std::equal(x->begin(), x->end(), y->begin(), y->end(), sameValue);
    }
    if (const auto *x = a.asDict()) {
        const auto *y = b.asDict();
        return std::equal(x->begin(), x->end(), y->begin(), y->end(),
                          [](const auto &p, const auto &q) {
                              return p.first == q.first && sameValue(p.second, q.second);
                          });
    }
    return a == b;
}

} // namespace byteward::test

namespace byteward {

void PrintTo(const Value &value, std::ostream *out) {
    if (const auto *dict = value.asDict()) {
        *out << "{";
        for (const auto &[key, item] : *dict) {
            *out << key << "=";
            PrintTo(item, out);
            *out << "; ";
        }
        *out << "}";
    } else if (const auto *array = value.asArray()) {
        *out << "(";
        for (const auto &item : *array) {
            PrintTo(item, out);
            *out << ", ";
        }
        *out << ")";
    } else if (const auto *date = value.asDate()) {
        *out << "date:" << date->time_since_epoch().count() << "us";
    } else if (const auto *uid = value.asUid()) {
        *out << "uid:" << uid->index;
    } else {
        *out << (value.isBool()      ? "bool:"
                 : value.isInteger() ? "int:"
                 : value.isReal()    ? "real:"
                                     : "str:")
             << value.stringValue();
    }
}

} // namespace byteward
