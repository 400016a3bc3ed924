// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/presenter.h"

#include <string>
#include <vector>

namespace byteward::test {

// Keeps what the screens presented, who is to hear the answer, and the pages they opened.
class RecordingPresenter final : public Presenter {
  public:
    void presentAlert(const Alert &alert, AlertDelegate *delegate) override {
        alerts.push_back(alert);
        delegates.push_back(delegate);
    }
    void openUrl(const std::string &url) override { urls.push_back(url); }

    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const auto &alert : alerts)
            out.push_back(alert.title);
        return out;
    }
    // Every button as the user sees it: the cancel button first, when there is one.
    static std::vector<std::string> buttons(const Alert &alert) {
        std::vector<std::string> out;
        if (!alert.cancelButton.empty()) out.push_back(alert.cancelButton);
        out.insert(out.end(), alert.otherButtons.begin(), alert.otherButtons.end());
        return out;
    }
    void clear() {
        alerts.clear();
        delegates.clear();
        urls.clear();
    }
    // Answers the latest alert with a button (and what was typed into it) to whoever showed it.
    void answer(int button, const std::string &text = {}) {
        Alert alert = alerts.back();
        alert.text = text;
        delegates.back()->alertView(alert, button);
    }

    std::vector<Alert> alerts;
    std::vector<AlertDelegate *> delegates;
    std::vector<std::string> urls;
};

} // namespace byteward::test
