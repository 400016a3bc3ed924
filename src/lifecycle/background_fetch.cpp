// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "lifecycle/background_fetch.h"

#include "model/update_cycle.h"

namespace byteward {

long long performBackgroundFetch(Services &services, LocationService *location) {
    // A wake-up takes two samples, one for each dashboard it refreshes; the badge shows the
    // first one's figure.
    std::optional<float> badge;
    for (int pass = 0; pass < 2; ++pass) {
        UpdateCycle cycle(services, location);
        (void)cycle.sample(); // failures are noted where they happen
        if (pass == 0) badge = cycle.appBadgeNumber;
    }

    AppSettings settings(services);
    settings.getSettings();
    if (AppSettings::text(settings.appBadgeSetting) == "BILLINGRESET" || !badge) return 0;
    return static_cast<long long>(*badge);
}

} // namespace byteward
