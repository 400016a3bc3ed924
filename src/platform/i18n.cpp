// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/i18n.h"

#include <cstdlib>
#include <libintl.h>

namespace byteward {

void bindTranslations() {
    const char *overridden = std::getenv("BYTEWARD_LOCALEDIR");
    const char *folder =
        overridden != nullptr && *overridden != '\0' ? overridden : BYTEWARD_LOCALEDIR;
    bindtextdomain(kTextDomain, folder);
    // Qt and the terminal both expect UTF-8, whatever the locale's own charset.
    bind_textdomain_codeset(kTextDomain, "UTF-8");
    textdomain(kTextDomain);
}

const char *tr(const char *msgid) {
    // An empty id would fetch the catalogue's header.
    if (msgid == nullptr || *msgid == '\0') return "";
    return dgettext(kTextDomain, msgid);
}

std::string tr(const std::string &msgid) {
    return tr(msgid.c_str());
}

const char *trn(const char *singular, const char *plural, unsigned long n) {
    return dngettext(kTextDomain, singular, plural, n);
}

} // namespace byteward
