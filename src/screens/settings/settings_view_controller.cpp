// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/settings/settings_view_controller.h"

#include "model/cellular_link.h"
#include "model/text_format.h"
#include "platform/files.h"
#include "platform/i18n.h"
#include "storage/plist_codec.h"

#include <cmath>
#include <cstdlib>

namespace byteward {

namespace {

const char *const kWeekdays[] = {N_("Sunday"),   N_("Monday"), N_("Tuesday"), N_("Wednesday"),
                                 N_("Thursday"), N_("Friday"), N_("Saturday")};

// Choice lists shared by several rows.
bool namedChoices(const std::string &name, SettingsRow &row) {
    if (name == "units") {
        for (const char *unit : {"KB", "MB", "GB"}) {
            row.values.emplace_back(unit);
            row.titles.emplace_back(unit);
        }
        return true;
    }
    if (name == "cycles") {
        for (int day = 1; day <= 31; ++day) {
            row.values.emplace_back(day);
            row.titles.push_back(format(tr("Day %d of the month"), day));
        }
        for (int weekday = 0; weekday < 7; ++weekday) {
            row.values.emplace_back(101 + weekday);
            row.titles.push_back(format(tr("Every %s"), tr(kWeekdays[weekday])));
        }
        row.values.emplace_back(1001);
        row.titles.emplace_back(tr("Every day"));
        row.values.emplace_back(9999);
        row.titles.emplace_back(tr("Custom length"));
        return true;
    }
    return false;
}

std::string text(const ValueDict &d, const char *key) {
    const Value *v = d.find(key);
    return v != nullptr ? v->stringValue() : std::string();
}

} // namespace

std::vector<SettingsSection> SettingsViewController::loadSchema(const std::filesystem::path &file,
                                                                std::string &error) {
    const auto bytes = readWholeFile(file, &error);
    if (!bytes) {
        if (error.empty()) error = "the settings schema " + file.string() + " does not exist";
        return {};
    }
    return parseSchema(*bytes, error);
}

std::vector<SettingsSection> SettingsViewController::parseSchema(std::string_view bytes,
                                                                 std::string &error) {
    std::vector<SettingsSection> sections;
    const auto root = parsePropertyList(bytes);
    if (!root || !root->isArray()) {
        error = "the settings schema is not a property list of groups";
        return {};
    }
    for (const Value &group : *root->asArray()) {
        const ValueDict *g = group.asDict();
        if (g == nullptr) continue;
        // The schema's titles are message ids: shown in the user's language.
        SettingsSection section{tr(text(*g, "title")), {}};
        const Value *items = g->find("items");
        if (items == nullptr || !items->isArray()) continue;
        for (const Value &item : *items->asArray()) {
            const ValueDict *d = item.asDict();
            if (d == nullptr) continue;
            SettingsRow row;
            const std::string kind = text(*d, "type");
            row.kind = kind == "switch"   ? SettingsRow::Kind::Switch
                       : kind == "choice" ? SettingsRow::Kind::Choice
                       : kind == "number" ? SettingsRow::Kind::Number
                       : kind == "screen" ? SettingsRow::Kind::Screen
                       : kind == "list"   ? SettingsRow::Kind::List
                                          : SettingsRow::Kind::Button;
            row.key = text(*d, "key");
            row.title = tr(text(*d, "title"));
            if (const Value *on = d->find("default"); on != nullptr && on->isBool())
                row.defaultOn = on->boolValue();
            if (!namedChoices(text(*d, "choices"), row)) {
                if (const Value *values = d->find("values"); values != nullptr && values->isArray())
                    row.values = *values->asArray();
                if (const Value *titles = d->find("titles"); titles != nullptr && titles->isArray())
                    for (const Value &t : *titles->asArray())
                        row.titles.push_back(tr(t.stringValue()));
            }
            row.titles.resize(row.values.size());
            section.rows.push_back(std::move(row));
        }
        sections.push_back(std::move(section));
    }
    return sections;
}

void SettingsViewController::viewDidLoad() {
    if (analytics_ != nullptr) analytics_->logEvent("Viewing Settings tab");
}

const SettingsRow *SettingsViewController::row(const std::string &key) const {
    for (const auto &section : sections_)
        for (const auto &r : section.rows)
            if (r.key == key) return &r;
    return nullptr;
}

bool SettingsViewController::switchValue(const SettingsRow &r) const {
    const auto stored = services_.defaults.objectForKey(r.key);
    return stored ? stored->boolValue() : r.defaultOn;
}

bool SettingsViewController::rowShown(const SettingsRow &r) const {
    return r.key != kFreshSimPeriodKey || otherSimInUse(services_);
}

int SettingsViewController::choiceIndex(const SettingsRow &r) const {
    const auto stored = services_.defaults.objectForKey(r.key);
    if (!stored) return -1;
    for (std::size_t i = 0; i < r.values.size(); ++i) {
        // Settings screens may have stored numbers as text: compare by their text.
        if (r.values[i].stringValue() == stored->stringValue()) return static_cast<int>(i);
    }
    return -1;
}

std::string SettingsViewController::displayValue(const SettingsRow &r) const {
    switch (r.kind) {
    case SettingsRow::Kind::Switch:
        return switchValue(r) ? tr("on") : tr("off");
    case SettingsRow::Kind::Choice: {
        const int index = choiceIndex(r);
        if (index >= 0) return r.titles[static_cast<std::size_t>(index)];
        const auto stored = services_.defaults.objectForKey(r.key);
        return stored ? stored->stringValue() : std::string();
    }
    case SettingsRow::Kind::Number: {
        const auto stored = services_.defaults.objectForKey(r.key);
        return stored ? stored->stringValue() : "0";
    }
    case SettingsRow::Kind::List: {
        const auto stored = services_.defaults.objectForKey(r.key);
        if (!stored) return {};
        if (const ValueArray *items = stored->asArray()) {
            std::string text;
            for (const auto &item : *items)
                text += (text.empty() ? "" : ", ") + item.stringValue();
            return text;
        }
        return stored->stringValue();
    }
    case SettingsRow::Kind::Screen:
    case SettingsRow::Kind::Button:
        break;
    }
    return {};
}

void SettingsViewController::setList(const std::string &key, const std::string &text) {
    ValueArray items;
    std::string item;
    auto flush = [&] {
        const auto first = item.find_first_not_of(' ');
        const auto last = item.find_last_not_of(' ');
        if (first != std::string::npos) items.emplace_back(item.substr(first, last - first + 1));
        item.clear();
    };
    for (const char c : text) {
        if (c == ',')
            flush();
        else
            item += c;
    }
    flush();
    if (items.empty())
        services_.defaults.removeObjectForKey(key);
    else
        services_.defaults.setObject(key, Value(std::move(items)));
    services_.defaults.synchronize();
}

void SettingsViewController::setSwitch(const std::string &key, bool on) {
    services_.defaults.setObject(key, Value(on));
    services_.defaults.synchronize();
}

void SettingsViewController::setChoice(const std::string &key, int index) {
    const SettingsRow *r = row(key);
    if (r == nullptr || index < 0 || static_cast<std::size_t>(index) >= r->values.size()) return;
    services_.defaults.setObject(key, r->values[static_cast<std::size_t>(index)]);
    services_.defaults.synchronize();
}

bool SettingsViewController::setNumber(const std::string &key, const std::string &typed) {
    char *end = nullptr;
    const double number = std::strtod(typed.c_str(), &end);
    while (end != nullptr && *end == ' ')
        ++end;
    if (typed.empty() || end == typed.c_str() || *end != '\0' || !std::isfinite(number) ||
        number < 0)
        return false;
    // Whole amounts stay integers, as the one-time defaults wrote them.
    const bool whole = number == std::floor(number) && number < 9e15;
    services_.defaults.setObject(key,
                                 whole ? Value(static_cast<long long>(number)) : Value(number));
    services_.defaults.synchronize();
    return true;
}

void SettingsViewController::tapButton(const std::string &key) {
    if (key == kFreshSimPeriodKey) {
        if (FileResult started = startPeriodForNewSim(services_); !started)
            services_.log.line("Settings: no fresh period for the new SIM: " + started.error);
        return;
    }
    if (onButton) onButton(key);
}

} // namespace byteward
