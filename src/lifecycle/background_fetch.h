#pragma once

#include "platform/location.h"
#include "storage/services.h"

namespace byteward {

// What a background wake-up does: renders both dashboards (each render runs an update cycle)
// and answers the figure to put on the icon badge: the cellular dashboard's badge figure, or 0
// when the badge shows the billing reset or there is no figure.
long long performBackgroundFetch(Services &services, LocationService *location = nullptr);

} // namespace byteward
