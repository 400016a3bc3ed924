// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/nominatim_geocoder.h"

#include "byteward_version.h"
#include "platform/http_getter.h"
#include "platform/module.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <thread>
#include <tuple>

namespace byteward {

namespace {

// A reverse answer is a few kilobytes; anything far larger is not Nominatim.
constexpr std::size_t kMaximumAnswer = std::size_t{256} * 1024;
constexpr std::size_t kMaximumCached = 512;

// Nominatim names the settlement after its size, the region after the country's divisions.
constexpr const char *kLocalityKeys[] = {"city",         "town",   "village", "hamlet",
                                         "municipality", "suburb", "county",  "city_district"};
constexpr const char *kAreaKeys[] = {"state",          "province", "region",
                                     "state_district", "county",   "country"};

// The first named level of `keys`, and which level it was.
std::pair<std::string, std::string_view> firstOf(const nlohmann::json &address, const auto &keys,
                                                 std::string_view skipKey = {}) {
    for (const char *key : keys) {
        if (key == skipKey) continue;
        const auto found = address.find(key);
        if (found == address.end() || !found->is_string()) continue;
        std::string text = found->get<std::string>();
        if (!text.empty()) return {std::move(text), key};
    }
    return {};
}

std::pair<long, long> cacheKey(const Coordinate &coordinate) {
    return {std::lround(coordinate.latitude * 100), std::lround(coordinate.longitude * 100)};
}

} // namespace

PlaceLookup::Answer placemarkFromNominatim(std::string_view json) {
    const nlohmann::json answer = nlohmann::json::parse(json, nullptr, false);
    if (answer.is_discarded() || !answer.is_object()) return {std::nullopt, "not a JSON object"};
    if (const auto error = answer.find("error"); error != answer.end())
        return {std::nullopt, error->is_string() ? error->get<std::string>() : error->dump()};
    const auto address = answer.find("address");
    if (address == answer.end() || !address->is_object()) return {std::nullopt, "no address"};
    Placemark place;
    std::string_view localityKey;
    std::tie(place.locality, localityKey) = firstOf(*address, kLocalityKeys);
    // A county that already named the place does not name its region as well.
    place.administrativeArea = firstOf(*address, kAreaKeys, localityKey).first;
    // "Town, " or ", Region" would be stored as if it were a place.
    if (place.locality.empty() || place.administrativeArea.empty())
        return {std::nullopt, "no town and region here"};
    return {place, {}};
}

NominatimGeocoder::NominatimGeocoder(Log &log, Options options)
    : log_(log), options_(std::move(options)) {
    while (!options_.endpoint.empty() && options_.endpoint.back() == '/')
        options_.endpoint.pop_back();
    if (options_.userAgent.empty())
        options_.userAgent = std::string("Byteward/") + kVersion + " (Linux data usage monitor)";
}

NominatimGeocoder::~NominatimGeocoder() = default;

std::string NominatimGeocoder::requestUrl(const Coordinate &coordinate) const {
    // zoom 10 asks for the town level; finer detail would not be shown anyway.
    char query[160];
    std::snprintf(query, sizeof query, "/reverse?format=jsonv2&lat=%.5f&lon=%.5f&zoom=10",
                  coordinate.latitude, coordinate.longitude);
    return options_.endpoint + query;
}

void NominatimGeocoder::failed(const std::string &reason) {
    if (reason == lastFailure_) return;
    lastFailure_ = reason;
    log_.line("Reverse geocoding failed (" + reason + "); the place is recorded as Unknown");
}

PlaceLookup::Started NominatimGeocoder::begin(const Coordinate &coordinate) {
    if (!std::isfinite(coordinate.latitude) || !std::isfinite(coordinate.longitude) ||
        std::abs(coordinate.latitude) > 90 || std::abs(coordinate.longitude) > 180)
        return {Answer{std::nullopt, "not a coordinate"}, {}};
    if (const auto cached = cache_.find(cacheKey(coordinate)); cached != cache_.end())
        return {Answer{cached->second, {}}, {}};
    // Everything the request needs is copied: it may run on another thread.
    Request request{requestUrl(coordinate), options_.endpoint, options_.userAgent, options_.timeout,
                    nextTurn()};
    return {std::nullopt, [this, coordinate, request] {
                std::this_thread::sleep_until(request.notBefore);
                const Answer fetched = fetch(request);
                const auto finished = std::chrono::steady_clock::now();
                return std::function<Answer()>([this, coordinate, fetched, finished] {
                    // The pace counts from the end of this request, so that however long the
                    // connection took, the server never sees two closer than it asks.
                    lastRequest_ = std::max(lastRequest_, finished);
                    return remember(coordinate, fetched);
                });
            }};
}

PlaceLookup::Answer NominatimGeocoder::remember(const Coordinate &coordinate, Answer answer) {
    if (!answer.placemark) {
        failed(answer.error);
        return answer;
    }
    lastFailure_.clear();
    if (cache_.size() >= kMaximumCached) cache_.clear();
    cache_.emplace(cacheKey(coordinate), *answer.placemark);
    return answer;
}

std::chrono::steady_clock::time_point NominatimGeocoder::nextTurn() {
    // Reserved now, kept by the request: lookups queued one after the other stay a second apart.
    auto turn = std::chrono::steady_clock::now();
    if (requestedBefore_) turn = std::max(turn, lastRequest_ + options_.minimumInterval);
    requestedBefore_ = true;
    lastRequest_ = turn;
    return turn;
}

PlaceLookup::Answer NominatimGeocoder::fetch(const Request &request) {
    std::string error;
    const HttpGetter *http = moduleInterface<HttpGetter>(kHttpModule, kHttpGetterFactory, error);
    if (http == nullptr) return {std::nullopt, error};
    const HttpResponse response =
        http->get({request.url, request.userAgent, request.timeout, kMaximumAnswer});
    if (!response.error.empty()) return {std::nullopt, request.endpoint + ": " + response.error};
    if (response.status != 200)
        return {std::nullopt,
                request.endpoint + " answered HTTP " + std::to_string(response.status)};
    Answer answer = placemarkFromNominatim(response.body);
    if (!answer.placemark) answer.error = request.endpoint + ": " + answer.error;
    return answer;
}

ConfiguredGeocoder::ConfiguredGeocoder(SettingSource &defaults, Log &log)
    : defaults_(defaults), log_(log) {
}

ConfiguredGeocoder::~ConfiguredGeocoder() = default;

PlaceLookup::Started ConfiguredGeocoder::begin(const Coordinate &coordinate) {
    const auto stored = defaults_.objectForKey(kEndpointKey);
    const std::string endpoint =
        stored ? stored->stringValue() : std::string(NominatimGeocoder::kDefaultEndpoint);
    if (endpoint.empty() || endpoint == "none") {
        if (!toldNone_)
            log_.line(std::string("No reverse geocoder (") + kEndpointKey +
                      " is none); places are recorded as Unknown");
        toldNone_ = true;
        return {none_.lookup(coordinate), {}};
    }
    toldNone_ = false;
    // The same server keeps its cache and its pace.
    if (!nominatim_ || endpoint_ != endpoint) {
        NominatimGeocoder::Options options;
        options.endpoint = endpoint;
        nominatim_ = std::make_unique<NominatimGeocoder>(log_, options);
        endpoint_ = endpoint;
    }
    return nominatim_->begin(coordinate);
}

} // namespace byteward
