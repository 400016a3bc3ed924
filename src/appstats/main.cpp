// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// byteward-appstats: counts every program's traffic per cgroup and interface with cgroup_skb BPF
// programs at the root of the cgroup v2 tree, and writes each user's share for them to read.
#include "appstats/cgroup_tree.h"
#include "appstats/snapshot_directory.h"
#include "appstats/traffic_ledger.h"
#include "appstats/user_snapshot.h"
#include "appstats_bpf.skel.h"
#include "appstats_key.h"
#include "byteward_version.h"

#include <CLI/CLI.hpp>
#include <bpf/bpf.h>
#include <bpf/libbpf.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

using namespace byteward::appstats;

constexpr const char *kName = "byteward-appstats";

struct Options {
    std::string cgroupRoot;
    std::string outDir = "/run/byteward/apps";
    unsigned interval = 5; // seconds
};

int fail(const std::string &message) {
    std::cerr << kName << ": " << message << '\n';
    return 1;
}

// libbpf's own warnings help when a load fails; its chatter does not.
int libbpfPrint(enum libbpf_print_level level, const char *format, va_list args) {
    if (level != LIBBPF_WARN)
        return 0;
    return std::vfprintf(stderr, format, args);
}

double realtimeSeconds(std::int64_t *nanoseconds = nullptr) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    if (nanoseconds)
        *nanoseconds = std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string bootId() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id;
}

// Every slot of the map, its per-CPU values added up.
std::vector<Reading> readCounters(int mapFd) {
    std::vector<Reading> readings;
    const int cpus = libbpf_num_possible_cpus();
    if (cpus <= 0)
        return readings;
    std::vector<appstats_value> perCpu(static_cast<std::size_t>(cpus));
    appstats_key key{};
    appstats_key next{};
    const appstats_key *previous = nullptr;
    while (bpf_map_get_next_key(mapFd, previous, &next) == 0) {
        key = next;
        previous = &key;
        if (bpf_map_lookup_elem(mapFd, &key, perCpu.data()) != 0)
            continue; // deleted meanwhile
        Reading reading{{key.cgroup_id, key.ifindex}, {}};
        for (const appstats_value &value : perCpu)
            reading.counts += Counts{value.rx, value.tx};
        readings.push_back(reading);
    }
    return readings;
}

void deleteCounters(int mapFd, const std::vector<CounterKey> &keys) {
    for (const CounterKey &gone : keys) {
        appstats_key key{};
        key.cgroup_id = gone.cgroupId;
        key.ifindex = gone.ifindex;
        bpf_map_delete_elem(mapFd, &key);
    }
}

// The attached programs; detached when destroyed (nothing is pinned, so also when killed).
struct Programs {
    appstats_bpf *skeleton = nullptr;
    bpf_link *ingress = nullptr;
    bpf_link *egress = nullptr;
    Programs() = default;
    Programs(const Programs &) = delete;
    Programs &operator=(const Programs &) = delete;
    ~Programs() {
        bpf_link__destroy(egress);
        bpf_link__destroy(ingress);
        appstats_bpf__destroy(skeleton);
    }
};

std::string bpfError(int error) {
    std::string reason = std::strerror(error);
    if (error == EPERM || error == EACCES)
        return "not allowed to load BPF programs (" + reason +
               "; needs root, or CAP_BPF and CAP_NET_ADMIN)";
    return "this kernel has no cgroup BPF: " + reason;
}

class Helper {
public:
    Helper(int rootFd, SnapshotDirectory &out, int mapFd) : rootFd_(rootFd), out_(out), mapFd_(mapFd) {
        std::int64_t startNs = 0;
        run_.started = realtimeSeconds(&startNs);
        run_.bootId = bootId();
        run_.epoch = run_.bootId + "/" + std::to_string(startNs);
    }

    // Takes in the counters and writes the files that changed (all of them when `final`).
    void snapshot(bool final) {
        // The map first: every id read then is either in the walk that follows or gone.
        const std::vector<Reading> readings = readCounters(mapFd_);
        const CgroupScan scan = scanCgroups(rootFd_);
        deleteCounters(mapFd_, ledger_.update(readings, scan.paths, interfaceNames()));
        const Totals totals = ledger_.totals();
        for (uid_t uid : usersToWrite(totals, scan.userSlices)) {
            UserCounts counts = countsForUser(totals, uid);
            auto last = written_.find(uid);
            if (!final && last != written_.end() && last->second == counts)
                continue;
            const std::string text =
                snapshotText(run_, uid, counts, realtimeSeconds(), previousFor(uid));
            std::string error;
            if (out_.write(uid, text, error)) {
                written_[uid] = std::move(counts);
                failing_.erase(uid);
            } else if (failing_[uid] != error) {
                // Once per failure, not at every interval while the disk stays full.
                std::cerr << kName << ": " << error << '\n';
                failing_[uid] = error;
            }
        }
    }

private:
    // The earlier run's final counts for this user, read once from the helper's own copy.
    const std::optional<nlohmann::json> &previousFor(uid_t uid) {
        auto it = previous_.find(uid);
        if (it == previous_.end()) {
            std::optional<nlohmann::json> previous;
            if (auto text = out_.savedCopy(uid))
                previous = previousRun(*text, run_);
            it = previous_.emplace(uid, std::move(previous)).first;
        }
        return it->second;
    }

    int rootFd_;
    SnapshotDirectory &out_;
    int mapFd_;
    RunInfo run_;
    TrafficLedger ledger_;
    std::map<uid_t, UserCounts> written_;
    std::map<uid_t, std::optional<nlohmann::json>> previous_;
    std::map<uid_t, std::string> failing_;
};

int serve(const Options &options) {
    std::string error;
    const std::string root = findCgroup2Root(options.cgroupRoot, error);
    if (root.empty())
        return fail(error);
    const int rootFd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return fail("cannot open " + root + ": " + std::strerror(errno));

    SnapshotDirectory out;
    if (!out.open(options.outDir, error))
        return fail(error);

    // SIGTERM and SIGINT are taken synchronously, between snapshots.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);

    libbpf_set_print(libbpfPrint);
    Programs programs;
    programs.skeleton = appstats_bpf__open_and_load();
    if (!programs.skeleton)
        return fail(bpfError(errno));
    programs.ingress =
        bpf_program__attach_cgroup(programs.skeleton->progs.appstats_ingress, rootFd);
    if (!programs.ingress)
        return fail("cannot attach to " + root + ": " + bpfError(errno));
    programs.egress = bpf_program__attach_cgroup(programs.skeleton->progs.appstats_egress, rootFd);
    if (!programs.egress)
        return fail("cannot attach to " + root + ": " + bpfError(errno));

    Helper helper(rootFd, out, bpf_map__fd(programs.skeleton->maps.appstats_bytes));
    helper.snapshot(false);
    const timespec interval{static_cast<time_t>(options.interval), 0};
    for (;;) {
        const int signal = sigtimedwait(&stop, nullptr, &interval);
        if (signal == SIGTERM || signal == SIGINT)
            break;
        helper.snapshot(false);
    }
    helper.snapshot(true);
    close(rootFd);
    return 0;
}

} // namespace

int main(int argc, char **argv) try {
    CLI::App app{"Counts each program's network traffic per cgroup and interface, and writes "
                 "every user's share to a file only that user can read",
                 kName};
    app.set_version_flag("--version", std::string(kName) + " " + byteward::kVersion);
    Options options;
    app.add_option("--cgroup-root", options.cgroupRoot,
                   "The cgroup v2 mount (default: found at /sys/fs/cgroup or "
                   "/sys/fs/cgroup/unified)");
    app.add_option("--out-dir", options.outDir, "Where the per-user files go")
        ->capture_default_str();
    app.add_option("--interval", options.interval, "Seconds between snapshots")
        ->check(CLI::Range(1U, 3600U))
        ->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        // Help and version exit 0; every mistake in the options exits 2.
        return app.exit(e) == 0 ? 0 : 2;
    }
    return serve(options);
} catch (const std::exception &e) {
    // Out of memory, mostly; nothing in the loop throws otherwise.
    std::fprintf(stderr, "%s: %s\n", kName, e.what());
    return 1;
}
