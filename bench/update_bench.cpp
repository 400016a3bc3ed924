// What an update costs against the floor (one read of the interface counters), and how the cost
// grows with years of history and many custom counters.
#include "core/app_data.h"
#include "counters/custom_counter.h"
#include "dashboard/main_view_controller.h"
#include "history/history.h"
#include "platform/network_statistics.h"
#include "support/test_env.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <gtest/gtest.h>

namespace byteward {
namespace {

// A sysfs-like tree of a phone: loopback, a modem and Wi-Fi.
std::filesystem::path makeTree(const std::filesystem::path &root) {
    for (const char *name : {"lo", "wwan0", "wlan0", "rmnet_ipa0"}) {
        test::writeFile(root / name / "statistics" / "rx_bytes", "123456789\n");
        test::writeFile(root / name / "statistics" / "tx_bytes", "98765432\n");
        test::writeFile(root / name / "flags", std::string(name) == "lo" ? "0x9\n" : "0x1003\n");
        test::writeFile(root / name / "uevent",
                        std::string(name) == "wlan0" ? "DEVTYPE=wlan\n" : "DEVTYPE=wwan\n");
    }
    return root;
}

void FloorReadOfTheCounters(benchmark::State &state) {
    test::TempDir dir;
    const SysfsNetworkStatistics statistics(makeTree(dir.path() / "net"));
    for (auto _ : state)
        benchmark::DoNotOptimize(statistics.read());
}
BENCHMARK(FloorReadOfTheCounters);

// Years of daily and billing-cycle logs for both types, and a number of counters.
void seed(test::TestEnv &env, int years, int counters) {
    std::vector<History> logs;
    const Instant start = instantFromSeconds(1'450'000'000);
    for (int day = 0; day < years * 365; ++day) {
        const Instant at = env.calendar.addDays(start, day);
        for (std::int32_t type : {History::kCellular, History::kWiFi})
            logs.push_back(
                History::initWithStartDate(at, at, 1e6, 2e6, 3e6, type, History::kDailyLog));
        if (day % 30 == 0)
            for (std::int32_t type : {History::kCellular, History::kWiFi})
                logs.push_back(History::initWithStartDate(at, at, 3e7, 6e7, 9e7, type,
                                                          History::kBillingCycleLog));
    }
    if (!logs.empty()) History::saveHistoryLogs(env.services(), logs);
    std::vector<CustomCounter> list;
    for (int i = 0; i < counters; ++i)
        list.push_back(CustomCounter::initWithName("Counter " + std::to_string(i), start));
    if (!list.empty()) CustomCounter::saveCustomCounterData(env.services(), list);
}

// One update cycle: both data types, the custom counters, the alerts and the saves.
void UpdateCycle(benchmark::State &state) {
    test::TestEnv env;
    AppSettings(env.services()).getSettings();
    seed(env, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    MainViewController controller(env.services());
    std::uint64_t received = 0;
    for (auto _ : state) {
        received += 1000;
        env.statistics.set("wwan0", received, 0);
        env.clock.current += std::chrono::seconds(20);
        controller.backgroundUpdate("", false);
    }
}
BENCHMARK(UpdateCycle)
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({10, 1})
    ->Args({0, 50})
    ->Unit(benchmark::kMicrosecond);

// A dashboard render from the stored records.
void DashboardRepaint(benchmark::State &state) {
    test::TestEnv env;
    AppSettings(env.services()).getSettings();
    MainViewController controller(env.services());
    env.statistics.set("wwan0", 1000, 1000);
    controller.backgroundUpdate("", false);
    for (auto _ : state)
        controller.repaintView(true);
}
BENCHMARK(DashboardRepaint)->Unit(benchmark::kMicrosecond);

// Reading ten years of history, as the history list does.
void ReadTenYearsOfHistory(benchmark::State &state) {
    test::TestEnv env;
    seed(env, 10, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(History::getAllBillingCycleLogs(env.services()));
}
BENCHMARK(ReadTenYearsOfHistory)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace byteward
