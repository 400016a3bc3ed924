// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "lifecycle/background_fetch.h"

#include "model/update_cycle.h"

namespace byteward {

long long performBackgroundFetch(Services &services, LocationService *location) {
    const UserDefaultsReadHold hold(services.defaults);
    // A wake-up refreshes both dashboards. One cycle serves both: a second one, milliseconds
    // later, would find the same counters and write the records again, so they are stored as it
    // would have left them. Each refresh still publishes both types' figures; the badge shows the
    // first one's figure.
    UpdateCycle cycle(services, location);
    for (const DataType type : kDataTypes)
        cycle.record(type).storeAsUpdatedAgain = true;
    (void)cycle.sample(); // failures are noted where they happen
    const std::optional<float> badge = cycle.appBadgeNumber;
    cycle.appBadgeNumber.reset();
    cycle.publishFigures();

    // The cycle's settings: within the hold, a fresh read would find the same file.
    if (AppSettings::text(cycle.settings().appBadgeSetting) == "BILLINGRESET" || !badge) return 0;
    return static_cast<long long>(*badge);
}

} // namespace byteward
