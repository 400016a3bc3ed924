// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Hand-made damaged files, one store at a time, under a real update cycle: a file that cannot be
// read is kept aside byte for byte with a log line naming it, odd values never reach a total,
// and the other stores lose nothing.
#include "model/app_data.h"
#include "model/app_settings.h"
#include "model/custom_counter.h"
#include "model/history.h"
#include "platform/files.h"
#include "screens/dashboard/main_view_controller.h"
#include "storage/keyed_archive.h"
#include "storage/plist_codec.h"
#include "support/test_env.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <limits>
#include <unistd.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double MB = 1024.0 * 1024.0;
const Instant kYear2100 = instantFromSeconds(4'102'444'800);
const Instant kYear1800 = instantFromSeconds(-5'364'662'400);

enum class Store { CellularRecord, Defaults, History, Counters };

const char *storeName(Store store) {
    switch (store) {
    case Store::CellularRecord:
        return "usage record";
    case Store::Defaults:
        return "user defaults";
    case Store::History:
        return "history archive";
    case Store::Counters:
        return "custom counter archive";
    }
    return "";
}

// Every store holds something: two records after a few cycles, a plan, one history log and one
// custom counter.
struct World {
    World() {
        env.clock.current = instantFromSeconds(1'796'720'400 + 3600); // 2026-12-08T10:00Z
        env.boot.time = 1'796'720'400;
        AppSettings(env.services()).getSettings();
        env.defaults().setObject("cellularDataLimit", Value(10));
        env.defaults().synchronize();
        traffic(1);
        cycle();
        traffic(1);
        cycle();
        EXPECT_TRUE(History::addNewHistoryItemLog(
            env.services(), History::initWithStartDate(env.clock.current, env.clock.current, 1.0,
                                                       2.0, 3.0, 1, History::kDailyLog)));
        CustomCounter counter = CustomCounter::initWithName("Trip", env.clock.current);
        counter.endDate = kYear2100;
        EXPECT_TRUE(CustomCounter::addCustomCounter(env.services(), counter));
        historyId = History::getAllHistoryLogs(env.services()).at(0).uniqueId;
        counterId = counter.uniqueId;
    }

    fs::path path(Store store) {
        switch (store) {
        case Store::CellularRecord:
            return env.paths().dataDir / "app_data_cellular.plist";
        case Store::Defaults:
            return env.paths().configDir / "byteward.plist";
        case Store::History:
            return History::archivePath(env.services());
        case Store::Counters:
            return CustomCounter::archivePath(env.services());
        }
        return {};
    }

    void traffic(double cellularMb) {
        cellularBytes += cellularMb * MB;
        env.statistics.set("wwan0", static_cast<std::uint64_t>(cellularBytes), 0, "wwan");
        env.statistics.set("wlan0", 1000, 1000, "wlan");
        env.clock.current += std::chrono::minutes(10);
    }
    void cycle() { MainViewController(env.services()).backgroundUpdate("", false); }

    AppData record(const char *type) {
        AppData r(env.services());
        r.getAppData(type);
        return r;
    }

    // The files kept aside next to `original`.
    std::vector<fs::path> keptAside(const fs::path &original) const {
        std::vector<fs::path> found;
        for (const auto &entry : fs::directory_iterator(original.parent_path()))
            if (entry.path().filename().string().rfind(
                    original.filename().string() + ".unreadable-", 0) == 0)
                found.push_back(entry.path());
        return found;
    }

    test::TestEnv env;
    double cellularBytes = 0;
    std::string historyId;
    std::string counterId;
};

void writeBytes(const fs::path &path, const std::string &bytes) {
    test::writeFile(path, bytes);
}

std::string readBytes(const fs::path &path) {
    return readWholeFile(path).value_or("<missing>");
}

// A keyed archive with one record of `className` holding the fields `fill` sets.
std::string archiveWith(const char *listKey, const char *className,
                        const std::function<void(ArchiveObject &)> &fill) {
    ArchiveObject object = ArchiveObject::instance(className);
    fill(object);
    KeyedArchive archive;
    archive.encodeObject(listKey, ArchiveObject::list({object}));
    return archive.encode();
}

std::string recordWith(const std::function<void(ValueDict &)> &fill) {
    ValueDict d;
    d.set("dataAllTime", Value(5.0 * MB));
    d.set("dataThisMonth", Value(5.0 * MB));
    fill(d);
    return toXmlPropertyList(Value(d));
}

bool allFinite(const AppData &r) {
    for (const auto &amount :
         {r.dataAllTime, r.dataThisMonth, r.dataSinceLastBoot, r.dataSinceLastRun, r.dataToday,
          r.dataAllTimeSent, r.dataAllTimeRecd, r.dataThisMonthSent, r.dataThisMonthRecd})
        if (amount && !std::isfinite(*amount)) return false;
    return true;
}

// What the damage should lead to.
enum class Outcome {
    KeptAside,       // unreadable: moved aside whole, the store starts empty
    KeptAsideInPart, // readable but holding non-numbers: moved aside, the rest of it still used
    Accepted,        // odd but meaningful: read as it is, nothing moved
};

struct Damage {
    const char *name;
    Store store;
    Outcome outcome;
    // The damaged bytes, given the file as it was.
    std::function<std::string(const std::string &good)> make;
};

std::string truncated(const std::string &good) {
    return good.substr(0, good.size() / 2);
}

std::vector<Damage> damages() {
    std::vector<Damage> list;
    // Damage that makes any store's file unreadable.
    for (const Store store :
         {Store::CellularRecord, Store::Defaults, Store::History, Store::Counters}) {
        list.push_back({"truncated", store, Outcome::KeptAside, truncated});
        list.push_back({"not a property list", store, Outcome::KeptAside,
                        [](const std::string &) { return std::string("\xff\xfe garbage"); }});
        list.push_back(
            {"a NUL inside an XML string", store, Outcome::KeptAside, [](const std::string &) {
                 return std::string("<plist><dict><key>a</key><string>x") + std::string(1, '\0') +
                        "y</string></dict></plist>";
             }});
        list.push_back({"zeroed binary tables", store, Outcome::KeptAside, [](const std::string &) {
                            return std::string("bplist00") + std::string(40, '\0');
                        }});
    }
    // The wrong kind of root.
    list.push_back(
        {"an array instead of a dictionary", Store::CellularRecord, Outcome::KeptAside,
         [](const std::string &) { return toXmlPropertyList(Value(ValueArray{Value(1.0)})); }});
    list.push_back(
        {"an array instead of a dictionary", Store::Defaults, Outcome::KeptAside,
         [](const std::string &) { return toXmlPropertyList(Value(ValueArray{Value(1.0)})); }});
    list.push_back({"a plain dictionary, no archive", Store::History, Outcome::KeptAside,
                    [](const std::string &) { return recordWith([](ValueDict &) {}); }});
    list.push_back({"a list of strings, no records", Store::Counters, Outcome::KeptAside,
                    [](const std::string &) {
                        KeyedArchive archive;
                        archive.encodeObject("customcounters",
                                             ArchiveObject::list({ArchiveObject::string("x")}));
                        return archive.encode();
                    }});
    // Amounts that are not numbers.
    for (const double bad : {kNaN, kInf, -kInf}) {
        list.push_back({"a non-finite amount", Store::CellularRecord, Outcome::KeptAsideInPart,
                        [bad](const std::string &) {
                            return recordWith([bad](ValueDict &d) {
                                d.set("dataThisMonth", Value(bad));
                                d.set("dataToday", Value(bad));
                            });
                        }});
        list.push_back({"a non-finite amount", Store::History, Outcome::KeptAsideInPart,
                        [bad](const std::string &) {
                            return archiveWith("historyLogs", "History", [bad](ArchiveObject &o) {
                                o.encodeObject("dataTotal", ArchiveObject::real(bad));
                                o.encodeObject("uniqueId", ArchiveObject::string("kept"));
                                o.encodeInt32("dataType", 1);
                                o.encodeInt32("historyType", 2);
                            });
                        }});
        list.push_back({"a non-finite amount", Store::Counters, Outcome::KeptAsideInPart,
                        [bad](const std::string &) {
                            return archiveWith(
                                "customcounters", "CustomCounter", [bad](ArchiveObject &o) {
                                    o.encodeObject("name", ArchiveObject::string("kept"));
                                    o.encodeObject("cellularDataTotal", ArchiveObject::real(bad));
                                    o.encodeObject("uniqueId", ArchiveObject::string("kept"));
                                });
                        }});
    }
    list.push_back({"a text amount \"inf\"", Store::CellularRecord, Outcome::KeptAsideInPart,
                    [](const std::string &) {
                        return recordWith([](ValueDict &d) { d.set("dataAllTime", Value("inf")); });
                    }});
    // Odd values that still mean something.
    list.push_back(
        {"huge amounts", Store::CellularRecord, Outcome::Accepted, [](const std::string &) {
             return recordWith([](ValueDict &d) {
                 d.set("dataAllTime", Value(1e308));
                 d.set("dataThisMonth", Value(9.2e18));
             });
         }});
    list.push_back({"dates far in the future", Store::CellularRecord, Outcome::Accepted,
                    [](const std::string &) {
                        return recordWith([](ValueDict &d) {
                            d.set("lastUpdate", Value(kYear2100));
                            d.set("nextBillingDate", Value(kYear2100));
                        });
                    }});
    list.push_back({"dates far in the past", Store::CellularRecord, Outcome::Accepted,
                    [](const std::string &) {
                        return recordWith([](ValueDict &d) {
                            d.set("lastUpdate", Value(kYear1800));
                            d.set("lastBillingDate", Value(kYear1800));
                        });
                    }});
    list.push_back(
        {"wrong kinds of value", Store::CellularRecord, Outcome::Accepted, [](const std::string &) {
             return recordWith([](ValueDict &d) {
                 d.set("lastUpdate", Value(12.0));
                 d.set("dataSinceLastBoot", Value(ValueArray{}));
                 d.set("bootId", Value(7.0));
             });
         }});
    for (const Value &quota :
         {Value(-5), Value(kNaN), Value(1e308), Value("ten"), Value(ValueArray{})}) {
        list.push_back(
            {"an odd quota", Store::Defaults, Outcome::Accepted, [quota](const std::string &) {
                 ValueDict d;
                 d.set("cellularDataLimit", quota);
                 d.set("firstDayOfCycle", Value(kYear2100));
                 return toXmlPropertyList(Value(d));
             }});
    }
    list.push_back({"dates far away and a name that is not UTF-8", Store::History,
                    Outcome::Accepted, [](const std::string &) {
                        return archiveWith("historyLogs", "History", [](ArchiveObject &o) {
                            o.encodeObject("startDate", ArchiveObject::date(kYear1800));
                            o.encodeObject("endDate", ArchiveObject::date(kYear2100));
                            o.encodeObject("uniqueId", ArchiveObject::string("kept\xff"));
                            o.encodeInt32("historyType", 1);
                        });
                    }});
    list.push_back({"markup and stray bytes in a counter name", Store::Counters, Outcome::Accepted,
                    [](const std::string &) {
                        return archiveWith("customcounters", "CustomCounter", [](ArchiveObject &o) {
                            o.encodeObject("name", ArchiveObject::string("<b>Trip</b> & \xfe"));
                            o.encodeObject("endDate", ArchiveObject::date(kYear2100));
                            o.encodeObject("uniqueId", ArchiveObject::string("kept"));
                        });
                    }});
    return list;
}

// The other stores after the cycle: nothing of theirs lost.
void expectOthersIntact(World &w, Store damaged, const std::string &label) {
    if (damaged != Store::History) {
        const auto logs = History::getAllHistoryLogs(w.env.services());
        EXPECT_TRUE(std::any_of(logs.begin(), logs.end(),
                                [&](const History &l) { return l.uniqueId == w.historyId; }))
            << label << ": the history log is gone";
    }
    if (damaged != Store::Counters) {
        const auto counters = CustomCounter::getAllCustomCounters(w.env.services());
        const auto trip = std::find_if(counters.begin(), counters.end(),
                                       [&](const auto &c) { return c.uniqueId == w.counterId; });
        ASSERT_NE(trip, counters.end()) << label << ": the custom counter is gone";
        EXPECT_EQ(trip->endDate, kYear2100) << label << ": the end date moved";
        // Without the cellular record's last sample there is no increment to add this time.
        if (damaged != Store::CellularRecord) {
            EXPECT_GT(trip->cellularDataTotal.value_or(0), 0) << label << ": it stopped counting";
        }
    }
    if (damaged != Store::Defaults) {
        const auto limit = w.env.defaults().objectForKey("cellularDataLimit");
        EXPECT_TRUE(limit && limit->doubleValue() == 10) << label << ": the plan is gone";
    }
    if (damaged != Store::CellularRecord) {
        EXPECT_GE(w.record("cellular").dataAllTime.value_or(0), 3 * MB)
            << label << ": the cellular record lost usage";
    }
}

TEST(DamagedFiles, EachIsKeptAsideOrReadSafelyAndNoOtherDataIsLost) {
    int tried = 0;
    for (const auto &damage : damages()) {
        const std::string label = std::string(storeName(damage.store)) + ", " + damage.name;
        World w;
        const fs::path path = w.path(damage.store);
        const std::string bytes = damage.make(readBytes(path));
        writeBytes(path, bytes);
        ++tried;

        w.traffic(1);
        w.cycle();
        // What each store's own readers see, read twice: a reader that only reads must leave the
        // next one as much as it found (the fuzzer caught a first read that moved the file aside
        // and left the second nothing).
        History::getAllHistoryLogs(w.env.services());
        CustomCounter::getAllCustomCounters(w.env.services());
        w.record("cellular");
        const auto logs = History::getAllHistoryLogs(w.env.services());
        const auto counters = CustomCounter::getAllCustomCounters(w.env.services());
        w.env.defaults().dictionaryRepresentation();

        const auto aside = w.keptAside(path);
        if (damage.outcome == Outcome::Accepted) {
            EXPECT_TRUE(aside.empty()) << label << ": a readable file was moved aside";
        } else {
            ASSERT_EQ(aside.size(), 1u) << label << ": the damaged file was not kept aside";
            EXPECT_EQ(readBytes(aside[0]), bytes) << label << ": the kept file was changed";
            EXPECT_TRUE(w.env.log.contains(path.string())) << label << ": no log line names it";
            EXPECT_TRUE(w.env.log.contains(aside[0].string()))
                << label << ": the log does not say where it went";
        }
        if (damage.outcome == Outcome::KeptAsideInPart && damage.store == Store::History) {
            ASSERT_EQ(logs.size(), 1u) << label;
            EXPECT_EQ(logs[0].uniqueId, "kept") << label;
        }
        // There the damage is in the period and today; the all-time total is whole.
        if (damage.store == Store::CellularRecord &&
            std::string(damage.name) == "a non-finite amount") {
            EXPECT_GE(w.record("cellular").dataAllTime.value_or(0), 5 * MB)
                << label << ": the record's other amounts were lost";
        }
        if (damage.outcome == Outcome::KeptAsideInPart && damage.store == Store::Counters) {
            ASSERT_EQ(counters.size(), 1u) << label;
            EXPECT_EQ(counters[0].name, "kept") << label;
        }
        for (const auto &counter : counters) {
            for (const auto &amount : {counter.cellularDataTotal, counter.wifiDataTotal})
                EXPECT_TRUE(!amount || std::isfinite(*amount)) << label;
        }
        for (const char *type : {"cellular", "wifi"}) {
            const AppData record = w.record(type);
            EXPECT_TRUE(allFinite(record)) << label << ": a " << type << " total is not a number";
            EXPECT_GE(record.dataThisMonth.value_or(0), 0) << label;
        }
        expectOthersIntact(w, damage.store, label);
    }
    // The count the reliability notes quote.
    std::cout << "damaged files tried: " << tried << "\n";
}

TEST(DamagedFiles, AFileFarLargerThanAnyWeWriteIsKeptAsideUnread) {
    for (const Store store :
         {Store::CellularRecord, Store::Defaults, Store::History, Store::Counters}) {
        World w;
        const fs::path path = w.path(store);
        { std::ofstream grow(path, std::ios::binary | std::ios::trunc); }
        // Sparse: no disk space, but reading it whole would take 65 MiB.
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxFileBytes) + off_t{1024} * 1024),
                  0);
        w.traffic(1);
        w.cycle();
        History::getAllHistoryLogs(w.env.services());
        CustomCounter::getAllCustomCounters(w.env.services());
        w.env.defaults().dictionaryRepresentation();
        const auto aside = w.keptAside(path);
        ASSERT_EQ(aside.size(), 1u) << storeName(store);
        EXPECT_EQ(fs::file_size(aside[0]), kMaxFileBytes + std::size_t{1024} * 1024)
            << storeName(store);
        EXPECT_TRUE(w.env.log.contains("MiB")) << storeName(store) << ": no word on the size";
        expectOthersIntact(w, store, storeName(store));
    }
}

} // namespace
} // namespace byteward
