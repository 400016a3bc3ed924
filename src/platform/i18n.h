// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace byteward {

// The one message catalogue every text a person reads goes through. The English text is the
// message id, so an untranslated text, or the C locale, shows the English.
inline constexpr const char *kTextDomain = "byteward";

// Binds the catalogue to the installed locale folder, or to BYTEWARD_LOCALEDIR when set (a build
// tree's catalogues). Call after setlocale.
void bindTranslations();

// The text in the user's language.
// format_arg: the compiler checks printf arguments against the English text.
const char *tr(const char *msgid) __attribute__((format_arg(1)));
std::string tr(const std::string &msgid);
// The form of a text that goes with the number n: "1 day", "2 days".
const char *trn(const char *singular, const char *plural, unsigned long n)
    __attribute__((format_arg(2)));

// Marks a text for the catalogue where it is kept in English (a constant an answer is compared
// with) and translated only where it is shown.
constexpr const char *N_(const char *msgid) noexcept {
    return msgid;
}

} // namespace byteward
