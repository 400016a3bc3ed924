// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <string>
#include <vector>

namespace byteward {

// A table row's position: section, then row within it.
struct IndexPath {
    int section = 0;
    int row = 0;
    bool operator==(const IndexPath &) const = default;
};

// One table row as a screen describes it to the shell: what it shows, how tall it is and which
// control it carries. Plain data, so tests read exactly what the page shows.
struct TableCell {
    std::string reuseIdentifier;
    std::string style = "default"; // "default", "value1" (value on the right) or "subtitle"
    std::string title;
    std::string detail;
    int titleLines = 1;
    int detailLines = 1;
    double height = 44;             // points
    std::string accessory;          // "disclosureIndicator", "switch" or "" for none
    std::string editingAccessory;   // the same, while the table is being edited
    std::string control;            // "segments", "switch", "button" or "" for none
    std::vector<std::string> items; // the segments' titles
    int selectedIndex = -1;         // the selected segment; -1 for none
    bool on = false;                // the switch's state
    std::string buttonTitle;

    Value toValue() const {
        ValueDict d;
        d.set("reuseIdentifier", Value(reuseIdentifier));
        d.set("style", Value(style));
        d.set("title", Value(title));
        d.set("detail", Value(detail));
        d.set("titleLines", Value(titleLines));
        d.set("detailLines", Value(detailLines));
        d.set("height", Value(height));
        d.set("accessory", Value(accessory));
        d.set("editingAccessory", Value(editingAccessory));
        d.set("control", Value(control));
        d.set("items", Value(ValueArray(items.begin(), items.end())));
        d.set("selectedIndex", Value(selectedIndex));
        d.set("on", Value(on));
        d.set("buttonTitle", Value(buttonTitle));
        return Value(std::move(d));
    }
};

// Reads the fields of an action's argument dictionary; the fallback when one is missing.
inline const Value *argumentField(const Value &argument, const char *key) {
    const ValueDict *d = argument.asDict();
    return d != nullptr ? d->find(key) : nullptr;
}
inline int argumentInt(const Value &argument, const char *key, int fallback = -1) {
    const Value *v = argumentField(argument, key);
    return v != nullptr && v->isNumber() ? static_cast<int>(v->integerValue()) : fallback;
}
inline bool argumentBool(const Value &argument, const char *key, bool fallback = false) {
    const Value *v = argumentField(argument, key);
    return v != nullptr ? v->boolValue() : fallback;
}
inline std::string argumentString(const Value &argument, const char *key) {
    const Value *v = argumentField(argument, key);
    return v != nullptr ? v->stringValue() : std::string();
}

} // namespace byteward
