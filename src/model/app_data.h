// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/app_settings.h"
#include "model/data_type.h"
#include "model/device_info.h"
#include "platform/files.h"
#include "platform/i18n.h"
#include "platform/value.h"
#include "storage/services.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

class History;

// The usage record of one data type: running byte counters for every span the dashboards
// report, the billing period's dates, and where and when the last update happened. Loaded whole
// from its property-list file before every use and written back whole.
class AppData {
  public:
    explicit AppData(Services &services) : services_(services) {}

    std::optional<Instant> lastUpdate;
    std::optional<long long> billingDaysTotal;
    std::optional<long long> billingDaysElapsed;
    std::optional<Instant> nextBillingDate;
    std::string appDataType;
    std::optional<AppSettings> appSettings;
    std::optional<Instant> lastBillingDate;
    std::optional<std::string> lastLocation;
    std::optional<std::string> lastLocationDataUsed;
    bool monthlyResetOccured = false; // never stored
    // Byte amounts; -1 in the today counters means no value yet today.
    std::optional<double> dataAllTime;
    std::optional<double> dataThisMonth;
    std::optional<double> dataSinceLastBoot;
    std::optional<double> dataSinceLastRun;
    std::optional<double> dataSinceAppLastRun;
    std::optional<double> dataToday;
    std::optional<double> dataAllTimeSent;
    std::optional<double> dataAllTimeRecd;
    std::optional<double> dataThisMonthSent;
    std::optional<double> dataThisMonthRecd;
    std::optional<double> dataSinceLastBootSent;
    std::optional<double> dataSinceLastBootRecd;
    std::optional<double> dataSinceLastRunSent;
    std::optional<double> dataSinceLastRunRecd;
    std::optional<double> dataSinceAppLastRunSent;
    std::optional<double> dataSinceAppLastRunRecd;
    std::optional<double> dataTodaySent;
    std::optional<double> dataTodayRecd;
    // The kernel's id of the boot the since-boot reading belongs to; older files lack it.
    std::optional<std::string> bootId;
    // The since-boot reading split by interface, so that one interface starting again from zero
    // is told apart from traffic on the others. Older files lack it.
    std::optional<std::vector<DeviceInfo::InterfaceReading>> interfaceReadings;
    // Cellular only; older files lack them. The digest of the SIM the figures belong to, and of
    // another SIM the person was told about.
    std::optional<std::string> simHash;
    std::optional<std::string> simNoticeFor;
    // The traffic while the modem was registered as roaming, in the period and today.
    std::optional<double> dataRoamingThisMonth;
    std::optional<double> dataRoamingToday;
    // The start of the period in which the roaming notice was posted, and of the one in which the
    // data limit turned cellular data off.
    std::optional<Instant> roamingNoticePeriod;
    std::optional<Instant> dataLimitPeriod;

    // Loads the record of "cellular" or "wifi" from its file; without a file the fields keep
    // their values (a new record: all absent). Re-reads the settings first.
    void getAppData(const std::string &type);
    // Writes the whole record to its file atomically; on failure the file keeps what it held.
    [[nodiscard]] FileResult saveAppData();
    std::filesystem::path dataFilePath() const;

    // The key's value as a double, 0 when the dictionary has no such key.
    static double getNumberForKey(const std::string &key, const ValueDict &dictionary);

    // The current interface reading of this record's data type (its own appDataType decides;
    // the argument is not consulted) in a direction: 1 sent, 2 received, 3 both, else 0.
    double getCurrentDataUsageForDataType(const std::string &type, int direction) const;
    // As above, but empty when the statistics could not be read at all.
    std::optional<double> readCurrentUsage(int direction) const;

    // One complete update of this record: load, count the traffic since the last update, roll
    // the day and the billing period, keep the place, save, feed the custom counters. On failure
    // (the interface counters could not be read, the history or the record could not be
    // written) it says why, and the stored record is left as it was.
    [[nodiscard]] FileResult performBackgroundUpdateForType(const std::string &type,
                                                            const std::string &location,
                                                            bool shouldResetSinceLastAppRun);
    // The same update in two steps, for a caller that holds the data lock and updates both
    // records with one write of the history (an ArchiveWriteBatch): everything up to the save,
    // then, given how writing the history went (`logs`), the save and the custom counters. The
    // second is called only when the first succeeded, and both within one UpdateHold.
    [[nodiscard]] FileResult beginBackgroundUpdate(const std::string &type,
                                                   const std::string &location,
                                                   bool shouldResetSinceLastAppRun);
    [[nodiscard]] FileResult finishBackgroundUpdate(const FileResult &logs);
    // Keeps the record as the running update first read it until the update ends: nothing else
    // writes it while the update holds the data lock.
    class UpdateHold {
      public:
        explicit UpdateHold(AppData &record);
        ~UpdateHold();
        UpdateHold(const UpdateHold &) = delete;
        UpdateHold &operator=(const UpdateHold &) = delete;

      private:
        AppData &record_;
    };
    // Set for a wake-up that refreshes twice in a row (both dashboards): one update is counted
    // and the record is stored as the second, finding nothing new, would have left it.
    bool storeAsUpdatedAgain = false;
    // A reading of the counters the caller took for this update under the data lock, shared
    // with the other type's; null: the update reads them itself.
    const StatsSnapshot *cycleReading = nullptr;
    // The SIM and roaming part of an update of the cellular record: takes the SIM in use when the
    // record has none, tells once of another one, and posts the roaming notice once a period.
    void followCellularLink(double roamingIncrement);
    // The counter arithmetic on a loaded record; does not save. Fails, changing nothing, when
    // the counters could not be read.
    [[nodiscard]] FileResult updateStandardCounters(bool shouldResetSinceLastAppRun);

    // Billing cycle. Sets lastBillingDate and nextBillingDate for now under a plan code: 1 to 100
    // monthly on that day, 101 to 107 weekly (Sunday to Saturday), other codes above 100 weekly
    // on Sunday, 1001 daily, 9999 a custom start date and length from the user defaults.
    void setBillingDates(long long planCode);
    // 00:00 today minus (length - 1) days: the earliest start a custom period may keep.
    Instant getMinDate(std::optional<double> lengthInDays) const;
    // The period pass. With `accumulate` (an update) it closes a finished period into the
    // history and zeroes the period counters, or adds this update's increment to them; without
    // it (a display pass) it only refreshes the dates and day counts.
    void udpateBillingCounter(bool accumulate);
    // True when the date is neither before `start` nor after `end`.
    static bool date(Instant date, Instant start, Instant end);

    // The record as the dictionary its file holds.
    ValueDict toDictionary() const;

    static constexpr const char *kPlaceNotAvailable = N_("Not Available.");

  private:
    void fill(const ValueDict &stored);
    ValueDict readStoredDictionary() const;
    bool fileExists() const;
    void setMonthlyDates(int planDay, const DateComponents &today);
    void setWeeklyDates(long long planCode, const DateComponents &today, Instant now);
    void setDailyDates(Instant now);
    void setCustomDates(Instant now);
    void clearBillingPeriod();
    bool rebootedSinceLastUpdate() const;
    // The time this record's accounting runs at: the clock, but never earlier than the last update
    // when the clock was stepped back a little, so that no day or period closes twice.
    Instant accountingNow() const;
    DeviceInfo::Reading incrementSinceLastUpdate(const DeviceInfo::Reading &current) const;
    // Appends a log to the history unless an earlier write of this update failed, keeping the
    // outcome for the update.
    void appendHistoryLog(const History &log);
    // What an update finding no new traffic, right after this one, changes in the record.
    void settleAsUpdatedAgain();
    void closeDay(double incrementSent, double incrementReceived, double incrementTotal);
    void closePeriodIfItEnded(std::optional<Instant> oldLastBillingDate,
                              std::optional<Instant> oldNextBillingDate, bool accumulate);

    Services &services_;
    FileResult notUpdated(const FileResult &why) const;

    FileResult historyWritten_;    // the history appends of the running update
    bool historyAppended_ = false; // the running update closed a day or a period into a log
    // The running update's increment, for the custom counters once the record is saved.
    double sentSinceLastRun_ = 0;
    double receivedSinceLastRun_ = 0;
    double roamingIncrement_ = 0; // the running update's traffic while roaming
    // The record as the running update found it. Nothing else writes it while the update holds
    // the data lock, so the passes that look at the stored figures need not read it again.
    bool keepStored_ = false;
    mutable std::optional<ValueDict> stored_;
};

} // namespace byteward
