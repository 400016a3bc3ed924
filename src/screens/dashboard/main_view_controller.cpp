// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The dashboard's render and repaint: which figures are worked out, and when.
#include "screens/dashboard/main_view_controller.h"

#include "model/cellular_link.h"
#include "model/interface_classifier.h"
#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/kit/string_formatter.h"

namespace byteward {

MainViewController::MainViewController(Services &services, LocationService *location)
    : cycle_(services, location), services_(services) {
}

MainViewController::~MainViewController() = default;

float MainViewController::cellularLimit() const {
    return cycle_.planLimit(DataType::Cellular);
}

float MainViewController::wifiLimit() const {
    return cycle_.planLimit(DataType::WiFi);
}

void MainViewController::renderView() {
    const UserDefaultsReadHold hold(services_.defaults);
    detailValues.fill({});
    detailValuesCell.fill({});
    detailValuesWiFi.fill({});
    appSettings().getSettings();
    backgroundUpdate("", false);
    renderMonthlyData(appDataCellular(), cellularLimit(), visualView);
    renderMonthlyData(appDataWifi(), wifiLimit(), visualViewWifi);
    renderType(isCellularMode ? appDataCellular() : appDataWifi(), isCellularMode);
    if (screens.analytics != nullptr)
        screens.analytics->logEvent(isCellularMode ? "Viewing cellular tab" : "Viewing wifi tab");
    showLastUpdate();
    solicitRating();
}

void MainViewController::showLastUpdate() {
    const auto &last = appDataCellular().lastUpdate;
    lblLastUpdateDate.text =
        tr("Updated: ") + (last ? StringFormatter(services_.calendar)
                                      .getLocalizedShortDateMediumTimeStringFromDate(*last)
                                : std::string());
}

void MainViewController::repaintView(bool cellular) {
    const UserDefaultsReadHold hold(services_.defaults);
    appSettings().getSettings();
    for (const DataType type : kDataTypes) {
        AppData &each = cycle_.record(type);
        each.getAppData(dataTypeName(type));
        each.udpateBillingCounter(false);
    }
    AppData &record = cellular ? appDataCellular() : appDataWifi();
    renderType(record, cellular);
    renderMonthlyData(record, cellular ? cellularLimit() : wifiLimit(),
                      cellular ? visualView : visualViewWifi);
    showLastUpdate();
}

void MainViewController::renderType(AppData &record, bool cellularType) {
    lblTitle.text = cellularType ? tr("CELLULAR") : tr("Wi-Fi");
    const auto dailyCap = cycle_.dailyCap(cellularType ? DataType::Cellular : DataType::WiFi);
    renderStandardCountersForType(record, cellularType ? cellularLimit() : wifiLimit(), dailyCap);
    showPlace(record);
}

void MainViewController::showPlace(const AppData &record) {
    std::array<std::string, 9> &rows =
        record.appDataType == kCellular ? detailValuesCell : detailValuesWiFi;
    std::string place = record.lastLocationDataUsed.value_or("");
    if (place == AppData::kPlaceNotAvailable) place = tr(AppData::kPlaceNotAvailable);
    lblPlaceUsed.text = place.empty() ? "--" : place;
    rows[6] = place;
}

std::array<std::pair<const char *, std::string>, 14> MainViewController::detailRows() const {
    const std::array<std::string, 9> &type = isCellularMode ? detailValuesCell : detailValuesWiFi;
    return {{
        {tr("IDEAL USAGE"), type[0]},
        {tr("USAGE STATUS"), type[1]},
        {tr("USED TODAY"), detailValues[0]},
        {tr("PROJECTED USE"), type[5]},
        {tr("OVERAGE LIKELY"), type[4]},
        {tr("NEXT BILL DATE"), type[3]},
        {tr("TODAY"), detailValues[2]},
        {tr("BILLING PERIOD"), type[2]},
        {tr("LAST PLACE"), type[6]},
        {tr("RECEIVED"), type[7]},
        {tr("SENT"), type[8]},
        {tr("SINCE LAST RUN"), detailValues[1]},
        {tr("SINCE APP INSTALL"), detailValues[3]},
        {tr("SINCE LAST BOOT"), detailValues[4]},
    }};
}

std::vector<std::pair<std::string, std::string>> MainViewController::extraDetailRows() const {
    std::vector<std::pair<std::string, std::string>> rows;
    const AppData &record = cycle_.record(DataType::Cellular);
    if (isCellularMode && (record.dataRoamingThisMonth || record.dataRoamingToday)) {
        const std::string unit = AppSettings::text(cycle_.settings().displayUnit);
        const auto amount = [&](const std::optional<double> &bytes) {
            return format("%.2f %s",
                          static_cast<double>(converToDataUnitFromBytes(bytes.value_or(0))),
                          unit.c_str());
        };
        rows.emplace_back(tr("ROAMING"), format(tr("%s this period, %s today"),
                                                amount(record.dataRoamingThisMonth).c_str(),
                                                amount(record.dataRoamingToday).c_str()));
    }
    return rows;
}

std::vector<std::pair<std::string, std::string>> MainViewController::notices() const {
    std::vector<std::pair<std::string, std::string>> out;
    const StatsSnapshot snapshot = services_.statistics.read();
    const std::string nothing =
        nothingCountedNote(snapshot, InterfaceClassifier::forServices(services_).decide(snapshot));
    if (!nothing.empty()) out.emplace_back(tr("NOTHING IS COUNTED"), nothing);
    const AppData &cellularRecord = cycle_.record(DataType::Cellular);
    if (const auto modem = activeModem(services_.network.state());
        isCellularMode && modem && !modem->simHash.empty() && cellularRecord.simHash &&
        *cellularRecord.simHash != modem->simHash)
        out.emplace_back(tr("ANOTHER SIM"), otherSimNotice(modem->operatorName));
    return out;
}

} // namespace byteward
