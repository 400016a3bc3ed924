// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/geoclue_location.h"

#include "platform/bus_socket.h"

#include <chrono>
#include <map>
#include <optional>
#include <sdbus-c++/sdbus-c++.h>
#include <vector>

namespace byteward {

namespace {

constexpr const char *kService = "org.freedesktop.GeoClue2";
constexpr const char *kManagerPath = "/org/freedesktop/GeoClue2/Manager";
constexpr const char *kManager = "org.freedesktop.GeoClue2.Manager";
constexpr const char *kClient = "org.freedesktop.GeoClue2.Client";
constexpr const char *kLocation = "org.freedesktop.GeoClue2.Location";
constexpr const char *kProperties = "org.freedesktop.DBus.Properties";
// GClueAccuracyLevel: a town is all a place text names.
constexpr std::uint32_t kCityAccuracy = 4;
constexpr auto kCallTimeout = std::chrono::seconds(2);
constexpr auto kRetryAfter = std::chrono::minutes(5);

std::string why(const std::exception &error) {
    return error.what();
}

} // namespace

struct GeoClueLocationService::Bus {
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IProxy> manager;
    std::unique_ptr<sdbus::IProxy> client; // made on the first start
    bool started = false;
    // Location objects announced since the last dispatch, oldest first.
    std::vector<sdbus::ObjectPath> arrived;
};

GeoClueLocationService::GeoClueLocationService(Log &log, PlaceLookup &places, Options options)
    : log_(log), options_(std::move(options)), geocoders_(places, /*inBackground=*/true) {
}

GeoClueLocationService::~GeoClueLocationService() {
    stopMonitoringSignificantLocationChanges();
}

void GeoClueLocationService::failed(const std::string &reason) const {
    if (reason == lastFailure_) return;
    lastFailure_ = reason;
    log_.line("GeoClue2: " + reason + "; the place where data was used is not recorded");
}

void GeoClueLocationService::lost(const std::exception &error) {
    bus_.reset();
    failed("lost the bus (" + why(error) + ")");
}

bool GeoClueLocationService::connect() const {
    if (bus_) return true;
    if (const auto missing = missingBusSocket(options_.busAddress)) {
        failed("not available (" + *missing + ")");
        return false;
    }
    // A bus that refused us is asked again only after a while, as each refusal costs memory.
    const auto now = std::chrono::steady_clock::now();
    if (now < retryAfter_) return false;
    try {
        auto bus = std::make_unique<Bus>();
        bus->connection = options_.busAddress.empty()
                              ? sdbus::createSystemBusConnection()
                              : sdbus::createSessionBusConnectionWithAddress(options_.busAddress);
        bus->connection->setMethodCallTimeout(kCallTimeout);
        bus->manager = sdbus::createProxy(*bus->connection, kService, kManagerPath);
        bus->manager->finishRegistration();
        // Also starts GeoClue2 where the bus activates it on demand.
        const std::uint32_t level = bus->manager->getProperty("AvailableAccuracyLevel")
                                        .onInterface(kManager)
                                        .get<std::uint32_t>();
        if (level < kCityAccuracy) {
            failed("location services are switched off");
            return false;
        }
        bus_ = std::move(bus);
        return true;
    } catch (const std::exception &error) {
        retryAfter_ = now + kRetryAfter;
        failed("not available (" + why(error) + ")");
        return false;
    }
}

bool GeoClueLocationService::locationServicesEnabled() const {
    return connect();
}

bool GeoClueLocationService::significantLocationChangeMonitoringAvailable() const {
    return connect();
}

void GeoClueLocationService::startMonitoringSignificantLocationChanges(LocationDelegate &delegate) {
    delegate_ = &delegate;
    if (!connect()) return;
    try {
        startClient();
        lastFailure_.clear();
    } catch (const std::exception &error) {
        // Refused by the user's agent, or GeoClue2 restarted and forgot our client: the next
        // start asks for a client again.
        failed("cannot start (" + why(error) + ")");
        if (bus_) {
            bus_->started = false;
            bus_->client.reset();
        }
    }
}

void GeoClueLocationService::startClient() {
    Bus &bus = *bus_;
    if (bus.started) return;
    if (!bus.client) {
        sdbus::ObjectPath path;
        bus.manager->callMethod("GetClient").onInterface(kManager).storeResultsTo(path);
        auto client = sdbus::createProxy(*bus.connection, kService, path);
        // Only queued here; fixes are read and delivered from dispatch, outside sd-bus.
        Bus *raw = &bus;
        client->uponSignal("LocationUpdated")
            .onInterface(kClient)
            .call([raw](const sdbus::ObjectPath &, const sdbus::ObjectPath &newLocation) {
                raw->arrived.push_back(newLocation);
            });
        client->finishRegistration();
        client->setProperty("DesktopId").onInterface(kClient).toValue(options_.desktopId);
        client->setProperty("RequestedAccuracyLevel").onInterface(kClient).toValue(kCityAccuracy);
        client->setProperty("DistanceThreshold")
            .onInterface(kClient)
            .toValue(options_.distanceThreshold);
        bus.client = std::move(client);
    }
    bus.client->callMethod("Start").onInterface(kClient);
    bus.started = true;
}

void GeoClueLocationService::stopMonitoringSignificantLocationChanges() {
    delegate_ = nullptr;
    if (!bus_ || !bus_->started) return;
    bus_->started = false;
    bus_->arrived.clear();
    try {
        bus_->client->callMethod("Stop").onInterface(kClient);
    } catch (const std::exception &error) {
        lost(error);
    }
}

std::unique_ptr<ReverseGeocoder> GeoClueLocationService::makeGeocoder() {
    return geocoders_.make();
}

int GeoClueLocationService::pollFd() const {
    // While a place is being looked up, fixes wait in the bus socket; the answer comes first.
    if (const int busy = geocoders_.busyFd(); busy >= 0) return busy;
    if (!bus_) return -1;
    try {
        return bus_->connection->getEventLoopPollData().fd;
    } catch (const std::exception &) {
        return -1;
    }
}

void GeoClueLocationService::dispatch() {
    // Reading a fix waits for an answer, and signals arriving meanwhile are only queued: go
    // round until nothing is left, so none waits for the descriptor to turn readable again.
    while (bus_) {
        try {
            while (bus_->connection->processPendingRequest()) {
            }
        } catch (const std::exception &error) {
            // A lost bus would leave its descriptor readable for ever.
            lost(error);
            break;
        }
        if (bus_->arrived.empty()) break;
        deliverFixes();
    }
    geocoders_.answerPending();
}

void GeoClueLocationService::deliverFixes() {
    while (bus_ && !bus_->arrived.empty()) {
        const sdbus::ObjectPath path = bus_->arrived.front();
        bus_->arrived.erase(bus_->arrived.begin());
        Location fix;
        try {
            auto object = sdbus::createProxy(*bus_->connection, kService, path);
            std::map<std::string, sdbus::Variant> properties;
            object->callMethod("GetAll")
                .onInterface(kProperties)
                .withArguments(kLocation)
                .storeResultsTo(properties);
            fix.coordinate.latitude = properties.at("Latitude").get<double>();
            fix.coordinate.longitude = properties.at("Longitude").get<double>();
            // Seconds and microseconds since 1970.
            const auto stamp =
                properties.at("Timestamp").get<sdbus::Struct<std::uint64_t, std::uint64_t>>();
            fix.timestamp = Instant(std::chrono::seconds(std::get<0>(stamp)) +
                                    std::chrono::microseconds(std::get<1>(stamp)));
        } catch (const std::exception &error) {
            // A location object gone before we read it: the next fix will do.
            failed("cannot read a fix (" + why(error) + ")");
            continue;
        }
        // Stopped meanwhile: the fixes have nobody to go to.
        if (delegate_ == nullptr) {
            bus_->arrived.clear();
            return;
        }
        const std::optional<Location> previous = lastFix_;
        lastFix_ = fix;
        delegate_->locationManager(*this, fix, previous ? &*previous : nullptr);
    }
}

} // namespace byteward
