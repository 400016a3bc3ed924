// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Which SIM the cellular figures belong to, and roaming.
#include "model/cellular_link.h"

#include "model/app_data.h"
#include "model/communications.h"
#include "model/history.h"
#include "model/period_correction.h"
#include "model/text_format.h"
#include "model/update_cycle.h"
#include "platform/i18n.h"
#include "platform/sha256.h"

namespace byteward {

std::optional<ActiveModem> activeModem(const NetworkServicesState &state) {
    const ModemInfo *chosen = nullptr;
    for (const ModemInfo &modem : state.modems) {
        if (!modem.dataInterfaces.empty()) {
            chosen = &modem;
            break;
        }
        if (chosen == nullptr && !modem.simIdentifier.empty()) chosen = &modem;
    }
    if (chosen == nullptr) return std::nullopt;
    return ActiveModem{chosen->simIdentifier.empty() ? std::string()
                                                     : simDigest(chosen->simIdentifier),
                       chosen->operatorName, chosen->roaming, !chosen->dataInterfaces.empty()};
}

std::string simDigest(const std::string &identifier) {
    const auto digest = sha256("byteward-sim:" + identifier);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    // Half the digest tells SIMs apart as well and keeps the files short.
    for (std::size_t i = 0; i < digest.size() / 2; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0xf];
    }
    return out;
}

bool otherSimInUse(Services &services) {
    const auto modem = activeModem(services.network.state());
    if (!modem || modem->simHash.empty()) return false;
    AppData record(services);
    record.getAppData(kCellular);
    return record.simHash && *record.simHash != modem->simHash;
}

FileResult startPeriodForNewSim(Services &services) {
    AppData record(services);
    FileResult closed = closePeriodByHand(services, record, kCellular, History::kCellular);
    if (closed) UpdateCycle(services).resetNotificationKeys(DataType::Cellular);
    return closed;
}

std::string otherSimNotice(const std::string &operatorName) {
    const std::string inUse = operatorName.empty()
                                  ? std::string(tr("Another SIM is in use"))
                                  : format(tr("Another SIM is in use (%s)"), operatorName.c_str());
    return inUse + tr(". The cellular figures belong to the earlier SIM; Settings can start a "
                      "fresh period for this one.");
}

void AppData::followCellularLink(double roamingIncrement) {
    if (appDataType != kCellular) return;
    const auto modem = activeModem(services_.network.state());
    if (modem && !modem->simHash.empty()) {
        if (!simHash) {
            simHash = modem->simHash; // the SIM the figures have belonged to all along
        } else if (*simHash != modem->simHash && simNoticeFor.value_or("") != modem->simHash) {
            Communications::sendLocalNotificationNowWithAlertBody(
                services_, otherSimNotice(modem->operatorName), tr("View"));
            simNoticeFor = modem->simHash;
        }
    }
    // The traffic that found a new period belongs to neither period.
    if (roamingIncrement > 0 && !monthlyResetOccured) {
        const Instant period = lastBillingDate.value_or(Instant{});
        if (roamingNoticePeriod != period) {
            Communications::sendLocalNotificationNowWithAlertBody(services_, tr(kRoamingNotice),
                                                                  tr("View"));
            roamingNoticePeriod = period;
        }
    }
}

} // namespace byteward
