// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/navigator.h"
#include "screens/kit/screen.h"
#include "screens/kit/table_cell.h"

#include <string>

namespace byteward {

class TextFieldViewController;

// Hears the text the text screen ended with, and the index path it was handed.
class TextViewControllerDelegate {
  public:
    virtual ~TextViewControllerDelegate() = default;
    virtual void textViewControllerDidFinish(TextFieldViewController &screen,
                                             const std::string &text,
                                             const IndexPath &indexPath) = 0;
};

// A modal screen asking for one line of text under a caption. Cancel hands back the text it
// started from, so the caller sees the value unchanged.
class TextFieldViewController final : public Screen {
  public:
    explicit TextFieldViewController(Navigator &navigator) : navigator_(navigator) {}

    static constexpr const char *kPageName = "TextFieldView";

    TextViewControllerDelegate *delegate = nullptr; // not owned
    std::string initialText;
    std::string placeholderText;
    int keyboardType = 0; // the platform's keyboard kinds: 0 default, 4 number pad, 8 decimal pad
    std::string labelText;
    IndexPath indexPath; // handed back untouched

    // Fills the field with initialText; the page gives it the keyboard focus.
    void viewDidLoad();
    // The user typed: the field's text now.
    void setText(const std::string &text) { text_ = text; }
    void done();
    void cancel();
    static bool prefersStatusBarHidden();

    const std::string &text() const { return text_; }

    ValueDict labels() const override;
    ValueArray sections() const override { return {}; }
    ValueDict values() const override;
    bool perform(const std::string &action, const Value &argument) override;

  private:
    void finish(const std::string &text);

    Navigator &navigator_;
    std::string text_;
    bool finished_ = false;
};

} // namespace byteward
