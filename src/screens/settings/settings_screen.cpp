// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/settings/settings_screen.h"

#include "platform/i18n.h"

namespace byteward {

namespace {

const char *kindName(SettingsRow::Kind kind) {
    switch (kind) {
    case SettingsRow::Kind::Switch:
        return "switch";
    case SettingsRow::Kind::Choice:
        return "choice";
    case SettingsRow::Kind::Number:
        return "number";
    case SettingsRow::Kind::Screen:
        return "screen";
    case SettingsRow::Kind::List:
        return "list";
    case SettingsRow::Kind::Button:
        break;
    }
    return "button";
}

std::string field(const Value &argument, const char *key) {
    const ValueDict *d = argument.asDict();
    const Value *v = d != nullptr ? d->find(key) : nullptr;
    return v != nullptr ? v->stringValue() : std::string();
}

} // namespace

ValueDict SettingsScreen::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(tr("Settings")));
    return out;
}

ValueArray SettingsScreen::sections() const {
    ValueArray out;
    for (const auto &section : controller_.sections()) {
        ValueArray rows;
        for (const auto &row : section.rows) {
            if (!controller_.rowShown(row)) continue;
            ValueDict r;
            r.set("key", Value(row.key));
            r.set("title", Value(row.title));
            r.set("kind", Value(kindName(row.kind)));
            r.set("value", Value(controller_.displayValue(row)));
            if (row.kind == SettingsRow::Kind::Switch)
                r.set("on", Value(controller_.switchValue(row)));
            if (row.kind == SettingsRow::Kind::Choice) {
                ValueArray titles(row.titles.begin(), row.titles.end());
                r.set("choices", Value(std::move(titles)));
                r.set("index", Value(controller_.choiceIndex(row)));
            }
            rows.emplace_back(std::move(r));
        }
        ValueDict s;
        s.set("title", Value(section.title));
        s.set("rows", Value(std::move(rows)));
        out.emplace_back(std::move(s));
    }
    return out;
}

bool SettingsScreen::perform(const std::string &action, const Value &argument) {
    const std::string key = field(argument, "key");
    if (action == "setSwitch") {
        const ValueDict *d = argument.asDict();
        const Value *on = d != nullptr ? d->find("on") : nullptr;
        controller_.setSwitch(key, on != nullptr && on->boolValue());
    } else if (action == "setChoice") {
        const ValueDict *d = argument.asDict();
        const Value *index = d != nullptr ? d->find("index") : nullptr;
        controller_.setChoice(key, index != nullptr ? static_cast<int>(index->integerValue()) : -1);
    } else if (action == "setNumber") {
        return controller_.setNumber(key, field(argument, "text"));
    } else if (action == "setList") {
        controller_.setList(key, field(argument, "text"));
    } else if (action == "tap") {
        controller_.tapButton(key);
    } else if (action == "viewDidLoad") {
        controller_.viewDidLoad();
    } else {
        return false;
    }
    return true;
}

} // namespace byteward
