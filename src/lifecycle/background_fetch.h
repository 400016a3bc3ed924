// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/location.h"
#include "storage/services.h"

namespace byteward {

// What a background wake-up does, without any screen: what rendering both dashboards left (an
// update cycle, and both types' figures published once per dashboard); answers the figure to put
// on the icon badge: the first refresh's badge figure, or 0 when the badge shows the billing
// reset or there is no figure.
long long performBackgroundFetch(Services &services, LocationService *location = nullptr);

} // namespace byteward
