// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "lifecycle/sampler_daemon.h"
#include "model/app_data.h"
#include "model/app_settings.h"
#include "support/test_env.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace byteward {
namespace {

using namespace std::chrono_literals;
using Journal = std::vector<std::string>;

// Every sample posts exactly one badge, so "badge" in the journal marks a sample. At the chosen
// badge, in the middle of a sample, 4096 bytes arrive and SIGTERM is raised.
class JournalSink final : public NotificationSink {
  public:
    JournalSink(Journal &journal, test::TestEnv &env, int stopAtBadge)
        : journal_(journal), env_(env), stopAtBadge_(stopAtBadge) {}
    bool showNotification(const LocalNotification &notification) override {
        journal_.push_back("show " + notification.alertBody);
        return true;
    }
    bool setBadge(std::optional<long long>) override {
        journal_.push_back("badge");
        if (++badges_ != stopAtBadge_) return true;
        env_.statistics.set("wwan0", 1000 + 4096, 0);
        std::raise(SIGTERM);
        return true;
    }

  private:
    Journal &journal_;
    test::TestEnv &env_;
    int stopAtBadge_;
    int badges_ = 0;
};

// One step per dispatch, empty meaning SIGTERM. The descriptor stays readable while steps remain,
// so the daemon comes back for each at once instead of at a tick.
class ScriptedPower final : public PowerEvents {
  public:
    ScriptedPower(Journal &journal, std::vector<std::optional<PowerEvent>> steps)
        : journal_(journal), steps_(std::move(steps)),
          fd_(eventfd(steps_.empty() ? 0 : 1, EFD_NONBLOCK)) {}
    ~ScriptedPower() override { close(fd_); }
    bool takeDelayLock() override {
        journal_.push_back("take");
        return true;
    }
    void releaseDelayLock() override { journal_.push_back("release"); }
    int pollFd() const override { return fd_; }
    void dispatch(const std::function<void(const PowerEvent &)> &handler) override {
        if (next_ == steps_.size()) return;
        const auto step = steps_[next_++];
        eventfd_t drained;
        if (next_ == steps_.size()) eventfd_read(fd_, &drained);
        if (step)
            handler(*step);
        else
            std::raise(SIGTERM);
    }

  private:
    Journal &journal_;
    std::vector<std::optional<PowerEvent>> steps_;
    std::size_t next_ = 0;
    int fd_;
};

// Blocks the stop signals for the test; a daemon that never stops fails by the alarm.
class SamplerDaemonTest : public ::testing::Test {
  protected:
    SamplerDaemonTest() { alarm(30); }
    ~SamplerDaemonTest() override { alarm(0); }
    StopSignals stopSignals;
};

TEST_F(SamplerDaemonTest, SamplesAtTicksAroundSleepAndShutdownAndOnceMoreWhenStopped) {
    const PowerEvent sleep{PowerEvent::Kind::Sleep, true}, resume{PowerEvent::Kind::Sleep, false};
    const PowerEvent shutdown{PowerEvent::Kind::Shutdown, true},
        cancelled{PowerEvent::Kind::Shutdown, false};
    struct Case {
        const char *name;
        std::chrono::milliseconds interval;
        bool backgrounding;
        std::vector<std::optional<PowerEvent>> steps;
        int stopAtBadge;
        Journal expected;
        double countedSinceStart; // bytes since the app last ran; -1: no record
    };
    // clang-format off
    const Case cases[] = {
        {"ticks sample until a stop, then once more", 5ms, true, {}, 3,
         {"take", "show Due", "badge", "badge", "badge", "badge", "release"}, 4096},
        {"a stop during a sample is answered by exactly one more", 1h, true, {}, 1,
         {"take", "show Due", "badge", "badge", "release"}, 4096},
        {"sleep samples before letting go; resume re-takes and samples", 1h, true,
         {sleep, resume, {}}, 0,
         {"take", "show Due", "badge", "badge", "release", "take", "badge", "badge", "release"}, 0},
        {"shutdown samples before letting go; a cancelled one only re-takes", 1h, true,
         {shutdown, cancelled, {}}, 0,
         {"take", "show Due", "badge", "badge", "release", "take", "badge", "release"}, 0},
        {"backgrounding off: no sample, but notifications and the lock go on", 1h, false,
         {sleep, resume, {}}, 0,
         {"take", "show Due", "release", "take", "release"}, -1},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::TestEnv env;
        env.statistics.set("wwan0", 1000, 0);
        // The first run's defaults, then the user's choice.
        AppSettings(env.services()).getSettings();
        env.defaults().setObject("enableBackgrounding", Value(c.backgrounding));
        LocalNotification due;
        due.fireDate = env.clock.current;
        due.alertBody = "Due";
        env.notifications.scheduleLocalNotification(due);
        Journal journal;
        JournalSink sink(journal, env, c.stopAtBadge);
        ScriptedPower power(journal, c.steps);

        EXPECT_EQ(SamplerDaemon(env.services(), sink, power, c.interval, stopSignals.fd()).run(),
                  0);

        EXPECT_EQ(journal, c.expected);
        AppData record(env.services());
        record.getAppData(kCellular);
        EXPECT_EQ(record.dataSinceAppLastRun.value_or(-1), c.countedSinceStart);
    }
}

// On a disk that takes no more, every sample tries again, and each file's failure is logged once.
TEST_F(SamplerDaemonTest, AFullDiskIsLoggedOncePerFileAndTriedAgainAtEverySample) {
    const PowerEvent sleep{PowerEvent::Kind::Sleep, true}, resume{PowerEvent::Kind::Sleep, false};
    test::TestEnv env;
    env.statistics.set("wwan0", 1000, 0);
    AppSettings(env.services()).getSettings();
    AppData first(env.services());
    ASSERT_TRUE(first.performBackgroundUpdateForType(kCellular, "", false));
    const std::string record = first.dataFilePath().string();
    env.statistics.set("wwan0", 5000, 0);

    Journal journal;
    JournalSink sink(journal, env, 0);
    ScriptedPower power(journal, {sleep, resume, {}}); // four samples with the last
    const int readsBefore = env.statistics.reads;
    {
        test::FileSizeLimit full(0);
        EXPECT_EQ(SamplerDaemon(env.services(), sink, power, 1h, stopSignals.fd()).run(), 0);
    }
    EXPECT_GE(env.statistics.reads - readsBefore, 4)
        << "one reading of the counters, for both records, at each of four samples";
    const auto failed = std::count_if(
        env.log.lines.begin(), env.log.lines.end(), [&record](const std::string &line) {
            return line.starts_with("Writing data to file failed: " + record);
        });
    EXPECT_EQ(failed, 1);

    // Room again: the next sample counts what the failed ones could not store.
    AppData later(env.services());
    ASSERT_TRUE(later.performBackgroundUpdateForType(kCellular, "", false));
    EXPECT_EQ(*later.dataAllTime, 5000);
}

// One fix, ready at once; once it has been handled (or found nobody to go to) it asks the daemon
// to stop. Its geocoder always finds "Town, Region".
class OneFixLocation final : public LocationService {
  public:
    explicit OneFixLocation(Instant at)
        : geocoders_(lookup_), fd_(eventfd(1, EFD_NONBLOCK)), fix_{{48.2, 16.37}, at} {}
    ~OneFixLocation() override { close(fd_); }
    bool locationServicesEnabled() const override { return true; }
    bool significantLocationChangeMonitoringAvailable() const override { return true; }
    void requestAlwaysAuthorization() override {}
    void startMonitoringSignificantLocationChanges(LocationDelegate &delegate) override {
        delegate_ = &delegate;
        ++starts;
    }
    void stopMonitoringSignificantLocationChanges() override { delegate_ = nullptr; }
    std::unique_ptr<ReverseGeocoder> makeGeocoder() override { return geocoders_.make(); }
    int pollFd() const override { return fd_; }
    void dispatch() override {
        eventfd_t drained;
        if (eventfd_read(fd_, &drained) != 0) return;
        if (delegate_ != nullptr) delegate_->locationManager(*this, fix_, nullptr);
        geocoders_.answerPending();
        std::raise(SIGTERM);
    }
    bool monitoring() const { return delegate_ != nullptr; }
    int starts = 0;

  private:
    class TownLookup final : public PlaceLookup {
        Answer lookup(const Coordinate &) override { return {Placemark{"Town", "Region"}, {}}; }
    } lookup_;
    DeferredGeocoders geocoders_;
    int fd_;
    Location fix_;
    LocationDelegate *delegate_ = nullptr;
};

TEST_F(SamplerDaemonTest, OwnsLocationMonitoringWhileBackgroundingIsOn) {
    struct Case {
        const char *name;
        bool backgrounding;
        int starts;            // 0: never started
        const char *placeUsed; // the fix's place, moved aside by the last sample
    } cases[] = {
        {"on: a fix's place is recorded", true, 1, "Town, Region"},
        {"off: monitoring is not started", false, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::TestEnv env;
        env.statistics.set("wwan0", 1000, 0);
        AppSettings(env.services()).getSettings();
        env.defaults().setObject("enableBackgrounding", Value(c.backgrounding));
        // The records exist, as after the app's first run.
        EXPECT_TRUE(AppData(env.services()).performBackgroundUpdateForType(kCellular, "", false));
        test::RecordingSink sink;
        Journal journal;
        ScriptedPower power(journal, {});
        OneFixLocation location(env.clock.current);

        EXPECT_EQ(SamplerDaemon(env.services(), sink, power, 1h, stopSignals.fd(), &location).run(),
                  0);

        EXPECT_EQ(location.starts > 0, c.starts > 0);
        EXPECT_FALSE(location.monitoring()) << "stopping the daemon stops monitoring";
        AppData record(env.services());
        record.getAppData(kCellular);
        EXPECT_EQ(record.lastLocationDataUsed.value_or("(none)"), c.placeUsed);
    }
}

// Marks each sample in the journal with how often the network services had been read again by
// then; the chosen sample raises SIGTERM.
class RefreshJournalSink final : public NotificationSink {
  public:
    RefreshJournalSink(Journal &journal, const test::FakeNetworkServices &network, int stopAtBadge)
        : journal_(journal), network_(network), stopAtBadge_(stopAtBadge) {}
    bool showNotification(const LocalNotification &) override { return true; }
    bool setBadge(std::optional<long long>) override {
        journal_.push_back("sample after " + std::to_string(network_.refreshes) + " refreshes");
        if (++badges_ == stopAtBadge_) std::raise(SIGTERM);
        return true;
    }

  private:
    Journal &journal_;
    const test::FakeNetworkServices &network_;
    int stopAtBadge_;
    int badges_ = 0;
};

TEST_F(SamplerDaemonTest, AnAnnouncedNetworkChangeIsSampledUnderTheOldStateThenReadAgain) {
    NetworkServicesState roaming;
    roaming.modemManager = true;
    roaming.modems.push_back(ModemInfo{"/modem/0", {"wwan0"}, {"wwan0"}, "8944", "Net", true});
    struct Case {
        const char *name;
        bool announce;
        int stopAtBadge;
        Journal expected;
    } cases[] = {
        {"announced: a sample, then the new state, then the last sample",
         true,
         2,
         {"sample after 0 refreshes", "sample after 0 refreshes", "sample after 1 refreshes"}},
        {"nothing announced: never read again",
         false,
         1,
         {"sample after 0 refreshes", "sample after 0 refreshes"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::TestEnv env;
        env.statistics.set("wwan0", 1000, 0);
        AppSettings(env.services()).getSettings();
        env.network.next = roaming;
        env.network.announce = c.announce;
        Journal journal, powerJournal;
        RefreshJournalSink sink(journal, env.network, c.stopAtBadge);
        ScriptedPower power(powerJournal, {});

        EXPECT_EQ(SamplerDaemon(env.services(), sink, power, 1h, stopSignals.fd()).run(), 0);

        EXPECT_EQ(journal, c.expected);
        EXPECT_EQ(env.network.current == roaming, c.announce);
    }
}

TEST(TimeUntilWake, WaitsForTheTickOrAnEarlierNotificationButNeverSpinsOnOneAlreadyDue) {
    const Instant now = instantFromSeconds(1'765'152'000);
    const std::tuple<std::chrono::milliseconds, std::optional<Instant>, std::chrono::milliseconds>
        cases[] = {
            {60s, std::nullopt, 60s},   {60s, now + 15s, 15s}, {60s, now + 90s, 60s},
            {60s, now - 1s, 60s},       {60s, now, 60s},       {60s, now + 500us, 1ms},
            {-20ms, std::nullopt, 0ms},
        };
    for (const auto &[untilTick, fireDate, expected] : cases)
        EXPECT_EQ(timeUntilWake(untilTick, fireDate, now), expected);
}

} // namespace
} // namespace byteward
