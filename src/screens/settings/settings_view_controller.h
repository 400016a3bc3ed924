// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/analytics_log.h"
#include "storage/services.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// One row of the settings tab.
struct SettingsRow {
    // Screen: opens another screen (a plan setup screen) named by the key. List: names or
    // patterns, typed separated by commas, stored as an array.
    enum class Kind { Switch, Choice, Number, Button, Screen, List };
    Kind kind = Kind::Button;
    std::string key;
    std::string title;
    std::vector<Value> values;       // a choice's stored values
    std::vector<std::string> titles; // and what the user sees for each
    bool defaultOn = true;           // a switch never stored
};

struct SettingsSection {
    std::string title;
    std::vector<SettingsRow> rows;
};

// The settings tab, generated from the settings schema: every value lives in the user defaults
// under its key; buttons go to whoever handles them (the application delegate).
class SettingsViewController {
  public:
    using ButtonHandler = std::function<void(const std::string &key)>;

    SettingsViewController(Services &services, std::vector<SettingsSection> sections,
                           AnalyticsLog *analytics = nullptr)
        : services_(services), sections_(std::move(sections)), analytics_(analytics) {}

    // Reads the schema file; empty, with `error` set, when it cannot be read.
    static std::vector<SettingsSection> loadSchema(const std::filesystem::path &file,
                                                   std::string &error);
    static std::vector<SettingsSection> parseSchema(std::string_view bytes, std::string &error);

    void viewDidLoad();
    const std::vector<SettingsSection> &sections() const { return sections_; }

    // What a row shows now: "on"/"off", a choice's title, an amount, or "" for a button.
    std::string displayValue(const SettingsRow &row) const;
    bool switchValue(const SettingsRow &row) const; // a switch never stored: its default
    // Rows offered only when they apply: the fresh period for another SIM.
    bool rowShown(const SettingsRow &row) const;
    static constexpr const char *kFreshSimPeriodKey = "FreshSimPeriod";
    int
    choiceIndex(const SettingsRow &row) const; // -1 when the stored value is none of the choices

    void setSwitch(const std::string &key, bool on);
    void setChoice(const std::string &key, int index);
    // False, and nothing stored, when the text is not a number of at least 0.
    bool setNumber(const std::string &key, const std::string &text);
    // Empty text removes the key (the built-in rules apply again).
    void setList(const std::string &key, const std::string &text);
    void tapButton(const std::string &key);

    ButtonHandler onButton;

  private:
    const SettingsRow *row(const std::string &key) const;

    Services &services_;
    std::vector<SettingsSection> sections_;
    AnalyticsLog *analytics_;
};

} // namespace byteward
