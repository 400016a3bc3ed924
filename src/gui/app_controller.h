// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "gui/app_colors.h"
#include "gui/boundary.h"
#include "gui/qml_navigator.h"
#include "gui/qml_presenter.h"
#include "gui/screen_adapter.h"
#include "lifecycle/byteward_app_delegate.h"
#include "lifecycle/platform_services.h"
#include "platform/dbus_notifications.h"
#include "platform/nominatim_geocoder.h"
#include "platform/xdg_mail_client.h"
#include "screens/counters/custom_counter_view_controller.h"
#include "screens/dashboard/dashboard_screen.h"
#include "screens/dashboard/status_item.h"
#include "screens/history/history_view_controller.h"
#include "screens/kit/notification_center.h"
#include "screens/kit/placeholder_screen.h"
#include "screens/settings/plan_setup_screen.h"
#include "screens/settings/settings_screen.h"

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QQmlEngine;
class QJSEngine;

namespace byteward::gui {

// The application as QML sees it: the five tabs' screens, the dialogs, the window's tint and the
// application's life (shown, hidden, quit). It owns the platform services and hands every
// transition to the headless application delegate.
class AppController : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(App)
    QML_SINGLETON
    Q_PROPERTY(byteward::gui::ScreenAdapter *cellular READ cellular NOTIFY launchedChanged)
    Q_PROPERTY(byteward::gui::ScreenAdapter *wifi READ wifi NOTIFY launchedChanged)
    Q_PROPERTY(byteward::gui::ScreenAdapter *counters READ counters NOTIFY launchedChanged)
    Q_PROPERTY(byteward::gui::ScreenAdapter *history READ history NOTIFY launchedChanged)
    Q_PROPERTY(byteward::gui::ScreenAdapter *settings READ settings NOTIFY launchedChanged)
    Q_PROPERTY(byteward::gui::QmlPresenter *presenter READ presenter CONSTANT)
    Q_PROPERTY(byteward::gui::QmlNavigator *navigator READ navigator CONSTANT)
    Q_PROPERTY(int currentTab READ currentTab NOTIFY currentTabChanged)
    Q_PROPERTY(QString windowTint READ windowTint NOTIFY themeChanged)
    Q_PROPERTY(byteward::gui::AppColors *colors READ colors CONSTANT)

  public:
    struct Options {
        bool sampleOnRender = true; // false: screens repaint from the stored records only
        bool showAlerts = true;
        int fetchIntervalSeconds = 300;
        bool locationWakeUps = true; // GeoClue2, where present
    };

    AppController(PlatformServices &platform, Options options, QObject *parent = nullptr);
    ~AppController() override;

    static AppController *instance() { return instance_; }
    static AppController *create(QQmlEngine *, QJSEngine *);

    // Launch: the delegate's start, then a first render of both dashboards. Until then the tabs'
    // screens are null and nothing reads the stored files, so the window can appear first.
    void launch();
    bool launched() const { return cellularScreen_ != nullptr; }
    // Quitting: the last sample, waiting for the data lock as long as it takes.
    void terminate();

    ScreenAdapter *cellular() { return cellularAdapter_.get(); }
    ScreenAdapter *wifi() { return wifiAdapter_.get(); }
    ScreenAdapter *counters() { return countersAdapter_.get(); }
    ScreenAdapter *history() { return historyAdapter_.get(); }
    ScreenAdapter *settings() { return settingsAdapter_.get(); }
    QmlPresenter *presenter() { return &presenter_; }
    QmlNavigator *navigator() { return &navigator_; }
    int currentTab() const { return shownTab_; }
    // Before launch the stored usage is not read yet: the plain tint until then.
    QString windowTint() const;
    // Read again whenever the theme may have changed.
    AppColors *colors() { return &colors_; }

    Services &services() { return platform_.services(); }
    AnalyticsLog &analytics() { return platform_.analytics(); }
    NotificationCenter &events() { return events_; }
    BytewardAppDelegate &delegate() { return *delegate_; }

    // The user picked a tab.
    Q_INVOKABLE void selectTab(int index);
    // The window was hidden (minimised, suspended) or shown again.
    Q_INVOKABLE void setWindowVisible(bool visible);
    // A plan setup screen ("PlanType", "StartDay", "Days", "CustomDatePicker", ...), loaded afresh.
    Q_INVOKABLE byteward::gui::ScreenAdapter *planScreen(const QString &name);
    // An address handed to the app, such as "korvalisbyteward://".
    Q_INVOKABLE bool openUrl(const QString &url);
    // The few texts the pages spell themselves, from the same catalogue as the screens'.
    Q_INVOKABLE QString i18n(const QString &text) const;
    // Runs every due notification; those arriving while the window is in front show as alerts.
    void deliverNotifications();
    // The app's own sampling: in front, a render of both dashboards; hidden, a background fetch
    // with its badge.
    void sample();

    // What the desktop's status area shows, as the dashboards last worked it out; empty when the
    // settings cannot be read just now.
    std::optional<StatusItem> statusItem();

    // Opens the history chart as its "View Chart" button does.
    void showHistoryChart() {
        Alert sheet;
        sheet.tag = HistoryViewController::kActionSheetTag;
        historyController_->alertView(sheet, 4);
    }
    // How long the window's thread waits for the data lock before trying again later.
    static constexpr std::chrono::milliseconds kLockWait{100};
    // How soon a sample that found the data lock held is tried again.
    static constexpr std::chrono::milliseconds kRetryAfter{1000};
    // Opens a plan setup screen on the settings tab as if its row were tapped, or closes it.
    void showPlanScreen(const QString &name) { emit planScreenRequested(name); }
    void closePlanScreen() { emit planScreenDismissed(); }

  signals:
    void planScreenRequested(const QString &name);
    void planScreenDismissed();
    void currentTabChanged();
    void themeChanged();
    // The screens exist and show the first figures.
    void launchedChanged();
    // The dashboards or the settings were read again: the status item may be different.
    void statusChanged();

  private:
    class ForegroundSink;

    // The five tabs' adapters, null before launch.
    std::array<ScreenAdapter *, 5> tabAdapters() const;
    // Every tab reads its screen again: now, or once the event at hand has been handled.
    void updateScreens();
    void refreshScreens();
    void watchLocation();
    // Samples at each change the modem and network managers announce.
    void watchNetwork();
    // Shows the tab the delegate selected, where it was not the person's own tap.
    void showSelectedTab();
    // Runs work from a Qt callback; a held data lock brings a new sample shortly.
    void run(std::string_view what, const std::function<void()> &work);
    void renderDashboards();
    // One alert for each store that could not be written, until it is written again.
    void showWriteFailure(const std::string &reason);
    // The stored progress colours are read only once launched.
    void updateColors();

    static AppController *instance_;
    DataLock::WaitLimit uiLockWait_{kLockWait};
    PlatformServices &platform_;
    Options options_;
    NotificationCenter events_;
    QmlPresenter presenter_;
    QmlNavigator navigator_;
    AppColors colors_;
    std::unique_ptr<XdgMailClient> mail_;
    std::unique_ptr<HistoryViewController> historyController_;
    DesktopNotificationSink desktop_;
    std::unique_ptr<ForegroundSink> sink_;
    ConfiguredGeocoder places_;
    std::unique_ptr<LocationService> location_;
    std::unique_ptr<QSocketNotifier> locationNotifier_;
    std::unique_ptr<QSocketNotifier> networkNotifier_;
    std::unique_ptr<BytewardAppDelegate> delegate_;
    std::unique_ptr<DashboardScreen> cellularScreen_;
    std::unique_ptr<DashboardScreen> wifiScreen_;
    std::unique_ptr<SettingsViewController> settingsController_;
    std::unique_ptr<SettingsScreen> settingsScreen_;
    std::unique_ptr<CustomCounterViewController> countersController_;
    std::unique_ptr<ScreenAdapter> cellularAdapter_;
    std::unique_ptr<ScreenAdapter> wifiAdapter_;
    std::unique_ptr<ScreenAdapter> countersAdapter_;
    std::unique_ptr<ScreenAdapter> historyAdapter_;
    std::unique_ptr<ScreenAdapter> settingsAdapter_;
    std::vector<std::unique_ptr<PlanSetupScreen>> planScreens_;
    std::vector<std::unique_ptr<ScreenAdapter>> planAdapters_;
    // Addresses handed over before launch, opened once the delegate has started.
    QStringList pendingUrls_;
    QTimer fetchTimer_;
    QTimer deliveryTimer_;
    QTimer retryTimer_;
    bool visible_ = true;
    bool terminated_ = false;
    int shownTab_ = BytewardAppDelegate::kCellularTab;
};

} // namespace byteward::gui
