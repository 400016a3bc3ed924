// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/location.h"
#include "platform/log.h"
#include "platform/setting_source.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace byteward {

// Reverse geocoding through a Nominatim server (the /reverse endpoint, JSON answers). Nominatim's
// usage policy asks for an identifying User-Agent, at most one request a second and cached
// answers; all three are kept here. http and https endpoints; no redirects are followed.
class NominatimGeocoder final : public PlaceLookup {
  public:
    static constexpr const char *kDefaultEndpoint = "https://nominatim.openstreetmap.org";

    struct Options {
        std::string endpoint = kDefaultEndpoint;         // the server's base address
        std::string userAgent;                           // empty: Byteward and its version
        std::chrono::milliseconds minimumInterval{1000}; // between two requests
        // For a whole request; short, as a sample before sleep may be waiting behind it.
        std::chrono::milliseconds timeout{5000};
    };

    NominatimGeocoder(Log &log, Options options);
    ~NominatimGeocoder() override;
    NominatimGeocoder(const NominatimGeocoder &) = delete;
    NominatimGeocoder &operator=(const NominatimGeocoder &) = delete;

    Started begin(const Coordinate &coordinate) override;
    const std::string &endpoint() const { return options_.endpoint; }

    // The address a lookup of `coordinate` asks for.
    std::string requestUrl(const Coordinate &coordinate) const;

  private:
    struct Request {
        std::string url;
        std::string endpoint;
        std::string userAgent;
        std::chrono::milliseconds timeout;
        std::chrono::steady_clock::time_point notBefore; // keeps the pace the server asks for
    };
    static Answer fetch(const Request &request);
    Answer remember(const Coordinate &coordinate, Answer answer);
    std::chrono::steady_clock::time_point nextTurn();
    void failed(const std::string &reason);

    Log &log_;
    Options options_;
    std::chrono::steady_clock::time_point lastRequest_{};
    bool requestedBefore_ = false;
    // Answers by coordinate rounded to 0.01 degree (about a kilometre, finer than a town).
    std::map<std::pair<long, long>, Placemark> cache_;
    std::string lastFailure_;
};

// The town and region of a Nominatim /reverse answer, or why there is none. The closest named
// settlement serves as the town and the state, or the nearest level that exists, as the region.
PlaceLookup::Answer placemarkFromNominatim(std::string_view json);

// The "no geocoder" choice: every lookup fails, so a fix records the place "Unknown".
class NoGeocoder final : public PlaceLookup {
  public:
    Answer lookup(const Coordinate &) override { return {std::nullopt, "no reverse geocoder"}; }
};

// The geocoder the user chose under "geocoderEndpoint", read again at every lookup: a Nominatim
// server's address (the public server when the key is absent), or "none" or an empty text for
// no geocoder.
class ConfiguredGeocoder final : public PlaceLookup {
  public:
    static constexpr const char *kEndpointKey = "geocoderEndpoint";

    ConfiguredGeocoder(SettingSource &defaults, Log &log);
    ~ConfiguredGeocoder() override;
    // Reads the setting on the caller's thread; only the chosen server's fetch may go elsewhere.
    Started begin(const Coordinate &coordinate) override;

  private:
    SettingSource &defaults_;
    Log &log_;
    std::unique_ptr<NominatimGeocoder> nominatim_;
    std::string endpoint_; // as stored, for the one nominatim_ serves
    NoGeocoder none_;
    bool toldNone_ = false;
};

} // namespace byteward
