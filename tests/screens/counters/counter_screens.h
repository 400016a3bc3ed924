// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/app_settings.h"
#include "model/custom_counter.h"
#include "platform/analytics_log.h"
#include "screens/dashboard/main_view_controller.h"
#include "screens/kit/notification_center.h"
#include "support/recording_navigator.h"
#include "support/recording_presenter.h"
#include "support/test_env.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace byteward::test {

// What the counter screens are built with: real files and calendar, recorded navigation,
// alerts, announcements and analytics.
struct CounterScreens {
    explicit CounterScreens(const std::string &zone = "UTC", const std::string &locale = "en_US")
        : env(zone, locale), analytics(env.paths(), env.clock) {}

    Services &services() { return env.services(); }
    ScreenContext screens() { return {&presenter, &events, &analytics}; }
    std::vector<std::string> stored() {
        std::vector<std::string> names;
        for (const auto &c : CustomCounter::getAllCustomCounters(services()))
            names.push_back(c.name);
        return names;
    }
    // The counter as stored now, by name.
    CustomCounter storedNamed(const std::string &name) {
        for (auto &c : CustomCounter::getAllCustomCounters(services()))
            if (c.name == name) return c;
        return {};
    }
    // The settings' display unit, after the settings' one-time defaults.
    void setDisplayUnit(const std::string &unit) {
        AppSettings(services()).getSettings();
        env.defaults().setObject("dataunit_settings", Value(unit));
        env.defaults().synchronize();
    }
    // Stores a counter that tracks both types with these amounts (bytes, sent and received).
    CustomCounter add(const std::string &name, double cellularSent = 0, double cellularReceived = 0,
                      double wifiSent = 0, double wifiReceived = 0) {
        CustomCounter c = CustomCounter::initWithName(name, env.clock.current);
        c.addDataToCounterWithDataSent(cellularSent, cellularReceived, 1);
        c.addDataToCounterWithDataSent(wifiSent, wifiReceived, 2);
        EXPECT_TRUE(CustomCounter::addCustomCounter(services(), c));
        return c;
    }

    TestEnv env;
    RecordingNavigator navigator;
    RecordingPresenter presenter;
    NotificationCenter events;
    AnalyticsLog analytics;
};

} // namespace byteward::test
