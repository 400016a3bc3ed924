// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/app_data.h"
#include "platform/geoclue_location.h"
#include "platform/location_fakes.h"
#include "platform/nominatim_geocoder.h"
#include "screens/dashboard/main_view_controller.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

namespace byteward {
namespace {

using namespace std::chrono_literals;
using test::FakeGeoClue;
using test::FakeNominatim;

// One machine with GeoClue2 on a private bus, a Nominatim server on loopback, and the app's
// hidden controller receiving the fixes.
struct Machine {
    explicit Machine(FakeNominatim::Responder respond = {}, std::uint32_t accuracy = 8)
        : nominatim(respond ? std::move(respond) : [](const std::string &) {
              return std::pair{200, test::nominatimAnswer("Town", "Region")};
          }) {
        if (bus.address().empty()) return;
        geoClue = std::make_unique<FakeGeoClue>(bus.address(), accuracy);
        env.defaults().setObject(ConfiguredGeocoder::kEndpointKey, Value(nominatim.endpoint()));
        env.statistics.set("wwan0", 1000, 500, "wwan");
        // The records exist before any fix, as after the app's first launch.
        controller.backgroundUpdate("", false);
    }

    bool ready() const { return geoClue != nullptr; }

    // Runs the service's event loop until `done` or a few seconds have passed.
    bool pumpUntil(const std::function<bool()> &done) {
        const auto giveUp = std::chrono::steady_clock::now() + 5s;
        while (!done() && std::chrono::steady_clock::now() < giveUp) {
            pollfd fd{location.pollFd(), POLLIN, 0};
            ::poll(&fd, 1, 20);
            location.dispatch();
        }
        return done();
    }
    // Runs it for a while when nothing is expected to happen.
    void pumpFor(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        pumpUntil([end] { return std::chrono::steady_clock::now() >= end; });
    }

    void sendFix(double latitude, double longitude, std::chrono::milliseconds age = 0ms) {
        geoClue->sendFix(latitude, longitude, env.clock.current - age);
    }

    std::string lastLocation() {
        AppData record(env.services());
        record.getAppData(kCellular);
        return record.lastLocation.value_or("(none)");
    }
    int cycles() const { return (env.statistics.reads - readsAtStart) / readsPerCycle; }

    test::PrivateBus bus;
    std::unique_ptr<FakeGeoClue> geoClue;
    FakeNominatim nominatim;
    test::TestEnv env;
    ConfiguredGeocoder places{env.defaults(), env.log};
    GeoClueLocationService location{
        env.log, places, GeoClueLocationService::Options{bus.address(), "byteward", 750}};
    MainViewController controller{env.services(), &location};
    int readsAtStart = 0;
    int readsPerCycle = 1;
};

#define REQUIRE_BUS(machine)                                                                       \
    do {                                                                                           \
        if (!(machine).ready()) GTEST_SKIP() << "dbus-daemon is not available";                    \
    } while (false)

// How many counter reads one update cycle makes, so cycles can be counted from them.
void calibrate(Machine &m) {
    const int before = m.env.statistics.reads;
    m.controller.backgroundUpdate("", false);
    m.readsPerCycle = m.env.statistics.reads - before;
    m.readsAtStart = m.env.statistics.reads;
}

TEST(GeoClueLocation, MonitoringAsksForACityLevelClientAndStopsIt) {
    Machine m;
    REQUIRE_BUS(m);
    m.controller.startSignificantChangesUpdate();
    m.controller.startSignificantChangesUpdate();
    auto seen = m.geoClue->seen();
    EXPECT_EQ(seen.desktopId, "byteward");
    EXPECT_EQ(seen.accuracy, 4u) << "city level";
    EXPECT_EQ(seen.distanceThreshold, 750u);
    EXPECT_EQ(seen.starts, 1) << "a second start of a running client starts nothing";
    m.controller.stopSignificantChangesUpdate();
    seen = m.geoClue->seen();
    EXPECT_FALSE(seen.active);
    m.controller.startSignificantChangesUpdate();
    EXPECT_TRUE(m.geoClue->seen().active) << "monitoring starts again after a stop";
}

TEST(GeoClueLocation, ARefusedStartIsToldAndTheNextStartAsksForAFreshClient) {
    Machine m;
    REQUIRE_BUS(m);
    m.geoClue->refuseStarts(1);
    m.controller.startSignificantChangesUpdate();
    EXPECT_FALSE(m.geoClue->seen().active);
    EXPECT_TRUE(m.env.log.contains("GeoClue2: cannot start"));
    m.controller.startSignificantChangesUpdate();
    const auto seen = m.geoClue->seen();
    EXPECT_TRUE(seen.active);
    EXPECT_EQ(seen.clients, 2) << "a client GeoClue2 may have forgotten is not reused";
}

TEST(GeoClueLocation, AFixMakesOneUpdateCycleWithThePlaceItsGeocoderFound) {
    struct Case {
        const char *name;
        std::chrono::milliseconds age;
        int status;
        std::string body;
        int cycles;
        std::string place;
    } cases[] = {
        {"fresh fix", 0ms, 200, test::nominatimAnswer("Town", "Region"), 1, "Town, Region"},
        {"fix 14.9 s old (truncated to 14)", 14900ms, 200, test::nominatimAnswer("Town", "Region"),
         1, "Town, Region"},
        {"fix 15 s old", 15000ms, 200, test::nominatimAnswer("Town", "Region"), 0, ""},
        {"server error", 0ms, 500, "{}", 1, "Unknown"},
        {"no town there", 0ms, 200, R"({"address":{"country":"Sea"}})", 1, "Unknown"},
        {"not JSON", 0ms, 200, "<html>busy</html>", 1, "Unknown"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Machine m([&c](const std::string &) { return std::pair{c.status, c.body}; });
        REQUIRE_BUS(m);
        calibrate(m);
        m.controller.startSignificantChangesUpdate();
        m.sendFix(48.2, 16.37, c.age);
        if (c.cycles > 0) {
            ASSERT_TRUE(m.pumpUntil([&] { return m.cycles() >= c.cycles; }));
        }
        m.pumpFor(200ms);
        EXPECT_EQ(m.cycles(), c.cycles);
        EXPECT_EQ(m.lastLocation(), c.place);
        EXPECT_EQ(m.nominatim.requests().size(), c.cycles > 0 ? 1u : 0u)
            << "a stale fix is not geocoded";
    }
}

TEST(GeoClueLocation, QuickFixesRestartTheGeocoderAndOnlyTheLatestIsLookedUp) {
    Machine m([](const std::string &target) {
        const bool second = target.find("lat=47.") != std::string::npos;
        return std::pair{200, second ? test::nominatimAnswer("Second", "Region")
                                     : test::nominatimAnswer("First", "Region")};
    });
    REQUIRE_BUS(m);
    calibrate(m);
    m.controller.startSignificantChangesUpdate();
    // Both arrive before the loop runs: the second restarts the geocoder the first started.
    m.sendFix(48.2, 16.37);
    m.sendFix(47.07, 15.44);
    ASSERT_TRUE(m.pumpUntil([&] { return m.cycles() >= 1; }));
    m.pumpFor(200ms);
    EXPECT_EQ(m.cycles(), 1);
    EXPECT_EQ(m.lastLocation(), "Second, Region");
    ASSERT_EQ(m.nominatim.requests().size(), 1u);
    EXPECT_NE(m.nominatim.requests()[0].target.find("lat=47.07000&lon=15.44000"),
              std::string::npos);
}

TEST(GeoClueLocation, ASlowServerNeverHoldsTheLoopThatDispatches) {
    Machine m([](const std::string &) {
        std::this_thread::sleep_for(1500ms);
        return std::pair{200, test::nominatimAnswer("Town", "Region")};
    });
    REQUIRE_BUS(m);
    calibrate(m);
    m.controller.startSignificantChangesUpdate();
    m.sendFix(48.2, 16.37);
    auto longest = 0ms;
    const auto giveUp = std::chrono::steady_clock::now() + 5s;
    while (m.cycles() < 1 && std::chrono::steady_clock::now() < giveUp) {
        pollfd fd{m.location.pollFd(), POLLIN, 0};
        ::poll(&fd, 1, 20);
        const auto start = std::chrono::steady_clock::now();
        m.location.dispatch();
        longest = std::max(longest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start));
    }
    EXPECT_EQ(m.cycles(), 1);
    EXPECT_EQ(m.lastLocation(), "Town, Region");
    EXPECT_LT(longest, 700ms) << "the wait for the server happens off the loop";
}

TEST(GeoClueLocation, TheDashboardShowsThePlaceBeforeTheLatest) {
    Machine m([](const std::string &target) {
        const bool second = target.find("lat=47.") != std::string::npos;
        return std::pair{200, second ? test::nominatimAnswer("Graz", "Styria")
                                     : test::nominatimAnswer("Vienna", "Vienna State")};
    });
    REQUIRE_BUS(m);
    calibrate(m);
    m.controller.startSignificantChangesUpdate();
    m.sendFix(48.2, 16.37);
    ASSERT_TRUE(m.pumpUntil([&] { return m.cycles() >= 1; }));
    m.sendFix(47.07, 15.44);
    ASSERT_TRUE(m.pumpUntil([&] { return m.cycles() >= 2; }));
    EXPECT_EQ(m.lastLocation(), "Graz, Styria");

    MainViewController dashboard(m.env.services());
    dashboard.isCellularMode = true;
    dashboard.repaintView(true);
    EXPECT_EQ(dashboard.lblPlaceUsed.text, "Vienna, Vienna State");
    const auto rows = dashboard.detailRows();
    EXPECT_EQ(std::string(rows[8].first), "LAST PLACE");
    EXPECT_EQ(rows[8].second, "Vienna, Vienna State");
}

TEST(GeoClueLocation, WithoutGeoClueNothingStartsAndTheLogSaysWhyOnce) {
    struct Case {
        const char *name;
        bool bus;
        bool geoClue;
        std::uint32_t accuracy;
        const char *logged;
    } cases[] = {
        {"no bus", false, false, 0, "GeoClue2: not available"},
        {"bus without GeoClue2", true, false, 0, "GeoClue2: not available"},
        {"location switched off", true, true, 0, "GeoClue2: location services are switched off"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::PrivateBus bus;
        if (c.bus && bus.address().empty()) {
            GTEST_SKIP() << "dbus-daemon is not available";
        }
        std::unique_ptr<FakeGeoClue> geoClue;
        if (c.geoClue) geoClue = std::make_unique<FakeGeoClue>(bus.address(), c.accuracy);
        test::TestEnv env;
        env.statistics.set("wwan0", 1000, 500, "wwan");
        NoGeocoder places;
        const std::string address =
            c.bus ? bus.address() : "unix:path=" + (env.dir.path() / "none").string();
        GeoClueLocationService location(env.log, places,
                                        GeoClueLocationService::Options{address, "byteward", 750});
        MainViewController controller(env.services(), &location);
        controller.startSignificantChangesUpdate();
        controller.startSignificantChangesUpdate();
        controller.stopSignificantChangesUpdate();
        EXPECT_FALSE(location.locationServicesEnabled());
        EXPECT_FALSE(location.monitoring());
        EXPECT_EQ(location.pollFd(), -1);
        location.dispatch();
        int lines = 0;
        for (const auto &line : env.log.lines)
            if (line.find("GeoClue2") != std::string::npos) ++lines;
        EXPECT_EQ(lines, 1) << "the reason is told once";
        EXPECT_TRUE(env.log.contains(c.logged));
        EXPECT_TRUE(controller.backgroundUpdate("", false)) << "counting goes on as before";
    }
}

} // namespace
} // namespace byteward
