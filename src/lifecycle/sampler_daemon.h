// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/location.h"
#include "platform/logind.h"
#include "storage/notification_schedule.h"
#include "storage/services.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <signal.h>

namespace byteward {

class UpdateCycle;

// Blocks SIGTERM and SIGINT in the calling thread, and in the threads it starts afterwards, and
// hands them out through a descriptor instead: a stop request that comes while a sample runs
// neither cuts it short nor gets lost. Create it before any other thread exists.
class StopSignals {
  public:
    StopSignals(); // throws std::system_error when the descriptor cannot be made
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // Readable once a stop signal is pending.
    int fd() const { return fd_; }

  private:
    sigset_t previousMask_;
    int fd_ = -1;
};

// The background sampler, in place of the phone's background fetch: a sample at every tick and
// before every sleep and shutdown, notifications delivered as they fall due, and a last sample
// when asked to stop. A sample is what a background fetch does (an update cycle and the badge
// figure), followed by posting the badge and delivering what is due; it is skipped, all but the
// delivery, while the user has switched backgrounding off. With a location service it also owns
// location monitoring while backgrounding is on: each fix's place makes one more update cycle.
// When the network services announce a change, it samples under the old state, then reads the new.
class SamplerDaemon {
  public:
    // `stopFd` turning readable (a StopSignals descriptor, or any pipe) asks for the last sample.
    // `location` may be null: no location wake-ups.
    SamplerDaemon(Services &services, NotificationSink &sink, PowerEvents &power,
                  std::chrono::milliseconds interval, int stopFd,
                  LocationService *location = nullptr);
    ~SamplerDaemon();

    // Samples until asked to stop; answers the exit status.
    int run();

    // Called on the daemon's thread after every sample with the figures for monitoring systems
    // (see metricsText), rendered from the records as that sample left them.
    using MetricsSink = std::function<void(const std::string &text)>;
    void setMetricsSink(MetricsSink sink) { metricsSink_ = std::move(sink); }

  private:
    void sample();
    void publishMetrics();
    // Delivers what is due, and the badge notification of a sample if there is one.
    void deliver(std::optional<LocalNotification> badge = std::nullopt);
    bool backgroundingEnabled() const;
    void onPowerEvent(const PowerEvent &event);
    void followBackgroundingSwitch(bool enabled);
    void dispatchLocation();
    void followNetworkServices();
    // Carries out the actions chosen on notifications: turning cellular data on again.
    void followNotificationActions();
    // Waits for the next tick, a notification falling due, an announcement or a stop request.
    // False when asked to stop.
    bool wait();

    Services &services_;
    NotificationSink &sink_;
    PowerEvents &power_;
    std::chrono::milliseconds interval_;
    int stopFd_;
    LocationService *location_;
    // The controller that receives fixes and geocoding answers, as the app's hidden one does.
    std::unique_ptr<UpdateCycle> locationController_;
    std::chrono::steady_clock::time_point nextTick_;
    int exitStatus_ = 0;
    MetricsSink metricsSink_;
};

// How long to wait: until the next tick, or until the next notification falls due when that comes
// sooner. A notification that is already due is not waited for: delivering it has just been
// tried, and waking for it again at once would spin.
std::chrono::milliseconds timeUntilWake(std::chrono::milliseconds untilTick,
                                        std::optional<Instant> nextFireDate, Instant now);

} // namespace byteward
