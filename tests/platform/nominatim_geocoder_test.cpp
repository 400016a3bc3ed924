// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/location_fakes.h"
#include "platform/nominatim_geocoder.h"
#include "support/test_env.h"

#include <gtest/gtest.h>

namespace byteward {
namespace {

using namespace std::chrono_literals;
using test::FakeNominatim;

TEST(NominatimAnswer, NamesTheClosestSettlementAndItsRegion) {
    struct Case {
        const char *name;
        const char *json;
        const char *locality; // empty: the lookup fails
        const char *area;
    } cases[] = {
        {"city and state", R"({"address":{"city":"Graz","state":"Styria","country":"AT"}})", "Graz",
         "Styria"},
        {"town before village", R"({"address":{"village":"V","town":"T","state":"S"}})", "T", "S"},
        {"no state: the county is the region",
         R"({"address":{"village":"Hope","county":"Kent","country":"UK"}})", "Hope", "Kent"},
        {"a county that named the place is skipped for the region",
         R"({"address":{"county":"Kent","country":"United Kingdom"}})", "Kent", "United Kingdom"},
        {"city state: the country is the region",
         R"({"address":{"city":"Singapore","country":"Singapore"}})", "Singapore", "Singapore"},
        {"nothing but a country", R"({"address":{"country":"Atlantis"}})", "", ""},
        {"the server's own error", R"({"error":"Unable to geocode"})", "", ""},
        {"no address", R"({"display_name":"x"})", "", ""},
        {"numbers where names belong", R"({"address":{"city":7,"state":true}})", "", ""},
        {"an array", "[1,2]", "", ""},
        {"not JSON", "<html>", "", ""},
        {"cut short", R"({"address":{"city":"Gr)", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PlaceLookup::Answer answer = placemarkFromNominatim(c.json);
        if (*c.locality == '\0') {
            EXPECT_FALSE(answer.placemark);
            EXPECT_FALSE(answer.error.empty()) << "a failure says why";
            continue;
        }
        ASSERT_TRUE(answer.placemark) << answer.error;
        EXPECT_EQ(answer.placemark->locality, c.locality);
        EXPECT_EQ(answer.placemark->administrativeArea, c.area);
    }
}

struct Server {
    explicit Server(int status = 200, std::string body = test::nominatimAnswer("Town", "Region"))
        : nominatim([this](const std::string &) {
              return std::pair{status_, body_};
          }),
          status_(status), body_(std::move(body)) {}
    FakeNominatim nominatim;
    int status_;
    std::string body_;
};

NominatimGeocoder::Options options(const std::string &endpoint, std::chrono::milliseconds gap) {
    NominatimGeocoder::Options options;
    options.endpoint = endpoint;
    options.minimumInterval = gap;
    options.timeout = 5000ms;
    return options;
}

NominatimGeocoder::Options fast(const std::string &endpoint) {
    return options(endpoint, 0ms);
}

TEST(NominatimGeocoder, AsksTheServerForTheTownLevelAndSaysWhoItIs) {
    Server server;
    test::CapturingLog log;
    NominatimGeocoder geocoder(log, fast(server.nominatim.endpoint() + "/"));
    const auto answer = geocoder.lookup({48.20849, 16.37208});
    ASSERT_TRUE(answer.placemark) << answer.error;
    EXPECT_EQ(answer.placemark->locality, "Town");
    const auto requests = server.nominatim.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/reverse?format=jsonv2&lat=48.20849&lon=16.37208&zoom=10");
    EXPECT_EQ(requests[0].userAgent.rfind("Byteward/", 0), 0u) << requests[0].userAgent;
}

TEST(NominatimGeocoder, FailuresAreLookupFailuresToldOncePerReason) {
    struct Case {
        const char *name;
        int status;
        std::string body;
        const char *logged;
    } cases[] = {
        {"server error", 500, "{}", "HTTP 500"},
        {"rate limited", 429, "{}", "HTTP 429"},
        {"not an answer", 200, "<html>", "not a JSON object"},
        {"endless answer", 200, std::string(std::size_t{2} * 1024 * 1024, ' '),
         "Reverse geocoding failed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Server server(c.status, c.body);
        test::CapturingLog log;
        NominatimGeocoder geocoder(log, fast(server.nominatim.endpoint()));
        EXPECT_FALSE(geocoder.lookup({1, 1}).placemark);
        EXPECT_FALSE(geocoder.lookup({1, 1}).placemark) << "failures are not cached as places";
        EXPECT_EQ(server.nominatim.requests().size(), 2u);
        ASSERT_EQ(log.lines.size(), 1u) << "the same failure is logged once";
        EXPECT_TRUE(log.contains(c.logged)) << log.lines[0];
    }
}

TEST(NominatimGeocoder, NoServerIsAFailedLookupNotAnError) {
    test::CapturingLog log;
    std::string endpoint;
    {
        Server gone;
        endpoint = gone.nominatim.endpoint();
    }
    NominatimGeocoder geocoder(log, fast(endpoint));
    const auto answer = geocoder.lookup({1, 1});
    EXPECT_FALSE(answer.placemark);
    EXPECT_TRUE(log.contains("Reverse geocoding failed"));
    EXPECT_FALSE(geocoder.lookup({400, 1}).placemark) << "not a coordinate";
}

TEST(NominatimGeocoder, CachesByRoundedCoordinateAndKeepsToOneRequestASecond) {
    Server server;
    test::CapturingLog log;
    NominatimGeocoder geocoder(log, options(server.nominatim.endpoint(), 300ms));
    ASSERT_TRUE(geocoder.lookup({48.2001, 16.3701}).placemark);
    ASSERT_TRUE(geocoder.lookup({48.2004, 16.3699}).placemark) << "cached";
    ASSERT_EQ(server.nominatim.requests().size(), 1u) << "a few metres away is the same town";
    ASSERT_TRUE(geocoder.lookup({47.07, 15.44}).placemark);
    const auto requests = server.nominatim.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_GE(requests[1].at - requests[0].at, 300ms) << "requests are spaced out";
}

TEST(ConfiguredGeocoder, FollowsTheSettingAtEveryLookup) {
    Server server;
    test::TestEnv env;
    ConfiguredGeocoder geocoder(env.defaults(), env.log);
    env.defaults().setObject(ConfiguredGeocoder::kEndpointKey, Value(std::string("none")));
    EXPECT_FALSE(geocoder.lookup({1, 1}).placemark);
    EXPECT_FALSE(geocoder.lookup({2, 2}).placemark);
    EXPECT_TRUE(env.log.contains("No reverse geocoder"));
    EXPECT_EQ(env.log.lines.size(), 1u) << "told once";
    EXPECT_TRUE(server.nominatim.requests().empty());

    env.defaults().setObject(ConfiguredGeocoder::kEndpointKey, Value(server.nominatim.endpoint()));
    const auto answer = geocoder.lookup({1, 1});
    ASSERT_TRUE(answer.placemark) << answer.error;
    EXPECT_EQ(server.nominatim.requests().size(), 1u);
}

// Records the answers a geocoder's delegate receives.
class Answers final : public LocationDelegate {
  public:
    void locationManager(LocationService &, const Location &, const Location *) override {}
    void locationManager(LocationService &, const std::string &) override {}
    void reverseGeocoder(ReverseGeocoder &, const Placemark &placemark) override {
        got.push_back(placemark.locality);
    }
    void reverseGeocoder(ReverseGeocoder &, const std::string &error) override {
        got.push_back("failed: " + error);
    }
    std::vector<std::string> got;
};

// Names the coordinate it was asked about.
class EchoLookup final : public PlaceLookup {
  public:
    Answer lookup(const Coordinate &c) override {
        if (c.latitude < 0) return {std::nullopt, "south"};
        return {Placemark{std::to_string(static_cast<int>(c.latitude)), "R"}, {}};
    }
};

TEST(DeferredGeocoders, EachGeocoderAnswersItsLatestStartOnce) {
    EchoLookup lookup;
    DeferredGeocoders geocoders(lookup);
    Answers delegate;
    auto first = geocoders.make();
    auto second = geocoders.make();
    first->start({1, 0}, delegate);
    EXPECT_TRUE(delegate.got.empty()) << "nothing is answered before the loop runs";
    first->start({2, 0}, delegate);
    second->start({-3, 0}, delegate);
    auto dropped = geocoders.make();
    dropped->start({4, 0}, delegate);
    dropped.reset();
    geocoders.answerPending();
    EXPECT_EQ(delegate.got, (std::vector<std::string>{"2", "failed: south"}));
    geocoders.answerPending();
    EXPECT_EQ(delegate.got.size(), 2u) << "an answer is given once";
}

} // namespace
} // namespace byteward
