// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What people type: dates (BYTEWARD_NOW, `defaults write -date`), `defaults write` values of
// each kind, and amounts in the settings. Whatever is accepted is a sane value.
#include "cli/value_text.h"
#include "fuzz_env.h"
#include "platform/iso8601.h"
#include "screens/settings/settings_view_controller.h"

#include <cmath>

using namespace byteward;

namespace {

void checkDate(std::string_view text, const Calendar &calendar) {
    const auto date = parseIso8601(text, calendar);
    if (!date) return;
    const int year = calendar.components(*date).year;
    // Before 1583 the calendar counts Julian days while an offset is read on the proleptic
    // Gregorian calendar; past 9999 the four-digit form cannot say the year.
    if (year < 1583 || year > 9999) return;
    // Local mean time before about 1910 has offsets in seconds, which the form cannot hold.
    if (calendar.utcOffsetSeconds(*date) % 60 != 0) return;
    const std::string written = formatIso8601(*date, calendar);
    const auto reread = parseIso8601(written, calendar);
    if (!reread || *reread != *date)
        fuzz::fail("\"" + std::string(text) + "\" was written as \"" + written +
                   "\", which does not read back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static IcuCalendar utc("UTC", "en_US");
    static IcuCalendar santiago("America/Santiago", "es_CL");
    const std::string text(fuzz::asText(data, size));
    checkDate(text, utc);
    checkDate(text, santiago);

    for (const char *kind : {"-int", "-float", "-bool", "-date", "-string"})
        cli::parseTypedValue(kind, text, utc);

    if (size > 64) return 0; // amounts are short; keep the file writes for those
    auto &env = fuzz::freshEnv();
    SettingsViewController screen(env.services(), {});
    const bool stored = screen.setNumber("cellularDataLimit", text);
    const auto value = env.defaults().objectForKey("cellularDataLimit");
    if (stored != value.has_value()) fuzz::fail("setNumber answered unlike what it stored");
    if (value && !(value->doubleValue() >= 0 && std::isfinite(value->doubleValue())))
        fuzz::fail("setNumber stored a negative or infinite amount");
    return 0;
}
