// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/journey.h"

#include "byteward_version.h"
#include "model/app_settings.h"
#include "platform/files.h"
#include "storage/plist_codec.h"

#include <QGuiApplication>
#include <QImage>
#include <QQuickWindow>
#include <QTest>
#include <QWheelEvent>
#include <cstdlib>
#include <functional>
#include <sys/stat.h>

namespace byteward::test {

namespace fs = std::filesystem;

namespace {

void setEnv(const char *name, const fs::path &value) {
    ::setenv(name, value.c_str(), 1);
}

// Depth first, in the order the window stacks its items (popups last).
QQuickItem *search(QQuickItem *item, const std::function<bool(QQuickItem *)> &wanted) {
    if (item == nullptr || !item->isVisible()) return nullptr;
    if (wanted(item)) return item;
    for (QQuickItem *child : item->childItems())
        if (QQuickItem *found = search(child, wanted)) return found;
    return nullptr;
}

QString ownText(QQuickItem *item) {
    const QVariant text = item->property("text");
    return text.isValid() ? text.toString() : QString();
}

fs::path configFile(const fs::path &root) {
    return root / "config" / "byteward" / "byteward.plist";
}

std::optional<ValueDict> readDict(const fs::path &file) {
    const auto bytes = readWholeFile(file);
    if (!bytes) return std::nullopt;
    const auto value = parsePropertyList(*bytes);
    if (!value || value->asDict() == nullptr) return std::nullopt;
    return *value->asDict();
}

} // namespace

Journey::Journey() {
    const fs::path root = dir_.path();
    for (const char *sub : {"data", "config", "state", "run", "net"})
        fs::create_directories(root / sub);
    ::chmod((root / "run").c_str(), 0700);
    setEnv("XDG_DATA_HOME", root / "data");
    setEnv("XDG_CONFIG_HOME", root / "config");
    setEnv("XDG_STATE_HOME", root / "state");
    setEnv("XDG_RUNTIME_DIR", root / "run");
    setEnv("BYTEWARD_NET_ROOT", root / "net");
    // No desktop, no location service: nothing leaves the test.
    setEnv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (root / "no-session-bus").string());
    setEnv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (root / "no-system-bus").string());
    ::setenv("BYTEWARD_BOOT_TIME", "1700000000", 1);
    ::setenv("BYTEWARD_BOOT_ID", "journey-boot", 1);
    ::unsetenv("BYTEWARD_NOW");
    writeFile(root / "net" / "wwan0" / "uevent", "DEVTYPE=wwan\n");
    writeFile(root / "net" / "wlan0" / "uevent", "DEVTYPE=wlan\n");
    for (const char *name : {"wwan0", "wlan0"})
        writeFile(root / "net" / name / "flags", "0x1003\n");
    setCounters("wwan0", 1'000'000, 200'000);
    setCounters("wlan0", 5'000'000, 700'000);
    problems_ = std::make_unique<gui::QmlProblems>();
}

Journey::~Journey() {
    shell_.reset();
}

void Journey::TearDown() {
    if (running()) quit();
    EXPECT_EQ(problems_->count(), 0) << problems_->messages().join('\n').toStdString();
}

void Journey::start(const Start &options) {
    ASSERT_FALSE(running());
    if (options.now.empty())
        ::unsetenv("BYTEWARD_NOW");
    else
        ::setenv("BYTEWARD_NOW", options.now.c_str(), 1);
    gui::AppController::Options controller;
    controller.fetchIntervalSeconds = options.fetchIntervalSeconds;
    controller.locationWakeUps = false;
    shell_ = std::make_unique<gui::AppShell>(controller);
    ASSERT_TRUE(shell_->load());
    if (!options.show) return;
    // JOURNEY_SIZE (WxH) walks the same journeys in another window, for pictures.
    int width = options.width;
    int height = options.height;
    if (const QStringList size = qEnvironmentVariable("JOURNEY_SIZE").split(QLatin1Char('x'));
        size.size() == 2 && options.width == Start{}.width && options.height == Start{}.height) {
        width = size[0].toInt();
        height = size[1].toInt();
    }
    window()->resize(width, height);
    window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window()));
    window()->requestActivate();
    // Without a window manager (Xvfb) a window may never be active; keys reach it anyway.
    (void)QTest::qWaitForWindowActive(window(), 1000);
    // The app reads its files once its first frame is on screen.
    ASSERT_TRUE(QTest::qWaitFor([this] { return app().launched(); }, 5000));
    settle(80);
}

void Journey::quit() {
    shell_->app().terminate();
    shell_.reset();
    settle();
}

void Journey::settle(int milliseconds) {
    QTest::qWait(milliseconds);
    if (!running()) return;
    // Pages slide in and out; a person waits for them to stop before the next tap.
    std::function<bool(QQuickItem *)> moving = [&](QQuickItem *item) {
        if (item->inherits("QQuickStackView") && item->property("busy").toBool()) return true;
        for (QQuickItem *child : item->childItems())
            if (moving(child)) return true;
        return false;
    };
    (void)QTest::qWaitFor([&] { return !moving(window()->contentItem()); }, 3000);
}

QQuickItem *Journey::findOptional(const QString &objectName, QQuickItem *within) const {
    return search(within != nullptr ? within : window()->contentItem(),
                  [&](QQuickItem *item) { return item->objectName() == objectName; });
}

QQuickItem *Journey::find(const QString &objectName, QQuickItem *within) const {
    QQuickItem *item = findOptional(objectName, within);
    EXPECT_NE(item, nullptr) << "nothing called " << objectName.toStdString() << " on screen";
    return item;
}

QQuickItem *Journey::findText(const QString &text, QQuickItem *within) const {
    QQuickItem *item = search(within != nullptr ? within : window()->contentItem(),
                              [&](QQuickItem *candidate) { return ownText(candidate) == text; });
    EXPECT_NE(item, nullptr) << "no \"" << text.toStdString() << "\" on screen";
    return item;
}

namespace {

// The nearest Flickable around an item, by its type's properties.
QQuickItem *flickableAround(QQuickItem *item) {
    for (QQuickItem *up = item->parentItem(); up != nullptr; up = up->parentItem())
        if (up->property("contentY").isValid() && up->property("interactive").isValid() &&
            up->property("flicking").isValid())
            return up;
    return nullptr;
}

} // namespace

void Journey::click(QQuickItem *item) {
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(item->isVisible()) << item->objectName().toStdString() << " is hidden";
    ASSERT_TRUE(item->isEnabled()) << item->objectName().toStdString() << " is disabled";
    auto centre = [item] {
        return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    };
    // Scrolled out of sight: turn the wheel over the list until it shows, as a person would.
    if (QQuickItem *list = flickableAround(item)) {
        const QRectF view = list->mapRectToScene(QRectF(0, 0, list->width(), list->height()));
        for (int turn = 0; turn < 60 && !view.contains(centre()); ++turn) {
            const QPointF at = view.center();
            const int delta = centre().y() > view.bottom() ? -120 : 120;
            QWheelEvent wheel(at, window()->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, delta),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            // A list turns by each notch only when the notches come apart in time, as they do.
            static quint64 wheelTime = 0;
            wheelTime += 500;
            wheel.setTimestamp(wheelTime);
            QGuiApplication::sendEvent(window(), &wheel);
            settle(30);
            (void)QTest::qWaitFor([&] { return !list->property("moving").toBool(); }, 2000);
        }
        ASSERT_TRUE(view.contains(centre()))
            << item->objectName().toStdString() << " cannot be scrolled into view: at "
            << centre().y() << " in " << view.top() << ".." << view.bottom() << ", contentY "
            << list->property("contentY").toDouble() << " of "
            << list->property("contentHeight").toDouble();
    }
    const QPointF at = centre();
    ASSERT_TRUE(QRectF(QPointF(0, 0), window()->size()).contains(at))
        << item->objectName().toStdString() << " lies outside the window";
    QTest::mouseClick(window(), Qt::LeftButton, Qt::NoModifier, at.toPoint());
    settle();
}

void Journey::type(const QString &text) {
    for (const QChar c : text)
        QTest::keyClick(window(), c.toLatin1());
    settle();
}

void Journey::replaceText(const QString &text) {
    QTest::keyClick(window(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window(), Qt::Key_Backspace);
    type(text);
}

void Journey::skipGreetings() {
    storeDefault("firstRun", Value(Instant(std::chrono::seconds(1'765'152'000))));
    storeDefault("version", Value(std::string(kVersion)));
    storeDefault("askedForLocation", Value(true));
    storeDefault("askedForRating", Value(true));
}

void Journey::settingsOfAFirstStart() {
    // What the first start stores; marked done, so the journey's own values stay.
    const std::pair<const char *, Value> first[] = {
        {AppSettings::kLegacyConvertedKey, Value(true)},
        {"enablePushNotifications", Value(true)},
        {"enableBackgrounding", Value(true)},
        {"firstDayOfCycle", Value(1LL)},
        {"firstDayOfCycleWifi", Value(1LL)},
        {"cellularDataLimit", Value(0LL)},
        {"wifiDataLimit", Value(0LL)},
        {"startup_settings", Value(std::string("CELL"))},
        {"dataunit_settings", Value(std::string("MB"))},
        {"cellularDataLimitUnit", Value(std::string("MB"))},
        {"wifiDataLimitUnit", Value(std::string("MB"))},
        {"progressYellow", Value(std::string("AVG"))},
        {"progressRed", Value(std::string("USE100"))},
        {"appBadgeSetting", Value(std::string("BILLINGRESET"))},
    };
    for (const auto &[key, value] : first)
        storeDefault(key, value);
}

void Journey::press(Qt::Key key) {
    QTest::keyClick(window(), key);
    settle();
}

QVariantMap Journey::alert() const {
    return shell_->app().presenter()->current();
}

void Journey::expectAlert(const QString &title) {
    QObject *dialog = window()->findChild<QObject *>(QStringLiteral("alertDialog"));
    ASSERT_NE(dialog, nullptr);
    const bool open = QTest::qWaitFor(
        [&] {
            return !alert().isEmpty() &&
                   alert().value(QStringLiteral("title")).toString() == title &&
                   dialog->property("opened").toBool();
        },
        6000);
    ASSERT_TRUE(open) << "no \"" << title.toStdString() << "\" alert; showing \""
                      << alert().value(QStringLiteral("title")).toString().toStdString() << "\"";
}

void Journey::expectNoAlert() {
    // The dialog is made for the first alert.
    QObject *dialog = window()->findChild<QObject *>(QStringLiteral("alertDialog"));
    if (dialog == nullptr) return;
    const bool closed = QTest::qWaitFor([&] { return !dialog->property("visible").toBool(); }, 3000);
    EXPECT_TRUE(closed) << "the \"" << alert().value(QStringLiteral("title")).toString().toStdString()
                        << "\" alert is still up";
}

void Journey::answer(const QString &button) {
    QQuickItem *found = search(window()->contentItem(), [&](QQuickItem *item) {
        return item->objectName().startsWith(QLatin1String("alertButton")) &&
               ownText(item) == button;
    });
    ASSERT_NE(found, nullptr) << "the alert has no \"" << button.toStdString() << "\" button";
    click(found);
}

QString Journey::rowDetail(const QString &title) const {
    QQuickItem *row = search(window()->contentItem(), [&](QQuickItem *item) {
        return item->property("cell").toMap().value(QStringLiteral("title")).toString() == title;
    });
    if (row == nullptr) return QStringLiteral("<no row %1>").arg(title);
    QQuickItem *detail = search(row, [&](QQuickItem *item) {
        return item != row && item->inherits("QQuickText") && !ownText(item).isEmpty() &&
               ownText(item) != title;
    });
    return detail != nullptr ? ownText(detail) : QString();
}

QStringList Journey::rowTitles(const QString &prefix) const {
    QStringList titles;
    for (int i = 0;; ++i) {
        QQuickItem *row = findOptional(prefix + QString::number(i));
        if (row == nullptr) return titles;
        // The row's own title: a table cell's, or the list row's title role.
        QQuickItem *cell = search(row, [](QQuickItem *item) {
            return !item->property("cell").toMap().value(QStringLiteral("title")).toString().isEmpty();
        });
        titles.append(cell != nullptr
                          ? cell->property("cell").toMap().value(QStringLiteral("title")).toString()
                          : row->property("title").toString());
    }
}

QString Journey::shown(const QString &objectName) const {
    QQuickItem *item = findOptional(objectName);
    if (item == nullptr) return QStringLiteral("<%1 not shown>").arg(objectName);
    for (const char *property : {"value", "place", "text"}) {
        const QVariant v = item->property(property);
        if (v.isValid()) return v.toString();
    }
    return {};
}

QVariantMap Journey::screenLabels(const gui::ScreenAdapter &adapter) {
    return gui::ScreenAdapter::toVariant(Value(adapter.screen()->labels())).toMap();
}

QVariantList Journey::screenRows(const gui::ScreenAdapter &adapter, int section) {
    const QVariantList sections =
        gui::ScreenAdapter::toVariant(Value(adapter.screen()->sections())).toList();
    return sections.value(section).toMap().value(QStringLiteral("rows")).toList();
}

void Journey::expectDashboardMatchesController(int tab) {
    const QString suffix = tab == 0 ? QString() : QStringLiteral("Wifi");
    const QVariantMap labels = screenLabels(*(tab == 0 ? app().cellular() : app().wifi()));
    for (const QString &name :
         {QStringLiteral("lblTitle"), QStringLiteral("lblLastUpdateDate"),
          "lblMonthlyUsage" + suffix, "lblAvailable" + suffix, "lblIdealActualDiff" + suffix,
          "lblDays" + suffix, "lblRemainingUsage" + suffix, "lblProjected" + suffix,
          QStringLiteral("lblPlaceUsed")}) {
        const QVariantMap label = labels.value(name).toMap();
        if (label.value(QStringLiteral("hidden")).toBool()) {
            EXPECT_EQ(findOptional(name), nullptr) << name.toStdString() << " shows though hidden";
            continue;
        }
        const QString expected = label.value(QStringLiteral("text")).toString();
        EXPECT_EQ(shown(name).toStdString(), expected.toStdString()) << name.toStdString();
    }
}

void Journey::picture(const QString &name) {
    const QString folder = qEnvironmentVariable("JOURNEY_PICTURES");
    if (folder.isEmpty()) return;
    settle(150);
    window()->grabWindow().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

QColor Journey::pixelAt(QQuickItem *item) {
    if (item == nullptr) return {};
    const QImage picture = window()->grabWindow();
    const QPointF at = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    const qreal ratio = picture.devicePixelRatio();
    return picture.pixelColor((at * ratio).toPoint());
}

void Journey::setCounters(const std::string &interface, std::uint64_t received,
                          std::uint64_t sent) {
    const fs::path dir = dir_.path() / "net" / interface / "statistics";
    writeFile(dir / "rx_bytes", std::to_string(received) + "\n");
    writeFile(dir / "tx_bytes", std::to_string(sent) + "\n");
}

std::optional<Value> Journey::storedDefault(const std::string &key) const {
    const auto dict = readDict(configFile(dir_.path()));
    if (!dict) return std::nullopt;
    const Value *value = dict->find(key);
    return value != nullptr ? std::optional<Value>(*value) : std::nullopt;
}

void Journey::storeDefault(const std::string &key, const Value &value) {
    ValueDict dict = readDict(configFile(dir_.path())).value_or(ValueDict{});
    dict.set(key, value);
    writeFile(configFile(dir_.path()), toXmlPropertyList(Value(std::move(dict))));
}

std::optional<Value> Journey::recordField(const std::string &type, const std::string &key) const {
    const auto dict = readDict(dataDir() / ("app_data_" + type + ".plist"));
    if (!dict) return std::nullopt;
    const Value *value = dict->find(key);
    return value != nullptr ? std::optional<Value>(*value) : std::nullopt;
}

} // namespace byteward::test
