// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/location.h"
#include "storage/services.h"

namespace byteward {

// What a background wake-up does: two samples, as rendering both dashboards took them (each runs
// an update cycle and publishes both types' figures), without any screen; answers the figure to
// put on the icon badge: the first sample's badge figure, or 0 when the badge shows the billing
// reset or there is no figure.
long long performBackgroundFetch(Services &services, LocationService *location = nullptr);

} // namespace byteward
