#pragma once

#include "platform/services.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace byteward::cli {

// A failure to report to the user: exit status 1 with the message.
class Failure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The real platform services of one bytewardctl run.
class Context {
  public:
    explicit Context(bool verbose);

    Services &services() { return *services_; }
    Log &log() { return log_; }
    const Calendar &calendar() const { return calendar_; }

  private:
    SystemLog log_;
    IcuCalendar calendar_;
    std::optional<SystemClock> clock_;
    SysfsNetworkStatistics statistics_;
    ProcBootClock boot_;
    Paths paths_;
    std::unique_ptr<PlistUserDefaults> defaults_;
    std::unique_ptr<PlistUserDefaults> widgetDefaults_;
    std::unique_ptr<NotificationCenter> notifications_;
    std::unique_ptr<Services> services_;
};

} // namespace byteward::cli
