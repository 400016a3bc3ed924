#pragma once

#include "platform/value.h"

#include <memory>
#include <string>

namespace byteward {

struct Coordinate {
    double latitude = 0;
    double longitude = 0;
};

// A position fix and when it was taken.
struct Location {
    Coordinate coordinate;
    Instant timestamp;
};

// A reverse-geocoded place.
struct Placemark {
    std::string locality;
    std::string administrativeArea;
};

class LocationService;
class ReverseGeocoder;

// Receives fixes and geocoding answers.
class LocationDelegate {
  public:
    virtual ~LocationDelegate() = default;
    virtual void locationManager(LocationService &manager, const Location &newLocation,
                                 const Location *oldLocation) = 0;
    virtual void locationManager(LocationService &manager, const std::string &error) = 0;
    virtual void reverseGeocoder(ReverseGeocoder &geocoder, const Placemark &placemark) = 0;
    virtual void reverseGeocoder(ReverseGeocoder &geocoder, const std::string &error) = 0;
};

// Turns a coordinate into a place; answers its delegate once per start.
class ReverseGeocoder {
  public:
    virtual ~ReverseGeocoder() = default;
    virtual void start(const Coordinate &coordinate, LocationDelegate &delegate) = 0;
};

// Significant-change monitoring, used only to be woken up and to name the place where data was
// used. Where no location service exists, the offline implementation does nothing.
class LocationService {
  public:
    virtual ~LocationService() = default;
    virtual bool locationServicesEnabled() const = 0;
    virtual bool significantLocationChangeMonitoringAvailable() const = 0;
    virtual void requestAlwaysAuthorization() = 0;
    virtual void startMonitoringSignificantLocationChanges(LocationDelegate &delegate) = 0;
    virtual void stopMonitoringSignificantLocationChanges() = 0;
    virtual std::unique_ptr<ReverseGeocoder> makeGeocoder() = 0;
};

// No location service on this machine: never enabled, never calls back.
class OfflineLocationService final : public LocationService {
  public:
    bool locationServicesEnabled() const override { return false; }
    bool significantLocationChangeMonitoringAvailable() const override { return false; }
    void requestAlwaysAuthorization() override {}
    void startMonitoringSignificantLocationChanges(LocationDelegate &) override {}
    void stopMonitoringSignificantLocationChanges() override {}
    std::unique_ptr<ReverseGeocoder> makeGeocoder() override { return nullptr; }
};

} // namespace byteward
