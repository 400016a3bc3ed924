// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A background wake-up takes its samples through the model alone. What it leaves behind (every
// file, the log, the notifications, the badge) must be what rendering both dashboards left,
// since that is what the app shows and what people have seen for years.
#include "lifecycle/background_fetch.h"
#include "platform/iso8601.h"
#include "screens/dashboard/main_view_controller.h"
#include "support/test_env.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <sstream>

namespace byteward {
namespace {

namespace fs = std::filesystem;

struct Wakeup {
    const char *name;
    const char *badge;
    const char *limit; // in MB; null: no plan limit
    double usedMB;     // moved before the wake-up
    const char *now;   // the wake-up; the first sample was on 2026-12-28
};

// Identifiers are random on each device; the same length keeps binary files comparable.
std::string withoutIdentifiers(const std::string &text) {
    static const std::regex uuid(
        "[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}");
    return std::regex_replace(text, uuid, "UUID-UUID-UUID-UUID-UUID-UUID-UUID-UU");
}

// Files under `root`, by relative path, with their bytes.
std::map<std::string, std::string> filesUnder(const fs::path &root) {
    std::map<std::string, std::string> files;
    if (!fs::exists(root)) return files;
    for (const auto &entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().filename() == ".lock") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[fs::relative(entry.path(), root).string()] = withoutIdentifiers(bytes.str());
    }
    return files;
}

// One device in the state a setup describes, after the wake-up.
struct Device {
    explicit Device(const Wakeup &s) {
        AppSettings(env.services()).getSettings();
        set("firstDayOfCycle", Value(1));
        set("appBadgeSetting", Value(s.badge));
        if (s.limit != nullptr) {
            set("cellularDataLimit", Value(std::stoll(s.limit)));
            set("cellularDataLimitUnit", Value("MB"));
            set("wifiDataLimit", Value(std::stoll(s.limit) * 2));
            set("wifiDataLimitUnit", Value("MB"));
        }
        env.clock.current = *parseIso8601("2026-12-28T09:00:00Z", env.calendar);
        env.statistics.set("wwan0", 0, 0);
        env.statistics.set("wlan0", 0, 0, "wlan");
        MainViewController(env.services()).backgroundUpdate("", false);
        env.clock.current = *parseIso8601(s.now, env.calendar);
        const auto bytes = static_cast<std::uint64_t>(s.usedMB * 1024 * 1024);
        env.statistics.set("wwan0", bytes * 3 / 4, bytes / 4);
        env.statistics.set("wlan0", bytes, bytes / 2, "wlan");
    }
    void set(const char *key, Value value) {
        env.defaults().setObject(key, std::move(value));
        env.defaults().synchronize();
    }
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        for (std::string line : env.log.lines) {
            // Paths name each device's own directory.
            for (auto at = line.find(env.dir.path().string()); at != std::string::npos;
                 at = line.find(env.dir.path().string()))
                line.replace(at, env.dir.path().string().size(), "DIR");
            lines.push_back(withoutIdentifiers(line));
        }
        return lines;
    }

    test::TestEnv env;
};

// The wake-up as it was before the model took it over: both dashboards rendered, the badge the
// cellular one's.
long long renderBothDashboards(Services &services) {
    MainViewController cellular(services);
    cellular.isCellularMode = true;
    cellular.renderView();
    MainViewController wifi(services);
    wifi.isCellularMode = false;
    wifi.renderView();
    AppSettings settings(services);
    settings.getSettings();
    if (AppSettings::text(settings.appBadgeSetting) == "BILLINGRESET" || !cellular.appBadgeNumber)
        return 0;
    return static_cast<long long>(*cellular.appBadgeNumber);
}

TEST(BackgroundFetch, LeavesExactlyWhatRenderingBothDashboardsLeft) {
    const Wakeup wakeups[] = {
        {"percent used, under the pace", "CELLPERCENT", "1000", 120, "2026-12-29T10:00:00Z"},
        {"percent left, over the plan", "CELL_REM_PERCENT", "100", 130, "2026-12-29T10:00:00Z"},
        {"projection of the Wi-Fi plan", "WIFI_PROJ_PERCENT", "500", 300, "2026-12-30T18:00:00Z"},
        {"amount used, no plan limit", "CELLQUOTA", nullptr, 42, "2026-12-29T10:00:00Z"},
        {"percent badge without a limit", "CELLPERCENT", nullptr, 42, "2026-12-29T10:00:00Z"},
        {"a new period starts", "CELLPERCENT", "100", 90, "2027-01-02T08:00:00Z"},
        {"the billing reset on the badge", "BILLINGRESET", "100", 60, "2026-12-29T10:00:00Z"},
    };
    for (const auto &s : wakeups) {
        SCOPED_TRACE(s.name);
        Device dashboards(s);
        Device model(s);
        const long long expectedBadge = renderBothDashboards(dashboards.env.services());
        EXPECT_EQ(performBackgroundFetch(model.env.services()), expectedBadge);
        for (const auto &root : {"data", "config", "state"}) {
            SCOPED_TRACE(root);
            const auto expected = filesUnder(dashboards.env.dir.path() / root);
            const auto files = filesUnder(model.env.dir.path() / root);
            ASSERT_EQ(files.size(), expected.size());
            for (const auto &[name, bytes] : expected) {
                SCOPED_TRACE(name);
                EXPECT_TRUE(files.count(name) == 1 && files.at(name) == bytes);
            }
        }
        EXPECT_EQ(model.logLines(), dashboards.logLines());
    }
}

} // namespace
} // namespace byteward
