// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/i18n.h"
#include "platform/network_services.h"
#include "platform/result.h"
#include "storage/services.h"

#include <optional>
#include <string>

namespace byteward {

// The modem that carries the cellular data now, as the cellular record cares about it.
struct ActiveModem {
    std::string simHash; // of the active SIM's identifier; empty without a SIM
    std::string operatorName;
    bool roaming = false;
    bool connected = false; // has a connected bearer
};

// The modem with a connected bearer, else the first one with a SIM; none without a modem.
std::optional<ActiveModem> activeModem(const NetworkServicesState &state);

// A SIM identifier as the records keep it: a digest, so the files never hold the identifier. The
// same identifier gives the same digest on every machine.
std::string simDigest(const std::string &identifier);

// True when the modem holds another SIM than the one the cellular figures belong to.
bool otherSimInUse(Services &services);
// Closes the cellular period into the history, as a reset by hand does, and gives the new one to
// the SIM in use. On failure nothing changed.
[[nodiscard]] FileResult startPeriodForNewSim(Services &services);

// The notices of the cellular link; texts a person reads.
inline constexpr const char *kRoamingNotice = N_("Using cellular data while roaming");
std::string otherSimNotice(const std::string &operatorName);

} // namespace byteward
