// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "lifecycle/sampler_daemon.h"

#include "byteward_version.h"
#include "lifecycle/background_fetch.h"
#include "model/app_settings.h"
#include "model/communications.h"
#include "model/update_cycle.h"
#include "model/usage_metrics.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

namespace byteward {

namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

} // namespace

StopSignals::StopSignals() {
    const sigset_t set = stopSignalSet();
    if (const int error = pthread_sigmask(SIG_BLOCK, &set, &previousMask_); error != 0)
        throw std::system_error(error, std::generic_category(), "cannot block the stop signals");
    fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) {
        const int error = errno;
        pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        throw std::system_error(error, std::generic_category(), "cannot receive the stop signals");
    }
}

StopSignals::~StopSignals() {
    // A request that was already answered must not take its default effect once unblocked.
    signalfd_siginfo pending[4];
    while (::read(fd_, pending, sizeof pending) > 0) {
    }
    ::close(fd_);
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

SamplerDaemon::SamplerDaemon(Services &services, NotificationSink &sink, PowerEvents &power,
                             milliseconds interval, int stopFd, LocationService *location)
    : services_(services), sink_(sink), power_(power), interval_(interval), stopFd_(stopFd),
      location_(location) {
    if (location_ != nullptr)
        locationController_ = std::make_unique<UpdateCycle>(services_, location_);
}

SamplerDaemon::~SamplerDaemon() = default;

int SamplerDaemon::run() {
    char every[64];
    std::snprintf(every, sizeof every, "Sampling in the background every %g s",
                  std::chrono::duration<double>(interval_).count());
    services_.log.line(every);
    power_.takeDelayLock();
    // The first read also subscribes to the services' announcements.
    services_.network.state();
    sample();
    do {
        power_.dispatch([this](const PowerEvent &event) { onPowerEvent(event); });
        dispatchLocation();
        followNetworkServices();
        if (SteadyClock::now() >= nextTick_)
            sample();
        else
            deliver();
        // Also drains what the notification server said during the delivery.
        followNotificationActions();
    } while (wait());
    // Whatever moved since the last tick is counted before we go.
    sample();
    if (locationController_) locationController_->stopSignificantChangesUpdate();
    power_.releaseDelayLock();
    services_.log.line("Background sampling stopped");
    return exitStatus_;
}

void SamplerDaemon::sample() {
    // The settings file is looked at once for the whole sample, the metrics included.
    const UserDefaultsReadHold hold(services_.defaults);
    const UserDefaultsReadHold widgetHold(services_.widgetDefaults);
    std::optional<LocalNotification> badge;
    try {
        const bool enabled = backgroundingEnabled();
        // The badge's notification is due at once and we deliver it below: it need not pass
        // through the schedule's file.
        if (enabled)
            badge = Communications::badgeNotification(services_, performBackgroundFetch(services_));
        followBackgroundingSwitch(enabled);
    } catch (const std::exception &error) {
        // Another process holding the data lock too long, say; the next tick tries again.
        services_.log.line(std::string("Background sample failed: ") + error.what());
    }
    publishMetrics();
    // Counted from the end, so a slow sample is not followed by another at once.
    nextTick_ = SteadyClock::now() + interval_;
    deliver(std::move(badge));
}

// Rendered here, once a sample, so that a scrape only copies text and never waits for the
// records or their lock.
void SamplerDaemon::publishMetrics() {
    if (!metricsSink_) return;
    try {
        metricsSink_(metricsText(readUsageMetrics(services_, kVersion)));
    } catch (const std::exception &error) {
        services_.log.line(std::string("Metrics not updated: ") + error.what());
    }
}

// As a background fetch does: monitoring runs while backgrounding is on.
void SamplerDaemon::followBackgroundingSwitch(bool enabled) {
    if (!locationController_) return;
    if (enabled)
        locationController_->startSignificantChangesUpdate();
    else
        locationController_->stopSignificantChangesUpdate();
}

void SamplerDaemon::dispatchLocation() {
    if (location_ == nullptr) return;
    try {
        // Fixes and geocoding answers; an answer runs an update cycle.
        location_->dispatch();
    } catch (const std::exception &error) {
        services_.log.line(std::string("Location update failed: ") + error.what());
    }
}

// The traffic so far belongs to the old state (the bearer that just went, the SIM before the
// switch), so it is counted before the services are read again.
void SamplerDaemon::followNotificationActions() {
    for (const std::string &action : sink_.takeInvokedActions()) {
        if (action != UpdateCycle::kCellularOnAction) continue;
        const std::string failed = services_.network.reconnectCellular();
        services_.log.line(failed.empty()
                               ? "Cellular data turned on again from the notification"
                               : "Cellular data could not be turned on again: " + failed);
    }
}

void SamplerDaemon::followNetworkServices() {
    if (!services_.network.takeAnnouncements()) return;
    sample();
    services_.network.refresh();
}

void SamplerDaemon::deliver(std::optional<LocalNotification> badge) {
    try {
        if (badge)
            services_.notifications.deliverDueNotifications(sink_, std::move(*badge));
        else
            services_.notifications.deliverDueNotifications(sink_);
    } catch (const std::exception &error) {
        services_.log.line(std::string("Delivering notifications failed: ") + error.what());
    }
}

bool SamplerDaemon::backgroundingEnabled() const {
    AppSettings settings(services_);
    settings.getSettings();
    // A switch never stored counts as on.
    return !settings.enableBackgrounding || settings.enableBackgrounding->boolValue();
}

void SamplerDaemon::onPowerEvent(const PowerEvent &event) {
    if (event.starting) {
        sample();
        power_.releaseDelayLock();
        return;
    }
    power_.takeDelayLock();
    // The counters went on while we were frozen.
    if (event.kind == PowerEvent::Kind::Sleep) sample();
}

bool SamplerDaemon::wait() {
    const auto untilTick = std::chrono::ceil<milliseconds>(nextTick_ - SteadyClock::now());
    std::optional<Instant> nextFireDate;
    try {
        nextFireDate = services_.notifications.nextFireDate();
    } catch (const std::exception &) {
        // An unreadable schedule has nothing to wait for; the tick retries it.
    }
    const milliseconds timeout = timeUntilWake(untilTick, nextFireDate, services_.clock.now());

    const int locationFd = location_ != nullptr ? location_->pollFd() : -1;
    pollfd fds[] = {{stopFd_, POLLIN, 0},
                    {power_.pollFd(), POLLIN, 0},
                    {locationFd, POLLIN, 0},
                    {services_.network.pollFd(), POLLIN, 0},
                    {sink_.actionFd(), POLLIN, 0}};
    const int ready =
        ::poll(fds, 5, static_cast<int>(std::min<milliseconds::rep>(timeout.count(), INT_MAX)));
    if (ready < 0) {
        if (errno == EINTR) return true;
        services_.log.line(std::string("Background sampling cannot wait: ") + std::strerror(errno));
        exitStatus_ = 1;
        return false;
    }
    if (fds[0].revents == 0) return true;
    // One read takes what is pending; more requests than one still mean one last sample.
    signalfd_siginfo requests[4];
    [[maybe_unused]] const ssize_t drained = ::read(stopFd_, requests, sizeof requests);
    return false;
}

milliseconds timeUntilWake(milliseconds untilTick, std::optional<Instant> nextFireDate,
                           Instant now) {
    milliseconds wait = std::max(untilTick, milliseconds(0));
    // Rounded up: waking a little before the date would find nothing due and wait again.
    if (nextFireDate && *nextFireDate > now)
        wait = std::min(wait, std::chrono::ceil<milliseconds>(*nextFireDate - now));
    return wait;
}

} // namespace byteward
