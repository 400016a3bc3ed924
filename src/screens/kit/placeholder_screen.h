// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/screen.h"

namespace byteward {

// A tab whose screens are still to come: a title and a line saying so.
class PlaceholderScreen final : public Screen {
  public:
    PlaceholderScreen(std::string title, std::string message)
        : title_(std::move(title)), message_(std::move(message)) {}
    ValueDict labels() const override {
        ValueDict out;
        out.set("lblTitle", labelValue(title_));
        out.set("lblMessage", labelValue(message_));
        return out;
    }
    ValueArray sections() const override { return {}; }
    bool perform(const std::string &, const Value &) override { return false; }

  private:
    std::string title_;
    std::string message_;
};

} // namespace byteward
