#include "gui/app_controller.h"

#include "byteward_version.h"
#include "dashboard/theme.h"
#include "platform/geoclue_location.h"

#include <QFile>
#include <QQmlEngine>

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
    : QObject(parent), platform_(platform), options_(options), desktop_(&platform.log()),
      places_(platform.services().defaults, platform.log()) {
    instance_ = this;
    Services &services = platform_.services();
    sink_ = std::make_unique<ForegroundSink>(desktop_, *this);
    ScreenServices screens{options_.showAlerts ? &presenter_ : nullptr, &events_,
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
        services, HistoryScreenContext{options_.showAlerts ? &presenter_ : nullptr,
                                       &platform_.analytics(), mail_.get(), &navigator_});
    countersController_ = std::make_unique<CustomCounterViewController>(
        services,
        ScreenServices{options_.showAlerts ? &presenter_ : nullptr, &events_,
                       &platform_.analytics()},
        navigator_);

    connect(&fetchTimer_, &QTimer::timeout, this, [this] {
        delegate_->performFetch();
        // A fetch may have (re)started monitoring.
        watchLocation();
        refreshScreens();
    });
    connect(&deliveryTimer_, &QTimer::timeout, this, &AppController::deliverNotifications);
    connect(&presenter_, &QmlPresenter::currentChanged, this, &AppController::refreshScreens);

    events_.addObserver(AppNotificationCenter::kProgressBarMileStoneNotification,
                        [this](const ValueDict &) { emit themeChanged(); });
}

AppController::~AppController() {
    if (instance_ == this) instance_ = nullptr;
}

AppController *AppController::create(QQmlEngine *, QJSEngine *) {
    QQmlEngine::setObjectOwnership(instance_, QQmlEngine::CppOwnership);
    return instance_;
}

void AppController::launch() {
    delegate_->application(BytewardAppDelegate::LaunchOptions{});
    cellularScreen_ =
        std::make_unique<DashboardScreen>(delegate_->cellularDashboard(), platform_.services());
    wifiScreen_ =
        std::make_unique<DashboardScreen>(delegate_->wifiDashboard(), platform_.services());
    cellularScreen_->sampleOnRender = wifiScreen_->sampleOnRender = options_.sampleOnRender;
    cellularAdapter_ = std::make_unique<ScreenAdapter>(cellularScreen_.get(), this);
    wifiAdapter_ = std::make_unique<ScreenAdapter>(wifiScreen_.get(), this);
    countersAdapter_ = std::make_unique<ScreenAdapter>(countersController_.get(), this);
    historyAdapter_ = std::make_unique<ScreenAdapter>(historyController_.get(), this);
    settingsAdapter_ = std::make_unique<ScreenAdapter>(settingsScreen_.get(), this);
    // Each dashboard renders once as it loads; a render chooses the start tab.
    const int chosenByAlert = delegate_->tabSelectedIndex;
    cellularScreen_->perform("render", Value());
    wifiScreen_->perform("render", Value());
    delegate_->selectStartupTab();
    if (chosenByAlert == BytewardAppDelegate::kSettingsTab)
        delegate_->tabSelectedIndex = chosenByAlert;
    if (options_.fetchIntervalSeconds > 0) {
        fetchTimer_.start(options_.fetchIntervalSeconds * 1000);
        deliveryTimer_.start(30 * 1000);
    }
    emit currentTabChanged();
    emit themeChanged();
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
        try {
            location_->dispatch();
        } catch (const std::exception &error) {
            platform_.log().line(std::string("Location update failed: ") + error.what());
        }
        watchLocation();
        refreshScreens();
    });
}

QVariantMap AppController::colors() const {
    auto hex = [](const Rgba &c) { return QString::fromStdString(toHex(c)); };
    UserDefaults &defaults = platform_.services().defaults;
    return {{"background", hex(BytewardColors::appBackgroundColor())},
            {"block", hex(BytewardColors::appBlockBackgroundColor())},
            {"subheader", hex(BytewardColors::appSubheaderColor())},
            {"foreground", hex(BytewardColors::appForegroundColor())},
            {"tint", hex(BytewardColors::appTintColor())},
            {"navBar", hex(BytewardColors::appNavBarColor())},
            {"separator", hex(BytewardColors::tableSeperatorColor())},
            {"cellBackground", hex(BytewardColors::tableCellBackgroundColor())},
            {"cellForeground", hex(BytewardColors::tableCellForegroundColor())},
            {"cellDetail", hex(BytewardColors::tableCellDetailForegroundColor())},
            {"settingsCell", hex(BytewardColors::settingsTableCellBackgroundColor())},
            {"barBackground", hex(BytewardColors::progressBarBackgroundColor())},
            {"cellular", hex(BytewardColors::cellularProgressColor(defaults))},
            {"wifi", hex(BytewardColors::wifiProgressColor(defaults))}};
}

void AppController::selectTab(int index) {
    if (!delegate_->shouldSelectViewController(index)) return;
    const bool leavingSettings = delegate_->tabSelectedIndex == BytewardAppDelegate::kSettingsTab;
    delegate_->didSelectViewController(index);
    if (index == BytewardAppDelegate::kSettingsTab)
        settingsScreen_->perform("viewDidLoad", Value());
    if (leavingSettings) refreshScreens();
    emit currentTabChanged();
}

void AppController::setWindowVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (visible)
        delegate_->applicationWillEnterForeground();
    else
        delegate_->applicationDidEnterBackground();
    refreshScreens();
}

ScreenAdapter *AppController::planScreen(const QString &name) {
    const auto kind = PlanSetupScreen::kindNamed(name.toStdString());
    if (!kind) return nullptr;
    planScreens_.push_back(std::make_unique<PlanSetupScreen>(platform_.services(), *kind));
    planAdapters_.push_back(std::make_unique<ScreenAdapter>(planScreens_.back().get(), this));
    QQmlEngine::setObjectOwnership(planAdapters_.back().get(), QQmlEngine::CppOwnership);
    return planAdapters_.back().get();
}

bool AppController::openUrl(const QString &url) {
    return delegate_->application(url.toStdString());
}

void AppController::deliverNotifications() {
    platform_.services().notifications.deliverDueNotifications(*sink_);
}

void AppController::refreshScreens() {
    for (ScreenAdapter *adapter :
         {cellularAdapter_.get(), wifiAdapter_.get(), settingsAdapter_.get()})
        if (adapter != nullptr) adapter->refresh();
    emit themeChanged();
}

} // namespace byteward::gui
