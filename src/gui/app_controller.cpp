// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/app_controller.h"

#include "byteward_version.h"
#include "model/text_format.h"
#include "platform/files.h"
#include "platform/geoclue_location.h"
#include "platform/i18n.h"
#include "screens/kit/theme.h"

#include <QFile>
#include <QQmlEngine>
#include <utility>

namespace byteward::gui {

AppController *AppController::instance_ = nullptr;

// Hands notifications to the desktop; those that arrive while the window is in front are also
// shown in the app as a "Usage Alert".
class AppController::ForegroundSink final : public NotificationSink {
  public:
    ForegroundSink(NotificationSink &desktop, AppController &app) : desktop_(desktop), app_(app) {}
    bool showNotification(const LocalNotification &notification) override {
        if (app_.visible_) app_.delegate_->application(notification);
        return desktop_.showNotification(notification);
    }
    bool setBadge(std::optional<long long> count) override { return desktop_.setBadge(count); }

  private:
    NotificationSink &desktop_;
    AppController &app_;
};

AppController::AppController(PlatformServices &platform, Options options, QObject *parent)
    : QObject(parent), platform_(platform), options_(options), presenter_(platform.log()),
      navigator_(platform.log()), desktop_(&platform.log()),
      places_(platform.services().defaults, platform.log()) {
    instance_ = this;
    Services &services = platform_.services();
    sink_ = std::make_unique<ForegroundSink>(desktop_, *this);
    ScreenContext screens{options_.showAlerts ? &presenter_ : nullptr, &events_,
                          &platform_.analytics()};
    auto geoClue = std::make_unique<GeoClueLocationService>(platform.log(), places_,
                                                            GeoClueLocationService::Options{});
    if (options_.locationWakeUps && geoClue->locationServicesEnabled())
        location_ = std::move(geoClue);
    else
        location_ = std::make_unique<OfflineLocationService>();
    watchLocation();
    delegate_ =
        std::make_unique<BytewardAppDelegate>(services, screens, *sink_, location_.get(), kVersion);

    std::string error;
    QFile schema(QStringLiteral(":/byteward/settings.plist"));
    std::vector<SettingsSection> sections;
    if (schema.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = schema.readAll();
        sections = SettingsViewController::parseSchema(
            std::string_view(bytes.constData(), bytes.size()), error);
    } else {
        error = "the settings schema is missing from the application";
    }
    if (!error.empty()) services.log.line(error);
    settingsController_ = std::make_unique<SettingsViewController>(services, std::move(sections),
                                                                   &platform_.analytics());
    settingsController_->onButton = [this](const std::string &key) {
        delegate_->settingsViewController(key);
    };
    settingsScreen_ = std::make_unique<SettingsScreen>(*settingsController_);

    mail_ = std::make_unique<XdgMailClient>(services.paths, services.clock, platform_.log());
    historyController_ = std::make_unique<HistoryViewController>(
        services, ScreenContext{.presenter = options_.showAlerts ? &presenter_ : nullptr,
                                .analytics = &platform_.analytics(),
                                .mail = mail_.get(),
                                .navigator = &navigator_});
    countersController_ = std::make_unique<CustomCounterViewController>(
        services,
        ScreenContext{options_.showAlerts ? &presenter_ : nullptr, &events_,
                      &platform_.analytics()},
        navigator_);

    // Stores are written on the render thread too (the bar's colour): the alert comes on this
    // one, once the work that failed has finished.
    setWriteFailureListener([this](const std::string &reason) {
        QMetaObject::invokeMethod(
            this, [this, reason] { showWriteFailure(reason); }, Qt::QueuedConnection);
    });
    // Before anything tells of a theme: the colours are read before QML hears of it.
    connect(this, &AppController::themeChanged, this, &AppController::updateColors);
    updateColors();
    connect(&fetchTimer_, &QTimer::timeout, this, &AppController::sample);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &AppController::sample);
    connect(&deliveryTimer_, &QTimer::timeout, this, &AppController::deliverNotifications);
    // An answer may have changed any screen, or chosen a tab.
    connect(&presenter_, &QmlPresenter::answered, this, [this] {
        showSelectedTab();
        // Adjust and reset change the stored records behind the dashboards' backs.
        run("Repainting the dashboards", [this] {
            if (!cellularScreen_) return;
            cellularScreen_->perform("repaint", Value(true));
            wifiScreen_->perform("repaint", Value(false));
        });
        refreshScreens();
    });
}

AppController::~AppController() {
    setWriteFailureListener({});
    if (instance_ == this) instance_ = nullptr;
}

void AppController::showWriteFailure(const std::string &reason) {
    if (!options_.showAlerts) return;
    Alert alert;
    alert.title = byteward::tr("Not Saved");
    alert.message = format(byteward::tr("Byteward could not save its data: %s\n\nWhat was saved "
                                        "before is kept. Byteward tries again at its next update."),
                           reason.c_str());
    alert.cancelButton = byteward::tr("OK");
    presenter_.presentAlert(alert, nullptr);
}

QString AppController::i18n(const QString &text) const {
    return QString::fromUtf8(byteward::tr(text.toStdString()));
}

AppController *AppController::create(QQmlEngine *, QJSEngine *) {
    QQmlEngine::setObjectOwnership(instance_, QQmlEngine::CppOwnership);
    return instance_;
}

void AppController::launch() {
    delegate_->application(BytewardAppDelegate::LaunchOptions{});
    // After the delegate's own observer, so the tint is set before the window reads it.
    events_.addObserver(NotificationCenter::kProgressBarMileStoneNotification,
                        [this](const ValueDict &) { emit themeChanged(); });
    cellularScreen_ =
        std::make_unique<DashboardScreen>(delegate_->cellularDashboard(), platform_.services());
    wifiScreen_ =
        std::make_unique<DashboardScreen>(delegate_->wifiDashboard(), platform_.services());
    cellularScreen_->sampleOnRender = wifiScreen_->sampleOnRender = options_.sampleOnRender;
    cellularScreen_->navigator = wifiScreen_->navigator = &navigator_;
    updateColors();
    Log &log = platform_.log();
    cellularAdapter_ = std::make_unique<ScreenAdapter>(cellularScreen_.get(), log, this);
    wifiAdapter_ = std::make_unique<ScreenAdapter>(wifiScreen_.get(), log, this);
    countersAdapter_ = std::make_unique<ScreenAdapter>(countersController_.get(), log, this);
    historyAdapter_ = std::make_unique<ScreenAdapter>(historyController_.get(), log, this);
    settingsAdapter_ = std::make_unique<ScreenAdapter>(settingsScreen_.get(), log, this);
    for (ScreenAdapter *source : {cellularAdapter_.get(), settingsAdapter_.get()})
        connect(source, &ScreenAdapter::updated, this, &AppController::statusChanged);
    // Each dashboard renders once as it loads; the render at launch chooses the start tab.
    renderDashboards();
    run("Choosing the start tab", [this] { delegate_->selectStartupTab(); });
    shownTab_ = delegate_->tabSelectedIndex;
    updateScreens();
    watchNetwork();
    if (options_.fetchIntervalSeconds > 0) {
        fetchTimer_.start(options_.fetchIntervalSeconds * 1000);
        deliveryTimer_.start(30 * 1000);
    }
    emit launchedChanged();
    emit currentTabChanged();
    emit themeChanged();
    for (const QString &url : std::exchange(pendingUrls_, {}))
        openUrl(url);
}

QString AppController::windowTint() const {
    return QString::fromStdString(launched() ? delegate_->windowTint
                                             : toHex(BytewardColors::appTintColor()));
}

void AppController::terminate() {
    if (terminated_) return;
    // Quit before the first frame: the start still happens, so the last sample has a base.
    if (!launched()) launch();
    terminated_ = true;
    fetchTimer_.stop();
    retryTimer_.stop();
    deliveryTimer_.stop();
    // The last sample may wait for another process: nothing is on screen to answer any more.
    DataLock::WaitLimit quitting(DataLock::kDefaultWait);
    run("The last sample", [this] { delegate_->applicationWillTerminate(); });
}

void AppController::run(std::string_view what, const std::function<void()> &work) {
    if (guarded(platform_.log(), what, work) == Outcome::Busy && !terminated_ &&
        !retryTimer_.isActive())
        retryTimer_.start(kRetryAfter);
}

void AppController::renderDashboards() {
    run("Rendering the dashboards", [this] {
        cellularScreen_->perform("render", Value());
        wifiScreen_->perform("render", Value());
    });
}

void AppController::sample() {
    if (terminated_ || !cellularScreen_) return;
    if (visible_) {
        // As a render does, without moving the person to another tab.
        renderDashboards();
        // The lists show the new amounts and logs too, unless a screen they opened is in front
        // (it holds its own copy, and reloading under it would lose the person's place).
        if (!navigator_.showsAny())
            run("Reloading the lists", [this] {
                countersController_->perform("viewWillAppear", Value());
                historyController_->perform("viewWillAppear", Value());
            });
    } else {
        run("The background fetch", [this] { delegate_->performFetch(); });
        // A fetch may have (re)started monitoring.
        watchLocation();
    }
    refreshScreens();
}

void AppController::showSelectedTab() {
    if (delegate_->tabSelectedIndex == shownTab_) return;
    shownTab_ = delegate_->tabSelectedIndex;
    if (shownTab_ == BytewardAppDelegate::kSettingsTab)
        run("Opening the settings", [this] { settingsScreen_->perform("viewDidLoad", Value()); });
    // A tab's page may be made right now: it starts from what its screen holds now.
    updateScreens();
    emit currentTabChanged();
}

// Fixes and geocoding answers arrive on the bus connection's descriptor, on this thread.
void AppController::watchLocation() {
    const int fd = location_->pollFd();
    if (locationNotifier_ && locationNotifier_->socket() == fd) return;
    // A lost bus closed the old descriptor; this may run inside the old notifier's signal.
    if (locationNotifier_) locationNotifier_.release()->deleteLater();
    if (fd < 0) return;
    locationNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(locationNotifier_.get(), &QSocketNotifier::activated, this, [this] {
        run("Location update", [this] { location_->dispatch(); });
        watchLocation();
        refreshScreens();
    });
}

void AppController::watchNetwork() {
    NetworkServices &network = platform_.services().network;
    const int fd = network.pollFd();
    if (networkNotifier_ || fd < 0) return; // one descriptor for the services' whole life
    networkNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(networkNotifier_.get(), &QSocketNotifier::activated, this, [this, &network] {
        // A bearer or a metered connection came or went: what moved so far is counted under
        // the old view before the new one applies, as the daemon does.
        if (!network.takeAnnouncements()) return;
        sample();
        network.refresh();
    });
}

void AppController::updateColors() {
    auto hex = [](const Rgba &c) { return QString::fromStdString(toHex(c)); };
    UserDefaults &defaults = platform_.services().defaults;
    QString cellular = hex(BytewardColors::appTintColor());
    QString wifi = cellular;
    if (launched()) guarded(platform_.log(), "Reading the progress colours", [&] {
        cellular = hex(BytewardColors::cellularProgressColor(defaults));
        wifi = hex(BytewardColors::wifiProgressColor(defaults));
    });
    colors_.set({.background = hex(BytewardColors::appBackgroundColor()),
                 .block = hex(BytewardColors::appBlockBackgroundColor()),
                 .subheader = hex(BytewardColors::appSubheaderColor()),
                 .foreground = hex(BytewardColors::appForegroundColor()),
                 .tint = hex(BytewardColors::appTintColor()),
                 .navBar = hex(BytewardColors::appNavBarColor()),
                 .separator = hex(BytewardColors::tableSeperatorColor()),
                 .cellBackground = hex(BytewardColors::tableCellBackgroundColor()),
                 .cellForeground = hex(BytewardColors::tableCellForegroundColor()),
                 .cellDetail = hex(BytewardColors::tableCellDetailForegroundColor()),
                 .settingsCell = hex(BytewardColors::settingsTableCellBackgroundColor()),
                 .barBackground = hex(BytewardColors::progressBarBackgroundColor()),
                 .cellular = cellular,
                 .wifi = wifi});
}

std::optional<StatusItem> AppController::statusItem() {
    std::optional<StatusItem> item;
    if (!launched()) return item;
    guarded(platform_.log(), "Reading the status item", [&] {
        item = statusItemOf(delegate_->cellularDashboard(), platform_.services().defaults);
    });
    return item;
}

void AppController::selectTab(int index) {
    if (!launched()) return; // the bar stays on the first tab until the start has chosen one
    if (index == shownTab_ || !delegate_->shouldSelectViewController(index)) {
        // The tab bar may already show the tab the delegate holds; keep both in step.
        showSelectedTab();
        return;
    }
    const bool leavingSettings = delegate_->tabSelectedIndex == BytewardAppDelegate::kSettingsTab;
    run("Changing tabs", [&] { delegate_->didSelectViewController(index); });
    // The person chose it, whatever the leaving-Settings path managed to do.
    delegate_->tabSelectedIndex = index;
    if (leavingSettings) refreshScreens();
    showSelectedTab();
}

void AppController::setWindowVisible(bool visible) {
    if (visible == visible_ || terminated_) return;
    visible_ = visible;
    if (!launched()) return; // the launch starts in whichever state this leaves
    if (visible) {
        run("Returning to the foreground", [this] {
            delegate_->applicationWillEnterForeground();
            delegate_->selectStartupTab();
        });
        showSelectedTab();
    } else {
        run("Going to the background", [this] { delegate_->applicationDidEnterBackground(); });
    }
    refreshScreens();
}

ScreenAdapter *AppController::planScreen(const QString &name) {
    if (!launched()) return nullptr;
    const auto kind = PlanSetupScreen::kindNamed(name.toStdString());
    if (!kind) return nullptr;
    ScreenAdapter *adapter = nullptr;
    run("Opening a plan setup screen", [&] {
        planScreens_.push_back(std::make_unique<PlanSetupScreen>(platform_.services(), *kind));
        planAdapters_.push_back(
            std::make_unique<ScreenAdapter>(planScreens_.back().get(), platform_.log(), this));
        adapter = planAdapters_.back().get();
        QQmlEngine::setObjectOwnership(adapter, QQmlEngine::CppOwnership);
    });
    return adapter;
}

bool AppController::openUrl(const QString &url) {
    if (!launched()) {
        pendingUrls_.append(url);
        return true; // judged once launched
    }
    bool mine = false;
    run("Opening an address", [&] { mine = delegate_->application(url.toStdString()); });
    return mine;
}

void AppController::deliverNotifications() {
    if (!launched()) return;
    run("Delivering notifications",
        [this] { platform_.services().notifications.deliverDueNotifications(*sink_); });
}

std::array<ScreenAdapter *, 5> AppController::tabAdapters() const {
    return {cellularAdapter_.get(), wifiAdapter_.get(), countersAdapter_.get(),
            historyAdapter_.get(), settingsAdapter_.get()};
}

void AppController::updateScreens() {
    for (ScreenAdapter *adapter : tabAdapters())
        if (adapter != nullptr) adapter->update();
}

void AppController::refreshScreens() {
    for (ScreenAdapter *adapter : tabAdapters())
        if (adapter != nullptr) adapter->refresh();
    for (const auto &adapter : planAdapters_)
        adapter->refresh();
    navigator_.refreshAll();
    emit themeChanged();
}

} // namespace byteward::gui
