// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <optional>
#include <string>

namespace byteward {

// Where an adapter reads a setting it follows at every use; the user defaults are one.
class SettingSource {
  public:
    virtual ~SettingSource() = default;
    virtual std::optional<Value> objectForKey(const std::string &key) = 0;
};

} // namespace byteward
