// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

namespace byteward {

// The theme every table screen applies, as the colour names of the theme and "#rrggbb" values,
// with the navigation title's size and whether the status bar is hidden. The pages bind to it
// so that a change of theme reaches them through their screen.
ValueDict screenThemeValues();

} // namespace byteward
