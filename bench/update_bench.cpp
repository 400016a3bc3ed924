// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What an update costs against the floor (one read of the interface counters), and how the costs
// grow with years of history and many custom counters. bench/run turns these into ratios.
#include "model/app_data.h"
#include "model/custom_counter.h"
#include "model/history.h"
#include "platform/files.h"
#include "platform/network_statistics.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/history/history_detail_view_controller.h"
#include "screens/history/history_view_controller.h"
#include "storage/plist_codec.h"
#include "support/test_env.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>

namespace byteward {
namespace {

namespace fs = std::filesystem;

// A sysfs-like tree of a phone: loopback, a modem and Wi-Fi.
fs::path makeTree(const fs::path &root) {
    for (const char *name : {"lo", "wwan0", "wlan0", "rmnet_ipa0"}) {
        test::writeFile(root / name / "statistics" / "rx_bytes", "123456789\n");
        test::writeFile(root / name / "statistics" / "tx_bytes", "98765432\n");
        test::writeFile(root / name / "flags", std::string(name) == "lo" ? "0x9\n" : "0x1003\n");
        test::writeFile(root / name / "uevent",
                        std::string(name) == "wlan0" ? "DEVTYPE=wlan\n" : "DEVTYPE=wwan\n");
    }
    return root;
}

// Real files for everything, the counters included: the same tree the floor reads, so the ratio
// of a cycle to the floor counts the reads the cycle makes.
class Device {
  public:
    Device()
        : statistics_(makeTree(env.dir.path() / "net")),
          services_{env.clock, statistics_, env.boot,          env.calendar,         env.defaults(),
                    env.log,   env.paths(), env.notifications, env.widgetDefaults(), env.network} {
        // Midday, so twenty-second steps stay within one day.
        env.clock.current += std::chrono::hours(12);
    }

    Services &services() { return services_; }

    // More traffic on the modem, as the kernel would show it.
    void receive(std::uint64_t bytes) {
        received_ += bytes;
        test::writeFile(statistics_.root() / "wwan0" / "statistics" / "rx_bytes",
                        std::to_string(received_) + "\n");
    }

    test::TestEnv env;

  private:
    SysfsNetworkStatistics statistics_;
    Services services_;
    std::uint64_t received_ = 123456789;
};

void FloorReadOfTheCounters(benchmark::State &state) {
    test::TempDir dir;
    const SysfsNetworkStatistics statistics(makeTree(dir.path() / "net"));
    for (auto _ : state)
        benchmark::DoNotOptimize(statistics.read());
}
BENCHMARK(FloorReadOfTheCounters);

// The least a sample that keeps its records safe must do: one record of 1.5 KB written
// atomically (temporary file, flush, rename, directory flush). A cycle writes two.
void AtomicWriteOfARecord(benchmark::State &state) {
    test::TempDir dir;
    const std::string record(1500, 'x');
    for (auto _ : state)
        benchmark::DoNotOptimize(
            writeFileAtomically(dir.path() / "app_data_cellular.plist", record));
}
BENCHMARK(AtomicWriteOfARecord)->Unit(benchmark::kMicrosecond);

// What every sample of the daemon writes, traffic or not: both records (2.2 KB, each with the
// time of the sample) with one flush of their folder.
void RecordWritesOfASample(benchmark::State &state) {
    test::TempDir dir;
    const std::string record(2200, 'x');
    for (auto _ : state) {
        const DirectoryFlushBatch flushes;
        for (const char *name : {"app_data_cellular.plist", "app_data_wifi.plist"})
            benchmark::DoNotOptimize(writeFileAtomically(dir.path() / name, record, kPrivateToUser,
                                                         DirectoryFlush::InBatch));
    }
}
BENCHMARK(RecordWritesOfASample)->Unit(benchmark::kMicrosecond);

// The writes a cycle with traffic cannot do without, as it makes them: both records (2.2 KB) with
// one flush of their folder, then the custom counters (0.7 KB), flushed at once.
void WritesOfACycle(benchmark::State &state) {
    test::TempDir dir;
    const std::string record(2200, 'x');
    const std::string counters(700, 'x');
    for (auto _ : state) {
        {
            const DirectoryFlushBatch flushes;
            for (const char *name : {"app_data_cellular.plist", "app_data_wifi.plist"})
                benchmark::DoNotOptimize(writeFileAtomically(
                    dir.path() / name, record, kPrivateToUser, DirectoryFlush::InBatch));
        }
        benchmark::DoNotOptimize(
            writeFileAtomically(dir.path() / "customcounters.archive", counters));
    }
}
BENCHMARK(WritesOfACycle)->Unit(benchmark::kMicrosecond);

// Years of daily and billing-cycle logs for both types (ten years: 7,300 daily and 244
// billing-cycle logs), and a number of counters.
void seed(Device &device, int years, int counters) {
    Services &services = device.services();
    std::vector<History> logs;
    const Instant start = instantFromSeconds(1'450'000'000);
    for (int day = 0; day < years * 365; ++day) {
        const Instant at = device.env.calendar.addDays(start, day);
        for (std::int32_t type : {History::kCellular, History::kWiFi})
            logs.push_back(
                History::initWithStartDate(at, at, 1e6, 2e6, 3e6, type, History::kDailyLog));
        if (day % 30 == 0)
            for (std::int32_t type : {History::kCellular, History::kWiFi})
                logs.push_back(History::initWithStartDate(at, at, 3e7, 6e7, 9e7, type,
                                                          History::kBillingCycleLog));
    }
    if (!logs.empty() && !History::saveHistoryLogs(services, logs))
        throw std::runtime_error("could not seed the history");
    std::vector<CustomCounter> list;
    for (int i = 0; i < counters; ++i)
        list.push_back(CustomCounter::initWithName("Counter " + std::to_string(i), start));
    if (!list.empty() && !CustomCounter::saveCustomCounterData(services, list))
        throw std::runtime_error("could not seed the custom counters");
}

// A device that has run for a while: settings stored, both usage records written once.
void prepare(Device &device, MainViewController &controller, int years, int counters) {
    AppSettings(device.services()).getSettings();
    seed(device, years, counters);
    controller.backgroundUpdate("", false);
}

// Update cycles `step` apart, each after a little traffic, on a device of state's years and
// counters.
void updateCycles(benchmark::State &state, std::chrono::seconds step) {
    Device device;
    MainViewController controller(device.services());
    prepare(device, controller, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        device.receive(1000);
        device.env.clock.current += step;
        state.ResumeTiming();
        controller.backgroundUpdate("", false);
    }
}

// One update cycle: both data types, the custom counters, the alerts and the saves.
void UpdateCycle(benchmark::State &state) {
    updateCycles(state, std::chrono::seconds(20));
}
BENCHMARK(UpdateCycle)
    ->ArgNames({"years", "counters"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({10, 1})
    ->Args({0, 50})
    ->Unit(benchmark::kMicrosecond);

// The first update of a new day: each type closes the day into a daily log.
void DayChangeUpdate(benchmark::State &state) {
    updateCycles(state, std::chrono::hours(24));
}
BENCHMARK(DayChangeUpdate)
    ->ArgNames({"years", "counters"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({10, 1})
    ->Args({0, 50})
    ->Unit(benchmark::kMicrosecond);

// A dashboard render from the stored records.
void DashboardRepaint(benchmark::State &state) {
    Device device;
    MainViewController controller(device.services());
    prepare(device, controller, 0, 1);
    for (auto _ : state)
        controller.repaintView(true);
}
BENCHMARK(DashboardRepaint)->Unit(benchmark::kMicrosecond);

// Reading the billing-cycle logs out of the whole history.
void ReadHistory(benchmark::State &state) {
    Device device;
    seed(device, static_cast<int>(state.range(0)), 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(History::getAllBillingCycleLogs(device.services()));
}
BENCHMARK(ReadHistory)->ArgName("years")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// The History tab coming to the front: the logs read and every row's texts made.
void HistoryListOpens(benchmark::State &state) {
    Device device;
    MainViewController controller(device.services());
    prepare(device, controller, static_cast<int>(state.range(0)), 0);
    HistoryViewController list(device.services(), {});
    for (auto _ : state) {
        list.viewWillAppear();
        benchmark::DoNotOptimize(list.sections());
    }
}
BENCHMARK(HistoryListOpens)->ArgName("years")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// A period's detail opening: the period in progress (its daily logs up to now), or the oldest
// stored period, whose days lie furthest back in the file.
void HistoryDetailOpens(benchmark::State &state) {
    Device device;
    MainViewController controller(device.services());
    prepare(device, controller, static_cast<int>(state.range(0)), 0);
    const bool current = state.range(1) == 0;
    const auto cycles = History::getAllBillingCycleLogs(device.services());
    for (auto _ : state) {
        HistoryDetailViewController detail(device.services(), {});
        if (current)
            detail.showCurrentCellCycle = true;
        else
            detail.historyItem = cycles.front();
        detail.displayDataUnit = "MB";
        detail.viewDidLoad();
        benchmark::DoNotOptimize(detail.sections());
    }
}
BENCHMARK(HistoryDetailOpens)
    ->ArgNames({"years", "past"})
    ->Args({1, 0})
    ->Args({10, 0})
    ->Args({1, 1})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond);

// The cellular usage record as a cycle leaves it, which every sample reads and writes again.
std::string usageRecord() {
    Device device;
    MainViewController controller(device.services());
    prepare(device, controller, 0, 1);
    std::ifstream file(device.env.paths().dataDir / "app_data_cellular.plist", std::ios::binary);
    std::string xml{std::istreambuf_iterator<char>(file), {}};
    if (xml.empty()) throw std::runtime_error("no usage record was written");
    return xml;
}

// Reading a usage record: our XML reader (0) against libplist's (1), which it replaced.
void XmlRecordRead(benchmark::State &state) {
    const std::string xml = usageRecord();
    const bool libplist = state.range(0) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(libplist ? parsePropertyListWithLibplist(xml)
                                          : parsePropertyList(xml));
}
BENCHMARK(XmlRecordRead)->ArgName("libplist")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Writing it: our XML writer (0) against libplist's (1), byte for byte the same output.
void XmlRecordWrite(benchmark::State &state) {
    const auto record = parsePropertyList(usageRecord());
    if (!record) throw std::runtime_error("the usage record did not read");
    const bool libplist = state.range(0) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(libplist ? toXmlPropertyListWithLibplist(*record)
                                          : toXmlPropertyList(*record));
}
BENCHMARK(XmlRecordWrite)->ArgName("libplist")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace byteward
