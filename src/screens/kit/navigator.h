// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "screens/kit/screen.h"

#include <string>

namespace byteward {

// Opens and closes screens on behalf of other screens: the app turns these into page stacks,
// tests record them. `page` names the page that lays the screen out ("CustomCounterDetailView").
// The screen is owned by whoever opened it and outlives its page; the navigator keeps only a
// reference until the screen is dismissed.
class Navigator {
  public:
    virtual ~Navigator() = default;
    // Onto the current tab's navigation stack, with a back button.
    virtual void push(const std::string &page, Screen &screen) = 0;
    // Over everything, until the screen dismisses itself.
    virtual void presentModal(const std::string &page, Screen &screen) = 0;
    // Closes a pushed or presented screen. The screen that shows again is told so with the
    // action "viewWillAppear" (screens without it ignore it) and is read afresh.
    virtual void dismiss(Screen &screen) = 0;
};

} // namespace byteward
