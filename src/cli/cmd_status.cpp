// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/text_format.h"
#include "screens/dashboard/dashboard_screen.h"
#include "screens/dashboard/main_view_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace byteward::cli {

namespace {

using Json = nlohmann::ordered_json;

Json barJson(const UsageVisualView &bar, const AppSettings &settings) {
    auto number = [](const std::optional<float> &v) {
        return v ? Json(static_cast<double>(*v)) : Json(nullptr);
    };
    return {{"currentUsagePercent", number(bar.currentUsagePercent)},
            {"idealUsagePercent", number(bar.idealUsagePercent)},
            {"usageText", bar.usageText},
            {"diffText", bar.diffText},
            {"dataType", bar.dataType},
            {"colour", bar.colourLetter(settings)}};
}

Json statusJson(MainViewController &c, Services &services) {
    Json out;
    Json hidden = Json::array();
    out["dataType"] = c.isCellularMode ? "cellular" : "wifi";
    // The same labels, under the same names, as the app's dashboard binds to.
    for (const auto &[name, label] : DashboardScreen(c, services).labels()) {
        const ValueDict &fields = *label.asDict();
        out[name] = fields.find("text")->stringValue();
        if (fields.find("hidden")->boolValue()) hidden.push_back(name);
    }
    out["hiddenLabels"] = hidden;
    out["detailValuesCell"] = c.detailValuesCell;
    out["detailValuesWiFi"] = c.detailValuesWiFi;
    out["detailValues"] = c.detailValues;
    Json rows = Json::array();
    for (const auto &[title, value] : c.detailRows())
        rows.push_back({{"title", title}, {"value", value}});
    for (const auto &[title, value] : c.extraDetailRows())
        rows.push_back({{"title", title}, {"value", value}});
    out["detailRows"] = rows;
    Json notices = Json::array();
    for (const auto &[title, text] : c.notices())
        notices.push_back({{"title", title}, {"text", text}});
    out["notices"] = notices;
    if (c.isCellularMode) {
        const AppData &record = c.appDataCellular();
        out["roaming"] = {{"period", record.dataRoamingThisMonth.value_or(0)},
                          {"today", record.dataRoamingToday.value_or(0)}};
    }
    out["appBadgeNumber"] =
        c.appBadgeNumber ? Json(static_cast<double>(*c.appBadgeNumber)) : Json(nullptr);
    out["visualView"] = barJson(c.visualView, c.appSettings());
    out["visualViewWifi"] = barJson(c.visualViewWifi, c.appSettings());
    return out;
}

bool useColour() {
    return isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr;
}

// The usage bar in text: filled to the used percent in the bar's colour, '|' at the ideal.
std::string textBar(const UsageVisualView &bar, const AppSettings &settings, bool colour) {
    constexpr int kWidth = 40;
    const float used = bar.currentUsagePercent.value_or(0);
    const float ideal = bar.idealUsagePercent.value_or(0);
    const int filled = std::clamp(static_cast<int>(std::lround(used / 100.0f * kWidth)), 0, kWidth);
    const int marker =
        std::clamp(static_cast<int>(std::lround(ideal / 100.0f * kWidth)), 0, kWidth - 1);
    const std::string letter = bar.colourLetter(settings);
    const char *ansi = letter == "R" ? "\033[31m" : letter == "Y" ? "\033[33m" : "\033[32m";
    std::string out = "[";
    for (int i = 0; i < kWidth; ++i) {
        const bool isFilled = i < filled;
        if (colour && isFilled && (i == 0 || !(i - 1 < filled))) out += ansi;
        if (colour && !isFilled && i == filled && filled > 0) out += "\033[0m";
        out += i == marker ? "|" : isFilled ? "#" : ".";
    }
    if (colour && filled == kWidth) out += "\033[0m";
    return out + "] " + (bar.usageText.empty() ? "" : bar.usageText) + " (" + letter + ")";
}

void printDashboard(MainViewController &c) {
    const bool cellularType = c.isCellularMode;
    const CycleLabels &l = cellularType ? c.cellular : c.wifi;
    const UsageVisualView &bar = cellularType ? c.visualView : c.visualViewWifi;
    const std::string unit = AppSettings::text(c.appSettings().displayUnit);
    std::cout << c.lblTitle.text << "    " << c.lblLastUpdateDate.text << '\n';
    if (l.lblNextBillingDate.hidden) {
        std::cout << tr("No billing cycle set.") << '\n';
    } else {
        std::cout << textBar(bar, c.appSettings(), useColour()) << '\n';
        std::cout << l.lblMonthlyUsage.text << ' ' << unit << "  " << l.lblAvailable.text << "    "
                  << l.lblIdealActualDiff.text << '\n';
        const auto daysLeft =
            static_cast<unsigned long>(std::max(0LL, std::atoll(l.lblDays.text.c_str())));
        std::cout << format(tr("Period %s"), l.lblCurrentPeriod.text.c_str()) << "    "
                  << format(trn("%s day left", "%s days left", daysLeft), l.lblDays.text.c_str())
                  << "    " << format(tr("Next bill %s"), l.lblNextBillingDate.text.c_str())
                  << '\n';
        std::cout << format(tr("Suggested daily %s"), l.lblDailySuggested.text.c_str()) << "    "
                  << format(tr("Projected %s"), l.lblProjected.text.c_str()) << "    "
                  << format(tr("Remaining %s"), l.lblRemainingUsage.text.c_str()) << '\n';
    }
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto &[title, value] : c.detailRows())
        rows.emplace_back(title, value);
    for (const auto &row : c.extraDetailRows())
        rows.push_back(row);
    // Padded by characters, not bytes: a translated title may hold umlauts.
    auto width = [](const std::string &text) {
        return static_cast<std::size_t>(
            std::count_if(text.begin(), text.end(), [](char ch) { return (ch & 0xC0) != 0x80; }));
    };
    std::size_t column = 18;
    for (const auto &row : rows)
        column = std::max(column, width(row.first));
    for (const auto &[title, value] : rows)
        std::cout << "  " << title << std::string(column - width(title), ' ') << ' ' << value
                  << '\n';
}

// Printed once above both dashboards.
void printNotices(MainViewController &c) {
    for (const auto &[title, text] : c.notices())
        std::cout << title << ": " << text << "\n\n";
}

} // namespace

void addStatusCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand("status", tr("Show what the dashboards show"));
    struct Options {
        std::string type;
        bool json = false;
        bool noUpdate = false;
    };
    auto o = std::make_shared<Options>();
    command
        ->add_option("type", o->type,
                     tr("cellular or wifi (default: both, or cellular with --json)"))
        ->check(CLI::IsMember({"cellular", "wifi"}));
    command->add_flag("--json", o->json, tr("Print JSON"));
    command->add_flag("--no-update", o->noUpdate,
                      tr("Repaint from the stored records without taking a sample"));
    command->callback([&action, o] {
        action = [o](Context &context) {
            std::vector<bool> modes;
            if (o->type.empty() && !o->json)
                modes = {true, false};
            else
                modes = {o->type != kWiFi};
            bool sampled = false;
            for (const bool cellularMode : modes) {
                MainViewController controller(context.services());
                controller.isCellularMode = cellularMode;
                // One sample per run: the second dashboard repaints from what the first stored.
                if (o->noUpdate || sampled) {
                    controller.repaintView(cellularMode);
                } else {
                    controller.renderView();
                    sampled = true;
                }
                if (o->json) {
                    std::cout << statusJson(controller, context.services()).dump(2) << '\n';
                } else {
                    if (!cellularMode && modes.size() > 1) std::cout << '\n';
                    if (cellularMode || modes.size() == 1) printNotices(controller);
                    printDashboard(controller);
                }
            }
            return 0;
        };
    });
}

void addWidgetCommand(CLI::App &app, Action &action) {
    auto *command =
        app.add_subcommand("widget", tr("Show the values the home-screen widget reads"));
    auto json = std::make_shared<bool>(false);
    auto waybar = std::make_shared<bool>(false);
    auto *jsonFlag = command->add_flag("--json", *json, tr("Print JSON"));
    command->add_flag("--waybar", *waybar, tr("Print the JSON a Waybar custom module reads"))
        ->excludes(jsonFlag);
    command->callback([&action, json, waybar] {
        action = [json, waybar](Context &context) {
            Services &services = context.services();
            // Bring the values up to the minute from the stored records.
            MainViewController controller(services);
            controller.repaintView(true);
            const ValueDict values = services.widgetDefaults.dictionaryRepresentation();
            auto text = [&values](const char *key) {
                const Value *v = values.find(key);
                return v != nullptr ? v->stringValue() : std::string();
            };
            auto number = [&values](const char *key) {
                const Value *v = values.find(key);
                return v != nullptr ? v->floatValue() : 0.0f;
            };
            if (*waybar) {
                const std::string letter = UsageVisualView::colourLetter(
                    number("currentUsagePercent"), number("idealUsagePercent"),
                    text("progressYellow"), text("progressRed"));
                const std::string unit = AppSettings::text(controller.appSettings().displayUnit);
                const std::string usage = text("usageText");
                Json out;
                out["text"] = usage.empty() ? text("lblMonthlyUsage") + " " + unit : usage;
                out["tooltip"] = tr("Cellular: ") + text("lblMonthlyUsage") + " " + unit +
                                 (text("lblAvailable").empty() ? "" : " " + text("lblAvailable"));
                out["class"] = letter == "R" ? "red" : letter == "Y" ? "yellow" : "green";
                out["percentage"] = std::clamp(
                    static_cast<int>(std::lround(number("currentUsagePercent"))), 0, 100);
                std::cout << out.dump() << '\n';
                return 0;
            }
            Json out = Json::object();
            for (const auto &[key, value] : values) {
                if (value.isBool())
                    out[key] = value.boolValue();
                else if (value.isReal() || value.isInteger())
                    out[key] = value.doubleValue();
                else
                    out[key] = value.stringValue();
            }
            printObject(out, *json);
            return 0;
        };
    });
}

} // namespace byteward::cli
