// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Everything Byteward keeps is private to the user, whatever the umask: directories 0700 and
// files 0600, those kept aside after damage included.
#include "model/app_settings.h"
#include "model/custom_counter.h"
#include "model/history.h"
#include "platform/analytics_log.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/history/history_export.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

class UmaskGuard {
  public:
    explicit UmaskGuard(mode_t mask) : saved_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(saved_); }
    UmaskGuard(const UmaskGuard &) = delete;
    UmaskGuard &operator=(const UmaskGuard &) = delete;

  private:
    mode_t saved_;
};

mode_t permissions(const fs::path &path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

TEST(PrivateFiles, EveryStoreDirectoryAndFileIsTheUsersAlone) {
    // The most open umask a desktop session has.
    const UmaskGuard umask(0);
    test::TestEnv env;
    env.clock.current = instantFromSeconds(1'796'720'400 + 3600);
    AppSettings(env.services()).getSettings();
    env.defaults().setObject("cellularDataLimit", Value(1));
    env.defaults().synchronize();
    env.widgetDefaults().setObject("widgetValue", Value(1));
    env.widgetDefaults().synchronize();
    for (const std::uint64_t bytes : {0ULL, 900'000ULL, 2'000'000ULL}) {
        env.statistics.set("wwan0", bytes, 0, "wwan");
        env.clock.current += std::chrono::hours(1);
        MainViewController(env.services()).backgroundUpdate("", false);
    }
    EXPECT_TRUE(History::addNewHistoryItemLog(env.services(), History{}));
    EXPECT_TRUE(CustomCounter::addCustomCounter(
        env.services(), CustomCounter::initWithName("Trip", env.clock.current)));
    AnalyticsLog(env.paths(), env.clock).logEvent("Viewing history tab");
    EXPECT_TRUE(HistoryExport(env.services(), nullptr)
                    .writeCsvFile(History::getAllHistoryLogs(env.services()), "MB"));
    // A damaged file goes aside with the same protection.
    test::writeFile(History::archivePath(env.services()), "damaged");
    ::chmod(History::archivePath(env.services()).c_str(), 0600);
    History::getAllHistoryLogs(env.services());

    int files = 0;
    for (const fs::path &dir : {env.paths().dataDir, env.paths().configDir, env.paths().stateDir}) {
        ASSERT_TRUE(fs::is_directory(dir)) << dir;
        EXPECT_EQ(permissions(dir), 0700u) << dir;
        for (const auto &entry : fs::recursive_directory_iterator(dir)) {
            const mode_t expected = entry.is_directory() ? 0700 : 0600;
            EXPECT_EQ(permissions(entry.path()), expected) << entry.path();
            files += entry.is_regular_file() ? 1 : 0;
        }
    }
    // Records, defaults, widget values, history, counters, export, logs and schedules.
    EXPECT_GE(files, 9);
}

} // namespace
} // namespace byteward
