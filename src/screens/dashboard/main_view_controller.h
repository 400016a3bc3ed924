// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/app_data.h"
#include "model/app_settings.h"
#include "model/display_units.h"
#include "model/update_cycle.h"
#include "platform/analytics_log.h"
#include "platform/location.h"
#include "screens/dashboard/usage_visual_view.h"
#include "screens/kit/screen_context.h"
#include "storage/services.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace byteward {

// A text a screen shows, and whether it is hidden.
struct Label {
    std::string text;
    bool hidden = false;
};

// The billing-cycle labels of one data type's dashboard.
struct CycleLabels {
    Label lblMonthlyUsage;
    Label lblMonthlyUsageSent;
    Label lblMonthlyUsageRecd;
    Label lblCurrentPeriod;
    Label lblDays;
    Label lblNextBillingDate;
    Label lblAvailable;
    Label lblIdealUsage;
    Label lblIdealActualDiff;
    std::string statusImage; // "ok.png", "caution.png", "danger.png"; empty until a status is known
    Label lblDailySuggested;
    Label lblQuotaOverDate;
    Label lblProjected;
    Label lblRemainingUsage;
};

// The dashboard of one data type, in front of the update cycle behind every dashboard (which
// brings both usage records up to date and raises the usage alerts): works out every figure the
// dashboards show. Plain values only, so the app and the command line show exactly the same.
class MainViewController : public AlertDelegate {
    UpdateCycle cycle_; // first: the members below refer to it

  public:
    // `location` may be null: no location wake-ups.
    explicit MainViewController(Services &services, LocationService *location = nullptr);
    ~MainViewController() override;
    MainViewController(const MainViewController &) = delete;
    MainViewController &operator=(const MainViewController &) = delete;

    // The update cycle (see UpdateCycle), run for this dashboard.
    FileResult backgroundUpdate(const std::string &location, bool shouldResetSinceLastAppRun) {
        return cycle_.backgroundUpdate(location, shouldResetSinceLastAppRun);
    }
    void startSignificantChangesUpdate() { cycle_.startSignificantChangesUpdate(); }
    void stopSignificantChangesUpdate() { cycle_.stopSignificantChangesUpdate(); }
    UpdateCycle &updateCycle() { return cycle_; }

    // Usage alerts.
    bool sendLocalNotificationForNotificationKey(const std::string &key, float defaultValue,
                                                 float percentRemain, const std::string &type,
                                                 float dataUsed) {
        return cycle_.sendLocalNotificationForNotificationKey(key, defaultValue, percentRemain,
                                                              type, dataUsed);
    }
    void resetCellularNotificationKeys() { cycle_.resetNotificationKeys(DataType::Cellular); }
    void resetWifiNotificationKeys() { cycle_.resetNotificationKeys(DataType::WiFi); }

    // A full render's figures: a fresh sample (an update cycle), then both types' billing-cycle
    // figures, and the plain counters and place of the type this dashboard shows.
    void renderView();
    // The same from the stored records, without a sample, for one type.
    void repaintView(bool cellular);
    // The 14 rows of the details table, title and value, for the type this dashboard shows.
    std::array<std::pair<const char *, std::string>, 14> detailRows() const;
    // Rows that are there only sometimes, after the 14: the roaming traffic of the cellular
    // dashboard while the record has any.
    std::vector<std::pair<std::string, std::string>> extraDetailRows() const;
    // What the person must know before trusting the figures: that no interface counts at all,
    // or that the cellular figures belong to another SIM. Title and text; empty for none.
    std::vector<std::pair<std::string, std::string>> notices() const;
    // The plan limits of the settings as last loaded, in the display unit.
    float cellularLimit() const;
    float wifiLimit() const;

    // Projection and status.
    void renderMonthlyData(AppData &record, std::optional<float> dataLimit,
                           UsageVisualView &visualView);
    void renderStandardCountersForType(AppData &record, std::optional<float> dataLimit,
                                       std::optional<float> dailyDataLimit);

    // Manual adjust and reset of the current period, and the rating prompt.
    void adjustCellularUsage();
    void adjustWifiUsage();
    void askResetCellularUsage();
    void askResetWifiUsage();
    // Close the period into the history and start it at zero; on failure neither happened.
    [[nodiscard]] FileResult resetCellularUsage();
    [[nodiscard]] FileResult resetWifiUsage();
    // The outcome of the last adjustment or reset answered through alertView.
    FileResult lastAdjustment;
    void solicitRating();
    void showRatingChoice();
    void alertView(const Alert &alert, int buttonIndex) override;
    // Where the rating prompt sends the user: the app's page in the desktop's software centre.
    static constexpr const char *kRatingUrl = "appstream://io.github.byteward.Byteward";

    // Display units, with this controller's settings.
    float converToDataUnitFromBytes(std::optional<double> bytes) const {
        return cycle_.units().converToDataUnitFromBytes(bytes);
    }
    float convertToBytesFromDataUnit(std::optional<double> amount) const {
        return cycle_.units().convertToBytesFromDataUnit(amount);
    }
    float getPlanLimitInDisplayUnitFrom(const std::optional<Value> &limit,
                                        const std::string &unit) const {
        return cycle_.units().getPlanLimitInDisplayUnitFrom(limit, unit);
    }

    AppData &appDataCellular() { return cycle_.record(DataType::Cellular); }
    AppData &appDataWifi() { return cycle_.record(DataType::WiFi); }
    AppSettings &appSettings() { return cycle_.settings(); }

    // What the icon badge is to show; empty for none. The update cycle's.
    std::optional<float> &appBadgeNumber = cycle_.appBadgeNumber;
    // True for the cellular dashboard, false for the Wi-Fi one.
    bool isCellularMode = true;
    // The landscape dashboard above this one has been repainted since this one appeared.
    bool isLSViewUpdated = false;
    ScreenContext screens;

    UsageVisualView visualView;     // the cellular bar
    UsageVisualView visualViewWifi; // the Wi-Fi bar
    Label lblTitle;
    Label lblPlaceUsed;
    Label lblLastUpdateDate;

    CycleLabels cellular; // lblMonthlyUsage ... lblRemainingUsage
    CycleLabels wifi;     // lblMonthlyUsageWifi ... lblRemainingUsageWifi
    Label lblUsedToday;
    Label lblSinceLastRun;
    Label lblToday;
    Label lblAllTime;
    Label lblSinceLastBoot;
    // Rows of the details table: 0 ideal, 1 difference, 2 period, 3 next bill date, 4 quota over,
    // 5 projected, 6 place of the last update, 7 received, 8 sent.
    std::array<std::string, 9> detailValuesCell;
    std::array<std::string, 9> detailValuesWiFi;
    // 0 used today, 1 since the app last ran, 2 today's date, 3 all time, 4 since last boot.
    std::array<std::string, 5> detailValues;

    static constexpr const char *kNewCellularCycleMessage = UpdateCycle::kNewCellularCycleMessage;
    static constexpr const char *kNewWiFiCycleMessage = UpdateCycle::kNewWiFiCycleMessage;

  private:
    void renderType(AppData &record, bool cellularType);
    void showPlace(const AppData &record);
    void showLastUpdate();
    void renderUnlimitedPlan(CycleLabels &labels, std::array<std::string, 9> &rows,
                             UsageVisualView &visualView, const AppData &record);

    Services &services_;
};

} // namespace byteward
