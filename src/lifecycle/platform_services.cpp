// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "lifecycle/platform_services.h"

#include "platform/dbus_network_services.h"

#include <cstdlib>
#include <string_view>

namespace byteward {

PlatformServices::PlatformServices(bool verbose)
    : log_(verbose), boot_(log_), paths_(Paths::fromEnvironment()) {
    std::string error;
    clock_ = SystemClock::fromEnvironment(calendar_, error);
    if (!clock_) throw std::runtime_error(error);
    defaults_ =
        std::make_unique<PlistUserDefaults>(paths_.configDir, paths_.dataDir, log_, &*clock_);
    widgetDefaults_ = std::make_unique<PlistUserDefaults>(
        paths_.configDir, paths_.dataDir, log_, &*clock_, PlistUserDefaults::kWidgetSuite);
    notifications_ = std::make_unique<NotificationSchedule>(paths_, log_, *clock_, calendar_);
    analytics_ = std::make_unique<AnalyticsLog>(paths_, *clock_);
    // "none": the interface rules alone, whatever runs on the system bus.
    const char *network = std::getenv("BYTEWARD_NETWORK_SERVICES");
    if (network != nullptr && std::string_view(network) == "none")
        network_ = std::make_unique<NoNetworkServices>();
    else
        network_ = std::make_unique<DBusNetworkServices>(log_);
    services_ = std::make_unique<Services>(Services{*clock_, statistics_, boot_, calendar_,
                                                    *defaults_, log_, paths_, *notifications_,
                                                    *widgetDefaults_, *network_});
}

} // namespace byteward
