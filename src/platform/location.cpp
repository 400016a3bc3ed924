// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/location.h"

#include <algorithm>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>
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
    // The lookup the worker is on; its geocoder is cleared when nobody wants the answer any more.
    std::optional<PendingLookup> inFlight;

    void cancel(ReverseGeocoder *geocoder) {
        std::erase_if(pending,
                      [geocoder](const PendingLookup &p) { return p.geocoder == geocoder; });
        if (inFlight && inFlight->geocoder == geocoder) inFlight->geocoder = nullptr;
    }
};

namespace {

void deliver(const PendingLookup &to, const PlaceLookup::Answer &answer) {
    if (answer.placemark)
        to.delegate->reverseGeocoder(*to.geocoder, *answer.placemark);
    else
        to.delegate->reverseGeocoder(*to.geocoder, answer.error);
}

} // namespace

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

DeferredGeocoders::DeferredGeocoders(PlaceLookup &lookup, bool inBackground)
    : state_(std::make_shared<State>(State{lookup, {}, {}})), inBackground_(inBackground) {
    if (inBackground_) wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    // Without a descriptor to wake on, lookups stay on the owner's thread.
    if (wakeFd_ < 0) inBackground_ = false;
}

DeferredGeocoders::~DeferredGeocoders() {
    // The worker only waits on the network, bounded by the backend's timeout.
    if (worker_.joinable()) worker_.join();
    if (wakeFd_ >= 0) ::close(wakeFd_);
    // The lookup may go before geocoders still held elsewhere; they must not reach it.
    state_->pending.clear();
    state_->inFlight.reset();
}

std::unique_ptr<ReverseGeocoder> DeferredGeocoders::make() {
    return std::make_unique<DeferredGeocoder>(state_);
}

bool DeferredGeocoders::pending() const {
    return !state_->pending.empty();
}

int DeferredGeocoders::busyFd() const {
    return worker_.joinable() ? wakeFd_ : -1;
}

void DeferredGeocoders::answerPending() {
    if (inBackground_) {
        collectFinished();
        startNext();
        return;
    }
    // One at a time from the front: a delegate may start or destroy geocoders while answered.
    while (!state_->pending.empty()) {
        const PendingLookup next = state_->pending.front();
        state_->pending.erase(state_->pending.begin());
        deliver(next, state_->lookup.lookup(next.coordinate));
    }
}

void DeferredGeocoders::collectFinished() {
    std::uint64_t wakes = 0;
    if (!worker_.joinable() || ::read(wakeFd_, &wakes, sizeof wakes) != sizeof wakes) return;
    worker_.join(); // also makes what the worker wrote visible here
    const PlaceLookup::Answer answer = std::exchange(finish_, {})();
    const PendingLookup done = *std::exchange(state_->inFlight, std::nullopt);
    if (done.geocoder != nullptr) deliver(done, answer);
}

void DeferredGeocoders::startNext() {
    while (!worker_.joinable() && !state_->pending.empty()) {
        const PendingLookup next = state_->pending.front();
        state_->pending.erase(state_->pending.begin());
        PlaceLookup::Started started = state_->lookup.begin(next.coordinate);
        if (started.answer) {
            deliver(next, *started.answer);
            continue;
        }
        state_->inFlight = next;
        worker_ = std::thread([this, fetch = std::move(started.fetch)] {
            try {
                finish_ = fetch();
            } catch (const std::exception &error) {
                finish_ = [why = std::string(error.what())] {
                    return PlaceLookup::Answer{std::nullopt, why};
                };
            }
            const std::uint64_t one = 1;
            (void)!::write(wakeFd_, &one, sizeof one);
        });
    }
}

} // namespace byteward
