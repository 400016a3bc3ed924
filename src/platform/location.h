#pragma once

#include "platform/value.h"

#include <memory>
#include <optional>
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

    // Fixes and geocoding answers reach the delegate only from dispatch, which the owner's event
    // loop calls when pollFd turns readable (and after starting), so every callback runs on the
    // owner's thread. -1: nothing to wait for.
    virtual int pollFd() const { return -1; }
    virtual void dispatch() {}
};

// A reverse-geocoding backend that answers at once (it may block on the network for a while).
class PlaceLookup {
  public:
    struct Answer {
        std::optional<Placemark> placemark; // absent: the lookup failed
        std::string error;
    };
    virtual ~PlaceLookup() = default;
    virtual Answer lookup(const Coordinate &coordinate) = 0;
};

// Makes geocoders whose starts only record the coordinate; the lookups run when the location
// service dispatches, after the fixes of that round. A geocoder started again before it answered
// looks up the latest coordinate only, so a burst of fixes costs one lookup and one update.
class DeferredGeocoders {
  public:
    explicit DeferredGeocoders(PlaceLookup &lookup);
    ~DeferredGeocoders();
    DeferredGeocoders(const DeferredGeocoders &) = delete;
    DeferredGeocoders &operator=(const DeferredGeocoders &) = delete;

    std::unique_ptr<ReverseGeocoder> make();
    bool pending() const;
    // Looks up every recorded coordinate and answers each geocoder's delegate once.
    void answerPending();

    struct State; // shared with the geocoders made here

  private:
    std::shared_ptr<State> state_;
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
