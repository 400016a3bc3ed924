// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/util.h"

#include "platform/uuid.h"

namespace byteward {

std::string Util::GetUUID() {
    return newUuid();
}

bool Util::date(Instant date, Instant start, Instant end) {
    return !(date < start) && !(date > end);
}

bool Util::date(Instant date, Instant other, const Calendar &calendar) {
    const DateComponents a = calendar.components(date);
    const DateComponents b = calendar.components(other);
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

} // namespace byteward
