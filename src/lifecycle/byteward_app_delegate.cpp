// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "lifecycle/byteward_app_delegate.h"

#include "model/app_settings.h"
#include "model/communications.h"
#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/kit/theme.h"

namespace byteward {

namespace {

constexpr const char *kInitialSetupTitle = N_("Initial Setup");
constexpr const char *kInitialSetupMessage = N_(
    "Thanks for purchasing Byteward! \n\n- Please take a few minutes to go through initial setup. "
    "\n\n- Please "
    "remember to run Byteward before device reboot/restart. \n\n- For current billing period data "
    "will be tracked "
    "from this point onwards. After you are done with initial setup you may want to find out "
    "current usage stats "
    "from your provider and enter that value by going to Settings tab > Adjust/Reset under "
    "Cellular or WiFi "
    "billing cycle settings.");
constexpr const char *kLocationTitle = N_("Enhance Monitoring Accuracy");
constexpr const char *kLocationMessage =
    N_("Please set location access to 'Always' for greater accuracy in measuring data usage. "
       "\n\n\nWhen app is removed "
       "from multitasking tray background refresh doesn't update usage leading to inaccurate usage "
       "information. We use "
       "low power gps service to launch app in background when cellular tower changes.");

// Any web page can open an address of our scheme, so what it holds reaches the system log only
// as one line of printable text of bounded length: control characters escaped, the rest cut.
std::string urlForLog(const std::string &url) {
    constexpr std::size_t kMaxShown = 256;
    std::string out;
    for (const char c : url.substr(0, kMaxShown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            constexpr const char *kHex = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    if (url.size() > kMaxShown) out += "... (" + std::to_string(url.size()) + " bytes)";
    return out;
}

} // namespace

BytewardAppDelegate::BytewardAppDelegate(Services &services, ScreenContext screens,
                                         NotificationSink &sink, LocationService *location,
                                         std::string bundleVersion)
    : services_(services), screens_(screens), sink_(sink), location_(location),
      bundleVersion_(std::move(bundleVersion)) {
}

BytewardAppDelegate::~BytewardAppDelegate() {
    if (screens_.events != nullptr && themeObserver_ != 0)
        screens_.events->removeObserver(themeObserver_);
}

void BytewardAppDelegate::setIconBadge(long long number) {
    iconBadge = number;
    sink_.setBadge(number);
}

void BytewardAppDelegate::postBadge(long long number) {
    setIconBadge(number);
    // Through the schedule too, so the number also reaches whoever delivers notifications next.
    Communications::sendBadgeNotification(services_, number);
    services_.notifications.deliverDueNotifications(sink_);
}

bool BytewardAppDelegate::application(const LaunchOptions &options) {
    if (screens_.analytics != nullptr) screens_.analytics->logEvent("Launch");
    setIconBadge(0);
    mainViewController_ = std::make_unique<MainViewController>(services_, location_);
    mainViewController_->screens = screens_;
    if (options.location) {
        mainViewController_->backgroundUpdate("", false);
        postBadge(static_cast<long long>(mainViewController_->appBadgeNumber.value_or(0)));
        mainViewController_->startSignificantChangesUpdate();
    }
    cellularDashboard_ = std::make_unique<MainViewController>(services_, location_);
    cellularDashboard_->isCellularMode = true;
    cellularDashboard_->screens = screens_;
    wifiDashboard_ = std::make_unique<MainViewController>(services_, location_);
    wifiDashboard_->isCellularMode = false;
    wifiDashboard_->screens = screens_;
    tabSelectedIndex = kWiFiTab;

    if (screens_.events != nullptr) {
        themeObserver_ = screens_.events->addObserver(
            NotificationCenter::kProgressBarMileStoneNotification,
            [this](const ValueDict &userInfo) {
                const Value *type = userInfo.find("dataType");
                applyTheme(type != nullptr ? std::optional<long long>(type->integerValue())
                                           : std::nullopt);
            });
    }
    applyTheme(std::nullopt);

    AppSettings settings(services_);
    settings.getSettings();
    if (settings.settingsExist() || services_.defaults.objectForKey("firstRun")) {
        showVersionUpdateInfo();
    } else {
        services_.defaults.setObject("firstRun", Value(services_.clock.now()));
        services_.defaults.synchronize();
        performSetup();
    }
    return true;
}

void BytewardAppDelegate::performSetup() {
    if (screens_.presenter == nullptr) return;
    Alert alert;
    alert.title = tr(kInitialSetupTitle);
    alert.message = tr(kInitialSetupMessage);
    alert.otherButtons = {tr("OK")};
    screens_.presenter->presentAlert(alert, this);
}

void BytewardAppDelegate::showVersionUpdateInfo() {
    const auto stored = services_.defaults.objectForKey("version");
    if (stored && stored->stringValue() != "Undefined" && stored->stringValue() == bundleVersion_)
        return;
    services_.log.line("Setting new version");
    services_.defaults.setObject("version", Value(bundleVersion_));
    services_.defaults.synchronize();
    if (screens_.presenter == nullptr) return;
    Alert alert;
    alert.title = format(tr("What's New in %s"), bundleVersion_.c_str());
    alert.message = tr("Performance and stability improvements.");
    alert.otherButtons = {tr("Got it!")};
    alert.tag = kWhatsNewTag;
    screens_.presenter->presentAlert(alert, this);
}

void BytewardAppDelegate::askForLocation() {
    UserDefaults &defaults = services_.defaults;
    if (!defaults.objectForKey("askedForLocation"))
        defaults.setObject("askedForLocation", Value(false));
    if (!defaults.objectForKey("askedForLocation")->boolValue()) {
        if (screens_.presenter != nullptr) {
            Alert alert;
            alert.title = tr(kLocationTitle);
            alert.message = tr(kLocationMessage);
            alert.otherButtons = {tr("OK")};
            screens_.presenter->presentAlert(alert, this);
        }
        defaults.setObject("askedForLocation", Value(true));
    }
    defaults.synchronize();
}

void BytewardAppDelegate::alertView(const Alert &alert, int /*buttonIndex*/) {
    if (alert.title == tr(kInitialSetupTitle)) {
        tabSelectedIndex = kSettingsTab;
    } else if (alert.tag == kWhatsNewTag) {
        askForLocation();
    } else if (alert.title == tr(kLocationTitle) && mainViewController_) {
        mainViewController_->startSignificantChangesUpdate();
    }
}

void BytewardAppDelegate::performFetch() {
    if (!mainViewController_) return;
    setIconBadge(0);
    cellularDashboard_->isCellularMode = true;
    cellularDashboard_->renderView();
    wifiDashboard_->isCellularMode = false;
    wifiDashboard_->renderView();
    AppSettings settings(services_);
    settings.getSettings();
    if (!settings.enableBackgrounding || settings.enableBackgrounding->boolValue())
        mainViewController_->startSignificantChangesUpdate();
    else
        mainViewController_->stopSignificantChangesUpdate();
    const auto &figure = cellularDashboard_->appBadgeNumber;
    if (figure) setIconBadge(static_cast<long long>(*figure));
    postBadge(AppSettings::text(settings.appBadgeSetting) == "BILLINGRESET" || !figure
                  ? 0
                  : static_cast<long long>(*figure));
}

void BytewardAppDelegate::applicationDidEnterBackground() {
    if (!mainViewController_) return;
    mainViewController_->backgroundUpdate("", true);
    AppSettings settings(services_);
    settings.getSettings();
    // Background fetches start monitoring again when backgrounding is on.
    mainViewController_->stopSignificantChangesUpdate();
    const auto &figure = mainViewController_->appBadgeNumber;
    postBadge(AppSettings::text(settings.appBadgeSetting) == "BILLINGRESET" || !figure
                  ? 0
                  : static_cast<long long>(*figure));
}

void BytewardAppDelegate::applicationWillEnterForeground() {
    setIconBadge(0);
    if (!cellularDashboard_) return;
    cellularDashboard_->isCellularMode = true;
    cellularDashboard_->renderView();
    wifiDashboard_->isCellularMode = false;
    wifiDashboard_->renderView();
}

void BytewardAppDelegate::applicationWillTerminate() {
    if (mainViewController_) mainViewController_->backgroundUpdate("", true);
}

void BytewardAppDelegate::application(const LocalNotification &notification) {
    if (notification.alertBody.empty() || screens_.presenter == nullptr) return;
    Alert alert;
    alert.title = tr("Usage Alert");
    alert.message = notification.alertBody;
    alert.cancelButton = tr("Dismiss");
    screens_.presenter->presentAlert(alert, this);
}

bool BytewardAppDelegate::application(const std::string &url) {
    services_.log.line("URL: " + urlForLog(url));
    return url == kUrlScheme;
}

void BytewardAppDelegate::settingsViewController(const std::string &key) {
    if (!mainViewController_) return;
    if (key == "ResetWifiUsage") {
        mainViewController_->askResetWifiUsage();
    } else if (key == "ResetCellularUsage") {
        mainViewController_->askResetCellularUsage();
    } else if (key == "AdjustWifiUsage") {
        services_.log.line("Called adjust wifi usage from delegate");
        mainViewController_->adjustWifiUsage();
    } else if (key == "AdjustCellularUsage") {
        mainViewController_->adjustCellularUsage();
    } else if (key == "RateByteward" && screens_.presenter != nullptr) {
        screens_.presenter->openUrl(MainViewController::kRatingUrl);
    }
}

bool BytewardAppDelegate::shouldSelectViewController(int index) const {
    return index != tabSelectedIndex;
}

void BytewardAppDelegate::didSelectViewController(int index) {
    if (tabSelectedIndex == kSettingsTab) {
        AppSettings settings(services_);
        settings.applySettings();
        cellularDashboard_->repaintView(true);
        wifiDashboard_->repaintView(false);
        // Asking for location access only makes sense where location wake-ups exist.
        if (location_ != nullptr && location_->significantLocationChangeMonitoringAvailable())
            askForLocation();
    }
    tabSelectedIndex = index;
    if (screens_.events != nullptr) {
        ValueDict info;
        info.set("dataType", Value(index == kCellularTab ? 1 : index == kWiFiTab ? 2 : 3));
        screens_.events->post(NotificationCenter::kProgressBarMileStoneNotification, info);
    }
}

void BytewardAppDelegate::selectStartupTab() {
    AppSettings settings(services_);
    settings.getSettings();
    tabSelectedIndex =
        AppSettings::text(settings.startupScreen) == "WIFI" ? kWiFiTab : kCellularTab;
}

void BytewardAppDelegate::applyTheme(std::optional<long long> notificationDataType) {
    windowTint = toHex(windowTintForNotification(notificationDataType, services_.defaults));
}

} // namespace byteward
