// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Corrections of the current period by hand: set to the provider's figure, or closed into the
// history and started again at zero.
#include "model/period_correction.h"

#include "model/cellular_link.h"
#include "model/history.h"
#include "platform/data_lock.h"

namespace byteward {

FileResult setPeriodUsage(Services &services, AppData &record, const char *type, float total) {
    DataLock lock(services.paths.dataDir);
    record.getAppData(type);
    if (total == 0) total = 0; // no "-0" in the file
    const float received = static_cast<float>(record.dataThisMonthRecd.value_or(0));
    const float sent = static_cast<float>(record.dataThisMonthSent.value_or(0));
    float receivedShare = 0.0f;
    float sentShare = 0.0f;
    if (received == 0 && sent == 0) {
        receivedShare = 1.0f;
    } else if (record.dataThisMonth.value_or(0) > 0) {
        receivedShare = received / (received + sent);
        sentShare = sent / (received + sent);
    }
    record.dataThisMonthRecd = static_cast<double>(receivedShare * total);
    record.dataThisMonthSent = static_cast<double>(sentShare * total);
    record.dataThisMonth = static_cast<double>(total);
    return record.saveAppData();
}

FileResult closePeriodByHand(Services &services, AppData &record, const char *type,
                             std::int32_t historyDataType) {
    DataLock lock(services.paths.dataDir);
    record.getAppData(type);
    const History log = History::initWithStartDate(
        record.lastBillingDate, services.clock.now(), record.dataThisMonthSent,
        record.dataThisMonthRecd, record.dataThisMonth, historyDataType, History::kBillingCycleLog);
    if (FileResult logged = History::addNewHistoryItemLog(services, log); !logged) return logged;
    record.dataThisMonth = 0.0;
    record.dataThisMonthRecd = 0.0;
    record.dataThisMonthSent = 0.0;
    if (record.dataRoamingThisMonth) record.dataRoamingThisMonth = 0.0;
    // The fresh period belongs to the SIM in use now.
    if (const auto modem = activeModem(services.network.state());
        modem && !modem->simHash.empty() && record.appDataType == kCellular) {
        record.simHash = modem->simHash;
        record.simNoticeFor.reset();
    }
    FileResult saved = record.saveAppData();
    // The period stays as it was, so its log goes again (as far as the disk lets it); a reset
    // tried again later writes it anew.
    if (!saved) (void)History::removeHistoryLog(services, log);
    return saved;
}

} // namespace byteward
