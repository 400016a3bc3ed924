#include "lifecycle/background_fetch.h"

#include "screens/dashboard/main_view_controller.h"

namespace byteward {

long long performBackgroundFetch(Services &services, LocationService *location) {
    MainViewController cellularDashboard(services, location);
    cellularDashboard.isCellularMode = true;
    cellularDashboard.renderView();
    MainViewController wifiDashboard(services, location);
    wifiDashboard.isCellularMode = false;
    wifiDashboard.renderView();

    AppSettings settings(services);
    settings.getSettings();
    if (AppSettings::text(settings.appBadgeSetting) == "BILLINGRESET" ||
        !cellularDashboard.appBadgeNumber)
        return 0;
    return static_cast<long long>(*cellularDashboard.appBadgeNumber);
}

} // namespace byteward
