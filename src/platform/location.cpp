#include "platform/location.h"

#include <algorithm>
#include <vector>

namespace byteward {

namespace {

struct PendingLookup {
    ReverseGeocoder *geocoder;
    Coordinate coordinate;
    LocationDelegate *delegate;
};

} // namespace

struct DeferredGeocoders::State {
    PlaceLookup &lookup;
    std::vector<PendingLookup> pending;

    void cancel(ReverseGeocoder *geocoder) {
        std::erase_if(pending,
                      [geocoder](const PendingLookup &p) { return p.geocoder == geocoder; });
    }
};

namespace {

// Shares the queue's state so that a geocoder outliving its service is still safe to destroy.
class DeferredGeocoder final : public ReverseGeocoder {
  public:
    explicit DeferredGeocoder(std::shared_ptr<DeferredGeocoders::State> state)
        : state_(std::move(state)) {}
    ~DeferredGeocoder() override { state_->cancel(this); }

    void start(const Coordinate &coordinate, LocationDelegate &delegate) override {
        // A restart supersedes the lookup that has not run yet.
        state_->cancel(this);
        state_->pending.push_back({this, coordinate, &delegate});
    }

  private:
    std::shared_ptr<DeferredGeocoders::State> state_;
};

} // namespace

DeferredGeocoders::DeferredGeocoders(PlaceLookup &lookup)
    : state_(std::make_shared<State>(State{lookup, {}})) {
}

DeferredGeocoders::~DeferredGeocoders() {
    // The lookup may go before geocoders still held elsewhere; they must not reach it.
    state_->pending.clear();
}

std::unique_ptr<ReverseGeocoder> DeferredGeocoders::make() {
    return std::make_unique<DeferredGeocoder>(state_);
}

bool DeferredGeocoders::pending() const {
    return !state_->pending.empty();
}

void DeferredGeocoders::answerPending() {
    // One at a time from the front: a delegate may start or destroy geocoders while answered.
    while (!state_->pending.empty()) {
        const PendingLookup next = state_->pending.front();
        state_->pending.erase(state_->pending.begin());
        const PlaceLookup::Answer answer = state_->lookup.lookup(next.coordinate);
        if (answer.placemark)
            next.delegate->reverseGeocoder(*next.geocoder, *answer.placemark);
        else
            next.delegate->reverseGeocoder(*next.geocoder, answer.error);
    }
}

} // namespace byteward
