// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

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

// A reverse-geocoding backend. A lookup may wait on the network, so it comes in steps that let
// only that wait leave the owner's thread: `begin` runs on the owner's thread and either answers
// at once (a cached place, no geocoder) or hands back `fetch`, which may run on any thread and
// returns the step that completes the answer on the owner's thread. A backend overrides `lookup`
// (answers at once) or `begin`.
class PlaceLookup {
  public:
    struct Answer {
        std::optional<Placemark> placemark; // absent: the lookup failed
        std::string error;
    };
    struct Started {
        std::optional<Answer> answer;                   // known without the network
        std::function<std::function<Answer()>()> fetch; // otherwise: the wait, then the finish
    };
    virtual ~PlaceLookup() = default;
    virtual Answer lookup(const Coordinate &coordinate) {
        Started started = begin(coordinate);
        return started.answer ? *started.answer : started.fetch()();
    }
    virtual Started begin(const Coordinate &coordinate) { return {lookup(coordinate), {}}; }
};

// Makes geocoders whose starts only record the coordinate; the lookups run when the location
// service dispatches, after the fixes of that round. A geocoder started again before it answered
// looks up the latest coordinate only, so a burst of fixes costs one lookup and one update.
// In the background mode the network wait runs on a worker thread, one lookup at a time, so a
// slow server never stalls a window; `busyFd` turns readable when its answer is ready.
class DeferredGeocoders {
  public:
    explicit DeferredGeocoders(PlaceLookup &lookup, bool inBackground = false);
    ~DeferredGeocoders();
    DeferredGeocoders(const DeferredGeocoders &) = delete;
    DeferredGeocoders &operator=(const DeferredGeocoders &) = delete;

    std::unique_ptr<ReverseGeocoder> make();
    bool pending() const;
    // Answers each geocoder's delegate once: every recorded coordinate at once, or in the
    // background mode, what the worker finished and then the next lookup started.
    void answerPending();
    // While a background lookup is under way: a descriptor that turns readable when it ends.
    // Otherwise -1.
    int busyFd() const;

    struct State; // shared with the geocoders made here

  private:
    void startNext();
    void collectFinished();

    std::shared_ptr<State> state_;
    bool inBackground_;
    int wakeFd_ = -1;
    std::thread worker_;
    std::function<PlaceLookup::Answer()> finish_; // set by the worker before it wakes us
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
