// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "gui/app_shell.h"
#include "support/test_env.h"

#include <QColor>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <gtest/gtest.h>
#include <filesystem>
#include <memory>
#include <ostream>
#include <optional>

// Readable strings in failure messages.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList &list, std::ostream *out) {
    *out << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace byteward::test {

// A person at the real window: the app started as `byteward` starts it, over private XDG
// directories and a fake counter tree, driven only by pointer and key events on the items it
// shows. A journey fails on any QML warning.
class Journey : public ::testing::Test {
  protected:
    struct Start {
        int width = 360;
        int height = 720;
        // The app's own sampling timer; off unless a journey is about it.
        int fetchIntervalSeconds = 0;
        // BYTEWARD_NOW for this start; empty keeps the real clock.
        std::string now;
        // False: the window is made but not shown, and the app not launched yet.
        bool show = true;
    };

    Journey();
    ~Journey() override;
    void TearDown() override;

    void start(const Start &options);
    void start() { start(Start{}); }
    // Quits as the window's close does: the last sample, then everything goes.
    void quit();
    bool running() const { return shell_ != nullptr; }

    gui::AppController &app() { return shell_->app(); }
    QQuickWindow *window() const { return shell_->window(); }

    // The visible item of that name (the first in the window's order); fails when none shows.
    QQuickItem *find(const QString &objectName, QQuickItem *within = nullptr) const;
    QQuickItem *findOptional(const QString &objectName, QQuickItem *within = nullptr) const;
    // The visible item whose own text is exactly this.
    QQuickItem *findText(const QString &text, QQuickItem *within = nullptr) const;
    // A left click in the middle of the item, as a pointer does; then the app settles.
    void click(QQuickItem *item);
    void click(const QString &objectName) { click(find(objectName)); }
    void clickText(const QString &text) { click(findText(text)); }
    // Keys to whatever holds the keyboard focus.
    void type(const QString &text);
    void press(Qt::Key key);
    // Lets queued work, dialogs and pages come and go.
    void settle(int milliseconds = 40);

    // The alert on screen ({title, message, buttons...}), empty when none.
    QVariantMap alert() const;
    // Waits for the dialog with this title to be open; fails when it does not come.
    void expectAlert(const QString &title);
    void expectNoAlert();
    // Presses the dialog's button with this text.
    void answer(const QString &button);

    void selectTab(int index) { click(QStringLiteral("tab%1").arg(index)); }
    // The detail a table row titled so shows (the first such row on screen).
    QString rowDetail(const QString &title) const;
    // The titles of the rows of a list, in the order shown: items named prefix0, prefix1...
    QStringList rowTitles(const QString &prefix) const;
    // The text a dashboard label shows on the tab in front.
    QString shown(const QString &objectName) const;
    // What a screen holds, read from the screen itself rather than the adapter's copy.
    static QVariantMap screenLabels(const gui::ScreenAdapter &adapter);
    static QVariantList screenRows(const gui::ScreenAdapter &adapter, int section = 0);
    // Every dashboard figure on screen equals what its controller holds.
    void expectDashboardMatchesController(int tab);
    // Saves what the window shows as NAME.png when JOURNEY_PICTURES names a folder.
    void picture(const QString &name);
    // The colour the window draws at the middle of this item.
    QColor pixelAt(QQuickItem *item);

    // Writes what a person who has started the app before and answered its questions has.
    void skipGreetings();
    // The settings a first start stores, so a journey can change some before it starts.
    void settingsOfAFirstStart();
    // Replaces the whole text of the field with the keyboard focus.
    void replaceText(const QString &text);

    void setCounters(const std::string &interface, std::uint64_t received, std::uint64_t sent);
    // The stored value of a user default, read as another process would.
    std::optional<Value> storedDefault(const std::string &key) const;
    void storeDefault(const std::string &key, const Value &value);
    // A usage record's stored field.
    std::optional<Value> recordField(const std::string &type, const std::string &key) const;

    std::filesystem::path dataDir() const { return dir_.path() / "data" / "byteward"; }
    std::filesystem::path root() const { return dir_.path(); }

  private:
    TempDir dir_;
    std::unique_ptr<gui::QmlProblems> problems_;
    std::unique_ptr<gui::AppShell> shell_;
};

} // namespace byteward::test
