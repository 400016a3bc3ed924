// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/analytics_log.h"
#include "platform/location.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/kit/notification_center.h"
#include "screens/kit/presenter.h"
#include "storage/notification_schedule.h"
#include "storage/services.h"

#include <memory>
#include <optional>
#include <string>

namespace byteward {

// The application's life: launch, the tab bar, background wake-ups, going to the background
// and coming back, quitting, notifications arriving while it runs, the settings buttons and the
// URL scheme. Plain C++: the Qt shell calls in at each transition and shows what it presents.
class BytewardAppDelegate : public AlertDelegate {
  public:
    static constexpr int kCellularTab = 0;
    static constexpr int kWiFiTab = 1;
    static constexpr int kCountersTab = 2;
    static constexpr int kHistoryTab = 3;
    static constexpr int kSettingsTab = 4;
    static constexpr int kWhatsNewTag = 81819;
    static constexpr const char *kUrlScheme = "korvalisbyteward://";

    struct LaunchOptions {
        bool location = false; // relaunched for a significant location change
    };

    BytewardAppDelegate(Services &services, ScreenContext screens, NotificationSink &sink,
                        LocationService *location, std::string bundleVersion);
    ~BytewardAppDelegate() override;

    // Launch; the five tabs exist once it returns.
    bool application(const LaunchOptions &options);
    // Background fetch: renders both dashboards and puts the badge figure on the icon.
    void performFetch();
    void applicationDidEnterBackground();
    void applicationWillEnterForeground();
    void applicationWillTerminate();
    // A local notification delivered while the app runs.
    void application(const LocalNotification &notification);
    // Opening by URL: true only for the app's own scheme, exactly.
    bool application(const std::string &url);

    void performSetup();
    void showVersionUpdateInfo();
    void askForLocation();
    void alertView(const Alert &alert, int buttonIndex) override;

    // The settings screen's buttons.
    void settingsViewController(const std::string &buttonTappedForKey);

    // Tab bar: a second tap on the current tab does nothing; leaving the settings tab applies
    // the settings and repaints both dashboards; every change is announced for the theme.
    bool shouldSelectViewController(int index) const;
    void didSelectViewController(int index);
    // The tab a render asks for ("startup_settings" "WIFI" selects the Wi-Fi tab).
    void selectStartupTab();

    // The window's tint: the progress colour of the type the last notification named.
    void applyTheme(std::optional<long long> notificationDataType);

    MainViewController &mainViewController() { return *mainViewController_; }
    MainViewController &cellularDashboard() { return *cellularDashboard_; }
    MainViewController &wifiDashboard() { return *wifiDashboard_; }
    int tabSelectedIndex = kCellularTab;
    // What the icon badge shows now; empty hides it.
    std::optional<long long> iconBadge;
    // The window tint as "#rrggbb".
    std::string windowTint;

  private:
    void postBadge(long long number);
    void setIconBadge(long long number);

    Services &services_;
    ScreenContext screens_;
    NotificationSink &sink_;
    LocationService *location_;
    std::string bundleVersion_;
    std::unique_ptr<MainViewController> mainViewController_;
    std::unique_ptr<MainViewController> cellularDashboard_;
    std::unique_ptr<MainViewController> wifiDashboard_;
    NotificationCenter::Token themeObserver_ = 0;
};

} // namespace byteward
