// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/kit/text_field_view_controller.h"

#include "platform/i18n.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/theme.h"

namespace byteward {

namespace {

// The input hint the page gives its field for a keyboard kind.
const char *keyboardName(int keyboardType) {
    switch (keyboardType) {
    case 2:
    case 4:
        return "number";
    case 8:
        return "decimal";
    default:
        return "default";
    }
}

} // namespace

void TextFieldViewController::viewDidLoad() {
    text_ = initialText;
}

void TextFieldViewController::finish(const std::string &text) {
    // A double press must not report twice.
    if (finished_) return;
    finished_ = true;
    if (delegate != nullptr) delegate->textViewControllerDidFinish(*this, text, indexPath);
    navigator_.dismiss(*this);
}

void TextFieldViewController::done() {
    finish(text_);
}

void TextFieldViewController::cancel() {
    finish(initialText);
}

bool TextFieldViewController::prefersStatusBarHidden() {
    return BytewardTheme::appPrefersStatusBarHidden();
}

ValueDict TextFieldViewController::labels() const {
    ValueDict out;
    out.set("label", labelValue(labelText));
    out.set("btnDone", labelValue(tr("Done")));
    out.set("btnCancel", labelValue(tr("Cancel")));
    return out;
}

ValueDict TextFieldViewController::values() const {
    ValueDict out;
    out.set("text", Value(text_));
    out.set("placeholderText", Value(placeholderText));
    out.set("keyboardType", Value(keyboardType));
    out.set("keyboard", Value(keyboardName(keyboardType)));
    out.set("theme", Value(screenThemeValues()));
    return out;
}

bool TextFieldViewController::perform(const std::string &action, const Value &argument) {
    if (action == "viewDidLoad")
        viewDidLoad();
    else if (action == "setText")
        setText(argumentString(argument, "text"));
    else if (action == "done") {
        // The page may hand over the field's last text with the press.
        if (argumentField(argument, "text") != nullptr) setText(argumentString(argument, "text"));
        done();
    } else if (action == "cancel")
        cancel();
    else
        return false;
    return true;
}

} // namespace byteward
