// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/navigator.h"

#include <algorithm>
#include <string>
#include <vector>

namespace byteward::test {

// Keeps a stack of the screens shown, as the app's page stacks would, and tells the screen that
// shows again after a dismissal that it is about to appear.
class RecordingNavigator final : public Navigator {
  public:
    struct Step {
        std::string kind; // "push", "present" or "dismiss"
        std::string page;
        Screen *screen;
    };

    void push(const std::string &page, Screen &screen) override { open("push", page, screen); }
    void presentModal(const std::string &page, Screen &screen) override {
        open("present", page, screen);
    }
    void dismiss(Screen &screen) override {
        steps.push_back({"dismiss", {}, &screen});
        if (stack.empty() || stack.back() != &screen) {
            ++misplacedDismissals;
            return;
        }
        stack.pop_back();
        if (!stack.empty()) stack.back()->perform("viewWillAppear", Value());
    }

    Screen *top() const { return stack.empty() ? nullptr : stack.back(); }
    std::vector<std::string> pages() const {
        std::vector<std::string> out;
        for (const auto &step : steps)
            out.push_back(step.kind + " " + step.page);
        return out;
    }

    std::vector<Screen *> stack; // the root screen first, when a test puts one there
    std::vector<Step> steps;
    int misplacedDismissals = 0;

  private:
    void open(const char *kind, const std::string &page, Screen &screen) {
        steps.push_back({kind, page, &screen});
        stack.push_back(&screen);
    }
};

} // namespace byteward::test
