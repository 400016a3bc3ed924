// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/log.h"

#include <functional>
#include <memory>
#include <string>

namespace byteward {

// A sleep or shutdown announcement from the login manager.
struct PowerEvent {
    enum class Kind { Sleep, Shutdown };
    Kind kind = Kind::Sleep;
    // true: about to happen; false: back from sleep, or the shutdown was called off
    bool starting = true;

    bool operator==(const PowerEvent &) const = default;
};

// The system's sleep and shutdown announcements, and a delay lock that holds them back until we
// have taken a last sample. The logind implementation lives beside this; tests script their own.
class PowerEvents {
  public:
    virtual ~PowerEvents() = default;
    // Holds sleep and shutdown back until released (for as long as the system allows). True when
    // the lock is held, also when it already was.
    virtual bool takeDelayLock() = 0;
    virtual void releaseDelayLock() = 0;
    // Turns readable when announcements wait for dispatch; -1 when none can ever come.
    virtual int pollFd() const = 0;
    // Hands every announcement that has arrived to `handler`, oldest first, without waiting.
    virtual void dispatch(const std::function<void(const PowerEvent &)> &handler) = 0;
};

// org.freedesktop.login1 on the system bus: a "delay" inhibitor for "shutdown:sleep", and the
// PrepareForSleep and PrepareForShutdown signals. Without a system bus or logind there is no lock
// and no announcement; that is logged once and nothing else changes. Never throws, and no call
// waits longer than a couple of seconds.
class LogindPowerEvents final : public PowerEvents {
  public:
    explicit LogindPowerEvents(Log &log);
    ~LogindPowerEvents() override;
    LogindPowerEvents(const LogindPowerEvents &) = delete;
    LogindPowerEvents &operator=(const LogindPowerEvents &) = delete;

    bool takeDelayLock() override;
    void releaseDelayLock() override;
    int pollFd() const override;
    void dispatch(const std::function<void(const PowerEvent &)> &handler) override;

  private:
    struct Bus;
    void failed(const std::string &reason);

    Log &log_;
    std::unique_ptr<Bus> bus_;
    std::string lastFailure_;
};

} // namespace byteward
