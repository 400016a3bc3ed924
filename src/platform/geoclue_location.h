// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/location.h"
#include "platform/log.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace byteward {

// Location wake-ups from GeoClue2 (org.freedesktop.GeoClue2 on the system bus): one client at
// city-level accuracy whose distance threshold stands in for a "significant" change. Its fixes,
// and the answers of the geocoders it makes, reach the delegate from dispatch only. Without a bus
// or GeoClue2 it is simply not enabled; the log says why once per reason. Never throws, and no
// call waits longer than a couple of seconds.
class GeoClueLocationService final : public LocationService {
  public:
    struct Options {
        std::string busAddress;                 // empty: the system bus
        std::string desktopId = "byteward";     // GeoClue2 asks the user about this application
        std::uint32_t distanceThreshold = 1000; // metres between two fixes
    };

    // `places` answers the geocoders made here; it must outlive this service.
    GeoClueLocationService(Log &log, PlaceLookup &places, Options options);
    ~GeoClueLocationService() override;
    GeoClueLocationService(const GeoClueLocationService &) = delete;
    GeoClueLocationService &operator=(const GeoClueLocationService &) = delete;

    // Both true when GeoClue2 answers and would give at least a city-level position.
    bool locationServicesEnabled() const override;
    bool significantLocationChangeMonitoringAvailable() const override;
    // GeoClue2 asks its agent for permission when the client starts; nothing to do before.
    void requestAlwaysAuthorization() override {}
    void startMonitoringSignificantLocationChanges(LocationDelegate &delegate) override;
    void stopMonitoringSignificantLocationChanges() override;
    std::unique_ptr<ReverseGeocoder> makeGeocoder() override;
    int pollFd() const override;
    void dispatch() override;

    bool monitoring() const { return delegate_ != nullptr; }

  private:
    struct Bus;
    bool connect() const;
    void startClient();
    void deliverFixes();
    void failed(const std::string &reason) const;
    void lost(const std::exception &error);

    Log &log_;
    Options options_;
    DeferredGeocoders geocoders_;
    mutable std::unique_ptr<Bus> bus_;
    mutable std::string lastFailure_;
    mutable std::chrono::steady_clock::time_point retryAfter_{};
    LocationDelegate *delegate_ = nullptr;
    std::optional<Location> lastFix_;
};

} // namespace byteward
