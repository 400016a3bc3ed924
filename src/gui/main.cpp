// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// byteward: the Qt Quick application.
#include "byteward_version.h"
#include "gui/app_controller.h"
#include "gui/app_shell.h"
#include "gui/quit_signals.h"
#include "gui/status_icon.h"
#include "platform/i18n.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMouseEvent>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(BytewardPlugin)

namespace {

void settle(int milliseconds = 50) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Resident memory now, in KiB, from /proc/self/status.
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// For measuring the start: report and leave at once when the first frame is on screen.
void quitAtFirstFrame(QQuickWindow *window) {
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [] {
            std::printf("first frame; resident %ld KiB\n", residentKiB());
            std::fflush(stdout);
            // Nothing to tear down or save: the time measured ends here.
            ::_exit(0);
        },
        Qt::DirectConnection);
}

QSize parseSize(const QString &text, bool &ok) {
    const QStringList parts = text.split(QLatin1Char('x'));
    ok = parts.size() == 2;
    const int width = ok ? parts[0].toInt(&ok) : 0;
    bool heightOk = false;
    const int height = ok ? parts[1].toInt(&heightOk) : 0;
    ok = ok && heightOk && width > 0 && height > 0;
    return {width, height};
}

// Checks that the dashboards show what their screens hold, and that choosing a tab in the tab
// bar reaches the application. Returns the number of mismatches, each reported.
int checkBindings(QQuickWindow *window, byteward::gui::AppController &app) {
    int mismatches = 0;
    auto report = [&mismatches](const QString &what) {
        std::cerr << "byteward: self-test: " << what.toStdString() << '\n';
        ++mismatches;
    };
    for (int tab = 0; tab < 2; ++tab) {
        app.selectTab(tab);
        settle();
        const QString stackName = QStringLiteral("stack%1").arg(tab);
        auto *stack = window->findChild<QQuickItem *>(stackName);
        if (stack == nullptr) stack = window->contentItem()->findChild<QQuickItem *>(stackName);
        auto *page =
            stack != nullptr ? stack->property("currentItem").value<QQuickItem *>() : nullptr;
        if (page == nullptr) {
            report(QStringLiteral("no dashboard page on tab %1").arg(tab));
            continue;
        }
        const QString suffix = tab == 0 ? QString() : QStringLiteral("Wifi");
        // Straight from the screen, not the adapter's copy: a copy gone stale shows here.
        const byteward::Screen *screen = (tab == 0 ? app.cellular() : app.wifi())->screen();
        const QVariantMap labels =
            byteward::gui::ScreenAdapter::toVariant(byteward::Value(screen->labels())).toMap();
        const QStringList shown = {"lblTitle",
                                   "lblLastUpdateDate",
                                   "lblMonthlyUsage" + suffix,
                                   "lblAvailable" + suffix,
                                   "lblIdealActualDiff" + suffix,
                                   "lblDays" + suffix,
                                   "lblRemainingUsage" + suffix,
                                   "lblDailySuggested" + suffix,
                                   "lblProjected" + suffix,
                                   "lblPlaceUsed"};
        for (const QString &name : shown) {
            QObject *item = page->findChild<QObject *>(name);
            if (item == nullptr) {
                report(name + " is not on the page");
                continue;
            }
            QVariant text = item->property("value");
            if (!text.isValid()) text = item->property("place");
            if (!text.isValid()) text = item->property("text");
            const QString expected =
                labels.value(name).toMap().value(QStringLiteral("text")).toString();
            if (text.toString() != expected)
                report(QStringLiteral("%1 shows \"%2\" but the screen holds \"%3\"")
                           .arg(name, text.toString(), expected));
        }
    }
    std::function<QQuickItem *(QQuickItem *)> tabIn = [&](QQuickItem *item) -> QQuickItem * {
        if (item->objectName() == QLatin1String("tab3")) return item;
        for (QQuickItem *child : item->childItems())
            if (QQuickItem *found = tabIn(child)) return found;
        return nullptr;
    };
    QQuickItem *tab = tabIn(window->contentItem());
    if (tab == nullptr) {
        report(QStringLiteral("no tab bar"));
    } else {
        // A click on the tab, as the pointer gives it.
        const QPointF at = tab->mapToScene(QPointF(tab->width() / 2, tab->height() / 2));
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent click(type, at, window->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(window, &click);
        }
        settle();
        if (app.currentTab() != 3)
            report(QStringLiteral("choosing a tab did not reach the application"));
    }
    app.selectTab(0);
    return mismatches;
}

// The screen of the page in front of a stack ("stack2", "modalStack").
byteward::gui::ScreenAdapter *screenInFront(QQuickWindow *window, const char *stackName) {
    auto *stack = window->findChild<QQuickItem *>(QLatin1String(stackName));
    auto *page = stack != nullptr ? stack->property("currentItem").value<QQuickItem *>() : nullptr;
    return page != nullptr ? page->property("screen").value<byteward::gui::ScreenAdapter *>()
                           : nullptr;
}

// Opens the screens behind the counters and history tabs as a person would, taking a picture of
// each: a counter's details, the editor in edit and add mode, a period's days, the cellular
// applications and the largest one's days.
void visitDeeperScreens(QQuickWindow *window, byteward::gui::AppController &app,
                        const QString &directory) {
    auto picture = [&](const char *name) {
        settle();
        if (!directory.isEmpty())
            window->grabWindow().save(QDir(directory).filePath(QLatin1String(name)));
    };
    auto act = [](byteward::gui::ScreenAdapter *screen, const char *action,
                  const QVariantMap &argument = {}) {
        if (screen != nullptr) screen->perform(QLatin1String(action), argument);
    };
    app.selectTab(2);
    settle();
    act(app.counters(), "didSelectRow", {{"row", 0}});
    picture("counters-detail.png");
    act(screenInFront(window, "stack2"), "showEditView");
    picture("counters-edit.png");
    act(screenInFront(window, "modalStack"), "cancelAndDismissView");
    settle();
    act(screenInFront(window, "stack2"), "dismissView");
    settle();
    act(app.counters(), "showAddMode");
    picture("counters-add.png");
    act(screenInFront(window, "modalStack"), "cancelAndDismissView");
    app.selectTab(3);
    settle();
    act(app.history(), "select", {{"row", 0}});
    picture("history-detail.png");
    QMetaObject::invokeMethod(window, "popToRoot");
    settle();
    app.showHistoryChart();
    picture("history-chart.png");
    act(screenInFront(window, "modalStack"), "dismissView");
    settle();
    app.selectTab(0);
    settle();
    act(app.cellular(), "showApps");
    picture("apps.png");
    act(screenInFront(window, "stack0"), "select", {{"row", 0}});
    picture("apps-days.png");
    QMetaObject::invokeMethod(window, "popToRoot");
    settle();
}

// Shows each tab in turn (and the dashboard turned to landscape), saving pictures when asked.
int visitEveryTab(QQuickWindow *window, byteward::gui::AppController &app, const QString &directory,
                  QSize size) {
    const char *names[] = {"cellular", "wifi", "counters", "history", "settings"};
    window->resize(size);
    for (int tab = 0; tab < 5; ++tab) {
        app.selectTab(tab);
        settle();
        if (!directory.isEmpty() && !window->grabWindow().save(QDir(directory).filePath(
                                        QString::fromLatin1(names[tab]) + ".png"))) {
            std::cerr << "byteward: cannot write pictures to " << directory.toStdString() << '\n';
            return 1;
        }
    }
    // Each plan setup screen, opened from the settings tab.
    for (const char *plan : {"PlanType", "StartDay", "Days", "CustomDatePicker",
                             "CustomWiFiDatePicker", "StartDate", "Quota", "CurrentUsage"}) {
        app.showPlanScreen(QString::fromLatin1(plan));
        settle();
        if (!directory.isEmpty())
            window->grabWindow().save(
                QDir(directory).filePath(QStringLiteral("settings-%1.png").arg(plan)));
        app.closePlanScreen();
        settle();
    }
    visitDeeperScreens(window, app, directory);
    app.selectTab(0);
    window->resize(std::max(size.width(), size.height()), std::min(size.width(), size.height()));
    settle(100);
    if (!directory.isEmpty())
        window->grabWindow().save(QDir(directory).filePath("cellular-landscape.png"));
    window->resize(size);
    settle();
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    // Offscreen runs need no display.
    bool offscreen = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--self-test" || arg == "--screenshot") offscreen = true;
    }
    if (offscreen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // Qt Charts draws through widgets: the chart needs a full QApplication.
    QApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Byteward"));
    QGuiApplication::setApplicationVersion(QString::fromLatin1(byteward::kVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.byteward.Byteward"));
    std::setlocale(LC_NUMERIC, "C");
    byteward::bindTranslations();

    QCommandLineParser parser;
    const auto text = [](const char *english) { return QString::fromUtf8(english); };
    parser.setApplicationDescription(
        text(byteward::tr("Byteward: how much cellular and Wi-Fi data this machine moves")));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption selfTest(
        QStringLiteral("self-test"),
        text(byteward::tr("Load every screen offscreen and fail on any QML problem")));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        text(byteward::tr("Save a picture of every tab in DIR")),
                                        QStringLiteral("DIR"));
    const QCommandLineOption size(QStringLiteral("size"),
                                  text(byteward::tr("Window size for pictures, such as 360x720")),
                                  QStringLiteral("WxH"), QStringLiteral("360x720"));
    const QCommandLineOption firstFrame(
        QStringLiteral("first-frame"),
        text(byteward::tr("Quit when the first frame is shown, printing the memory held (to "
                          "measure the start)")));
    parser.addOptions({selfTest, screenshot, size, firstFrame});
    parser.addPositionalArgument(QStringLiteral("url"),
                                 text(byteward::tr("A korvalisbyteward:// address")), "[url]");
    parser.process(application);

    bool sizeOk = false;
    const QSize windowSize = parseSize(parser.value(size), sizeOk);
    if (!sizeOk) {
        std::cerr << "byteward: --size takes WIDTHxHEIGHT, such as 360x720\n";
        return 2;
    }
    const bool testing = parser.isSet(selfTest);
    const QString pictures = parser.value(screenshot);
    if (!pictures.isEmpty() && !QDir().mkpath(pictures)) {
        std::cerr << "byteward: cannot create " << pictures.toStdString() << '\n';
        return 1;
    }
    std::optional<byteward::gui::QmlProblems> problems;
    if (testing) problems.emplace();

    try {
        byteward::gui::AppController::Options options;
        if (offscreen) {
            options.sampleOnRender = testing; // pictures show what the files hold
            options.showAlerts = false;
            options.fetchIntervalSeconds = 0;
            options.locationWakeUps = false;
        }
        // From before the first sample: a signal while starting still ends with a last one.
        byteward::gui::QuitOnSignals quitOnSignals;
        byteward::gui::AppShell shell(options);
        byteward::gui::AppController &app = shell.app();
        for (const QString &url : parser.positionalArguments())
            app.openUrl(url);
        // Pictures and the self-test show the figures from their first frame on.
        if (!shell.load(offscreen ? byteward::gui::AppShell::Launch::BeforeWindow
                                  : byteward::gui::AppShell::Launch::AfterFirstFrame))
            return 1;
        QQuickWindow *window = shell.window();
        if (parser.isSet(firstFrame)) quitAtFirstFrame(window);
        if (offscreen) {
            window->show();
            const int failed = visitEveryTab(window, app, pictures, windowSize);
            if (testing) {
                const int mismatches = checkBindings(window, app);
                const int total = problems->count() + mismatches;
                if (total > 0) {
                    std::cerr << "byteward: self-test found " << total << " QML problem(s)\n";
                    return 1;
                }
                std::cout << "self-test passed\n";
            }
            return failed;
        }
        // Closing the window still quits: the icon is a view of the usage, not a way to keep the
        // app running unseen (the daemon does that). It asks the desktop for a status area, so
        // it comes once the window is up and the figures it shows are known.
        std::optional<byteward::gui::StatusIcon> statusIcon;
        const auto showIcon = [&] {
            if (!statusIcon) statusIcon.emplace(app, *window);
        };
        if (app.launched())
            showIcon();
        else
            QObject::connect(&app, &byteward::gui::AppController::launchedChanged, window,
                             showIcon);
        return QGuiApplication::exec();
    } catch (const std::exception &error) {
        std::cerr << "byteward: " << error.what() << '\n';
        return 1;
    }
}
