// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/history/history_view_controller.h"

#include "model/app_settings.h"
#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/history/history_export.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/string_formatter.h"
#include "screens/kit/table_cell.h"

namespace byteward {

namespace {

constexpr const char *kCellularIcon = "mobile_small.png";
constexpr const char *kWifiIcon = "wifi_small.png";
constexpr const char *kEditIcon = "navbar_edit.png";

} // namespace

void HistoryViewController::viewDidLoad() {
    if (context_.analytics != nullptr) context_.analytics->logEvent("Viewing history tab");
}

void HistoryViewController::viewWillAppear() {
    AppSettings settings(services_);
    settings.getSettings();
    displayDataUnit = AppSettings::text(settings.displayUnit);
    historyData = History::getAllBillingCycleLogs(services_);
    actionButtonEnabled = !historyData.empty();
}

HistoryViewController::Row HistoryViewController::rowAt(int row) const {
    if (row == 0) return {tr("Current Billing Period"), "", kCellularIcon};
    if (row == 1) return {tr("Current Billing Period"), "", kWifiIcon};
    const History &log = historyData.at(static_cast<std::size_t>(row - kFixedRows));
    const StringFormatter dates(services_.calendar);
    auto date = [&dates](const std::optional<Instant> &d) {
        return d ? dates.getLocalizedShortDateNoTimeStringFromDate(*d) : std::string();
    };
    return {format(tr("%s to %s"), date(log.startDate).c_str(), date(log.endDate).c_str()),
            HistoryExport::amountText(log.dataTotal, displayDataUnit),
            log.dataType == History::kWiFi ? kWifiIcon : kCellularIcon};
}

bool HistoryViewController::didSelectRow(int row) {
    if (row < 0 || row >= numberOfRows()) return false;
    auto detail = std::make_unique<HistoryDetailViewController>(services_, context_);
    detail->displayDataUnit = displayDataUnit;
    detail->isPad = isPad;
    if (row == 0) {
        detail->showCurrentCellCycle = true;
        detail->showCurrentWiFiCycle = false;
    } else if (row == 1) {
        detail->showCurrentCellCycle = false;
        detail->showCurrentWiFiCycle = true;
    } else {
        detail->historyItem = historyData[static_cast<std::size_t>(row - kFixedRows)];
    }
    detail->viewDidLoad();
    // The page of the previous detail may still be leaving the screen: it lives one push longer.
    previous_ = std::move(detail_);
    detail_ = std::move(detail);
    if (context_.navigator != nullptr) context_.navigator->push(kDetailPage, *detail_);
    return true;
}

bool HistoryViewController::commitDelete(int row) {
    if (!canEditRow(row)) return false;
    const auto at = historyData.begin() + (row - kFixedRows);
    // Not written: the row stays, as the log does (the person is told through the write-failure
    // listener).
    if (!History::removeHistoryLog(services_, *at)) return false;
    historyData.erase(at);
    return true;
}

void HistoryViewController::showActionSheet() {
    if (context_.presenter == nullptr) return;
    Alert sheet;
    sheet.actionSheet = true;
    sheet.tag = kActionSheetTag;
    sheet.cancelButton = tr("Cancel");
    sheet.otherButtons = {tr("Clear History"), tr("Email History"), tr("Export to CSV"),
                          tr("View Chart")};
    sheet.destructiveButton = tr("Clear History");
    context_.presenter->presentAlert(sheet, this);
}

void HistoryViewController::clearHistoryData() {
    // The whole archive becomes an empty list: the daily logs go too. Not written, the list stays.
    if (!History::saveHistoryLogs(services_, {})) return;
    historyData.clear();
    actionButtonEnabled = false;
}

void HistoryViewController::showChart() {
    chart_.present(services_, context_, historyData, displayDataUnit, false, "", isPad);
}

void HistoryViewController::alertView(const Alert &alert, int buttonIndex) {
    // The presenter numbers the cancel button 0 and the others from 1.
    if (alert.tag == kClearSheetTag) {
        if (buttonIndex == 1) clearHistoryData();
        return;
    }
    if (alert.tag != kActionSheetTag) return;
    HistoryExport exporter(services_, context_.mail);
    switch (buttonIndex) {
    case 1: {
        if (context_.presenter == nullptr) return;
        Alert confirm;
        confirm.actionSheet = true;
        confirm.tag = kClearSheetTag;
        confirm.cancelButton = tr("Cancel");
        confirm.otherButtons = {tr("Clear All Records")};
        confirm.destructiveButton = tr("Clear All Records");
        context_.presenter->presentAlert(confirm, this);
        break;
    }
    case 2:
        tellIfNotMailed(exporter, exporter.emailHistory(historyData, displayDataUnit),
                        HistoryExport::Kind::Email);
        break;
    case 3:
        tellIfNotMailed(exporter, exporter.exportToCsv(historyData, displayDataUnit),
                        HistoryExport::Kind::Csv);
        break;
    case 4:
        showChart();
        break;
    default:
        break;
    }
}

void HistoryViewController::tellIfNotMailed(const HistoryExport &exporter,
                                            HistoryExport::Outcome outcome,
                                            HistoryExport::Kind kind) {
    // Without a word the user would wait for a composer that never opens.
    if (context_.presenter == nullptr) return;
    if (const auto alert = exporter.alertForOutcome(outcome, kind))
        context_.presenter->presentAlert(*alert, this);
}

ValueDict HistoryViewController::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(tr("History")));
    return out;
}

ValueArray HistoryViewController::sections() const {
    ValueArray rows;
    for (int row = 0; row < numberOfRows(); ++row) {
        const Row r = rowAt(row);
        TableCell cell;
        cell.reuseIdentifier = "Cell";
        cell.style = "subtitle";
        cell.title = r.title;
        cell.detail = r.subtitle;
        cell.height = 60;
        cell.accessory = "disclosureIndicator";
        Value value = cell.toValue();
        value.asDict()->set("image", Value(r.image));
        value.asDict()->set("editable", Value(canEditRow(row)));
        rows.push_back(std::move(value));
    }
    ValueDict section;
    section.set("title", Value(""));
    section.set("rows", Value(std::move(rows)));
    return {Value(std::move(section))};
}

ValueDict HistoryViewController::values() const {
    ValueDict out;
    out.set("editing", Value(editing));
    out.set("actionEnabled", Value(actionButtonEnabled));
    out.set("leftButton", Value(editing ? "done" : kEditIcon));
    out.set("theme", Value(screenThemeValues()));
    return out;
}

bool HistoryViewController::perform(const std::string &action, const Value &argument) {
    if (action == "viewDidLoad") {
        viewDidLoad();
    } else if (action == "viewWillAppear") {
        viewWillAppear();
    } else if (action == "select") {
        return didSelectRow(argumentInt(argument, "row"));
    } else if (action == "showEditMode") {
        showEditMode();
    } else if (action == "leaveEditMode") {
        leaveEditMode();
    } else if (action == "delete") {
        return commitDelete(argumentInt(argument, "row"));
    } else if (action == "showActionSheet") {
        if (!actionButtonEnabled) return false;
        showActionSheet();
    } else if (action == "setDevice") {
        isPad = argumentBool(argument, "isPad");
    } else {
        return false;
    }
    return true;
}

} // namespace byteward
