// MainViewController's update cycle: both usage records brought up to date, then the alerts.
#include "model/communications.h"
#include "model/text_format.h"
#include "screens/dashboard/main_view_controller.h"

#include <chrono>
#include <cmath>

namespace byteward {

MainViewController::MainViewController(Services &services, LocationService *location)
    : services_(services), appSettings_(services), appDataCellular_(services),
      appDataWifi_(services), units_(services, appSettings_), location_(location) {
}

MainViewController::~MainViewController() = default;

FileResult MainViewController::backgroundUpdate(const std::string &location,
                                                bool shouldResetSinceLastAppRun) {
    appSettings_.getSettings();
    // Both records are brought up to date before any alert is evaluated.
    const FileResult cellularUpdated = appDataCellular_.performBackgroundUpdateForType(
        kCellular, location, shouldResetSinceLastAppRun);
    const FileResult wifiUpdated =
        appDataWifi_.performBackgroundUpdateForType(kWiFi, location, shouldResetSinceLastAppRun);
    // A record that was not updated holds nothing new to announce.
    if (cellularUpdated) evaluateAlerts(appDataCellular_, true);
    if (wifiUpdated) evaluateAlerts(appDataWifi_, false);
    return cellularUpdated.andThen(wifiUpdated);
}

void MainViewController::startSignificantChangesUpdate() {
    if (location_ == nullptr || !location_->locationServicesEnabled()) return;
    if (!location_->significantLocationChangeMonitoringAvailable()) return;
    location_->requestAlwaysAuthorization();
    location_->startMonitoringSignificantLocationChanges(*this);
}

void MainViewController::stopSignificantChangesUpdate() {
    if (location_ == nullptr || !location_->locationServicesEnabled()) return;
    if (location_->significantLocationChangeMonitoringAvailable())
        location_->stopMonitoringSignificantLocationChanges();
}

void MainViewController::locationManager(LocationService &manager, const Location &newLocation,
                                         const Location * /*oldLocation*/) {
    // Stale fixes (more than 14 whole seconds old) are replays of an earlier position.
    const auto age =
        std::chrono::duration<double>(newLocation.timestamp - services_.clock.now()).count();
    if (std::abs(std::trunc(age)) > 14) return;

    // The figure the previous cycle left goes on the icon now.
    Communications::sendBadgeNotification(services_,
                                          static_cast<long long>(appBadgeNumber.value_or(0)));

    if (!geocoder_) geocoder_ = manager.makeGeocoder();
    // Each fix geocodes its own coordinate, so the place follows the device.
    if (geocoder_) geocoder_->start(newLocation.coordinate, *this);
}

void MainViewController::locationManager(LocationService & /*manager*/,
                                         const std::string & /*error*/) {
}

void MainViewController::reverseGeocoder(ReverseGeocoder & /*geocoder*/,
                                         const Placemark &placemark) {
    // Write failures are noted where they happen: logged, and told to the app's listener.
    backgroundUpdate(placemark.locality + ", " + placemark.administrativeArea, false);
}

void MainViewController::reverseGeocoder(ReverseGeocoder & /*geocoder*/,
                                         const std::string & /*error*/) {
    backgroundUpdate("Unknown", false);
}

} // namespace byteward
