// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

namespace byteward {

// An alert, action sheet or text-input alert a screen asks to show. Buttons are numbered as the
// answer reports them: the cancel button 0, the others from 1 in order.
struct Alert {
    std::string title;
    std::string message;
    std::string cancelButton;
    std::vector<std::string> otherButtons;
    bool textInput = false;
    std::string text;     // the text field's content: pre-filled when shown, typed when answered
    std::string keyboard; // "decimal" or "number" for a text input; empty otherwise
    int tag = 0;
    bool actionSheet = false;
    // The one of `otherButtons` that destroys data; shown apart and marked as dangerous.
    std::string destructiveButton;
};

// Receives the button the user pressed, with the alert as it was answered (its text typed in).
class AlertDelegate {
  public:
    virtual ~AlertDelegate() = default;
    virtual void alertView(const Alert &alert, int buttonIndex) = 0;
};

// Shows what screens present: dialogs in the app, a recorder in tests.
class Presenter {
  public:
    virtual ~Presenter() = default;
    // The answer comes later, through the delegate, which must outlive the alert.
    virtual void presentAlert(const Alert &alert, AlertDelegate *delegate) = 0;
    // Opens a web or store page in the desktop's handler (xdg-open).
    virtual void openUrl(const std::string &url) = 0;
};

} // namespace byteward
