// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/app_data.h"
#include "platform/result.h"
#include "storage/services.h"

#include <cstdint>

namespace byteward {

// Sets the period's total (in bytes), keeping the stored split between received and sent
// traffic. Under the data lock, on the record as stored.
[[nodiscard]] FileResult setPeriodUsage(Services &services, AppData &record, const char *type,
                                        float total);

// Writes the period so far to the history as a finished billing cycle, then starts it again at
// zero. Today's, since-boot and all-time counters and the billing dates stay. On failure neither
// happened.
[[nodiscard]] FileResult closePeriodByHand(Services &services, AppData &record, const char *type,
                                           std::int32_t historyDataType);

} // namespace byteward
