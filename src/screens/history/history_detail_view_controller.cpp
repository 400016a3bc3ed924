// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/history/history_detail_view_controller.h"

#include "model/app_data.h"
#include "model/util.h"
#include "screens/history/history_export.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/string_formatter.h"
#include "screens/kit/table_cell.h"

namespace byteward {

namespace {

constexpr const char *kEmailHistory = "Email History";
constexpr const char *kExportToCsv = "Export to CSV";
constexpr const char *kViewChart = "View Chart";

Value rectValue(double x, double y, double width, double height) {
    ValueDict d;
    d.set("x", Value(x));
    d.set("y", Value(y));
    d.set("width", Value(width));
    d.set("height", Value(height));
    return Value(std::move(d));
}

} // namespace

History HistoryDetailViewController::currentCycleItem(Services &services, std::int32_t dataType) {
    AppData record(services);
    record.getAppData(dataType == History::kWiFi ? "wifi" : "cellular");
    std::optional<Instant> end;
    if (record.nextBillingDate) {
        DateComponents day = services.calendar.components(*record.nextBillingDate);
        day.day -= 1;
        day.hour = day.minute = day.second = 0;
        end = services.calendar.dateFromComponents(day);
    }
    return History::initWithStartDate(record.lastBillingDate, end, record.dataThisMonthSent,
                                      record.dataThisMonthRecd, record.dataThisMonth, dataType,
                                      History::kBillingCycleLog);
}

void HistoryDetailViewController::viewDidLoad() {
    if (context_.analytics != nullptr) context_.analytics->logEvent("Viewing history details");
    const bool current = showCurrentWiFiCycle || showCurrentCellCycle;
    if (current)
        historyItem =
            currentCycleItem(services_, showCurrentWiFiCycle ? History::kWiFi : History::kCellular);
    dailyLogs.clear();
    if (!historyItem || !historyItem->startDate) return;
    // The period in progress runs up to now; a past one up to its own end.
    const std::optional<Instant> to = current ? services_.clock.now() : historyItem->endDate;
    if (!to) return;
    dailyLogs = History::getDailyHistoryLogsFrom(services_, *historyItem->startDate, *to,
                                                 historyItem->dataType);
}

std::int32_t HistoryDetailViewController::itemDataType() const {
    return historyItem ? historyItem->dataType : 0;
}

std::string HistoryDetailViewController::headerForSection(int section) const {
    switch (section) {
    case 0:
        if (showCurrentWiFiCycle) return "Current Wi-Fi Billing Cycle";
        if (showCurrentCellCycle) return "Current Cellular Billing Cycle";
        return itemDataType() == History::kWiFi ? "Past Wi-Fi Billing Cycle"
                                                : "Past Cellular Billing Cycle";
    case 1:
        if (itemDataType() == History::kWiFi) return "Wi-Fi Byteward";
        if (itemDataType() == History::kCellular) return "Cellular (3G/GPRS/EDGE) Byteward";
        return "";
    case 2:
        return "Usage Breakup";
    default:
        return "";
    }
}

std::string HistoryDetailViewController::amount(const std::optional<double> &bytes) const {
    return HistoryExport::amountText(bytes, displayDataUnit);
}

std::string HistoryDetailViewController::dailyTitle(const History &log) const {
    if (!log.startDate || !log.endDate) return "";
    const StringFormatter dates(services_.calendar);
    if (Util::date(*log.startDate, *log.endDate, services_.calendar))
        return dates.getLocalizedDayShortDateFromDate(*log.startDate);
    return dates.getLocalizedShortDateMonthFromDate(*log.startDate) + " to " +
           dates.getLocalizedShortDateMonthFromDate(*log.endDate);
}

std::vector<HistoryDetailViewController::Cell>
HistoryDetailViewController::rowsInSection(int section) const {
    const History item = historyItem.value_or(History{});
    const StringFormatter dates(services_.calendar);
    auto date = [&dates](const std::optional<Instant> &d) {
        return d ? dates.getLocalizedShortDateNoTimeStringFromDate(*d) : std::string();
    };
    switch (section) {
    case 0:
        return {{"CellWithStartDate", "Start Date", date(item.startDate)},
                {"CellWithEndDate", "End Date", date(item.endDate)}};
    case 1:
        return {{"CellWithTotalData", "Total Data", amount(item.dataTotal)},
                {"CellWithReceivedData", "Received", amount(item.dataReceived)},
                {"CellWithSentData", "Sent", amount(item.dataSent)}};
    case 2: {
        std::vector<Cell> rows;
        for (const auto &log : dailyLogs)
            rows.push_back({"DailyCell", dailyTitle(log), amount(log.dataTotal)});
        return rows;
    }
    default:
        return {};
    }
}

void HistoryDetailViewController::showActionSheet() {
    if (context_.presenter == nullptr) return;
    Alert sheet;
    sheet.actionSheet = true;
    sheet.tag = kActionSheetTag;
    sheet.cancelButton = "Cancel";
    sheet.otherButtons = {kEmailHistory, kExportToCsv, kViewChart};
    context_.presenter->presentAlert(sheet, this);
}

void HistoryDetailViewController::alertView(const Alert &alert, int buttonIndex) {
    if (alert.tag != kActionSheetTag) return;
    // The presenter numbers the cancel button 0 and the others from 1.
    HistoryExport exporter(services_, context_.mail);
    switch (buttonIndex) {
    case 1:
        if (context_.analytics != nullptr)
            context_.analytics->logEvent("Exporting history via email");
        tellIfNotMailed(exporter, exporter.emailHistory(dailyLogs, displayDataUnit),
                        HistoryExport::Kind::Email);
        break;
    case 2:
        if (context_.analytics != nullptr)
            context_.analytics->logEvent("Exporting history via csv");
        tellIfNotMailed(exporter, exporter.exportToCsv(dailyLogs, displayDataUnit),
                        HistoryExport::Kind::Csv);
        break;
    case 3:
        showDetailChart();
        break;
    default:
        break;
    }
}

void HistoryDetailViewController::tellIfNotMailed(const HistoryExport &exporter,
                                                  HistoryExport::Outcome outcome,
                                                  HistoryExport::Kind kind) {
    // Without a word the user would wait for a composer that never opens.
    if (context_.presenter == nullptr) return;
    if (const auto alert = exporter.alertForOutcome(outcome, kind))
        context_.presenter->presentAlert(*alert, this);
}

void HistoryDetailViewController::showDetailChart() {
    const History item = historyItem.value_or(History{});
    const StringFormatter dates(services_.calendar);
    auto date = [&dates](const std::optional<Instant> &d) {
        return d ? dates.getLocalizedShortDateMonthFromDate(*d) : std::string();
    };
    const std::string title =
        (item.dataType == History::kWiFi ? "WiFi Usage (" : "Cellular Usage (") +
        date(item.startDate) + " - " + date(item.endDate) + ")";
    chart_.present(services_, context_, dailyLogs, displayDataUnit, true, title, isPad);
}

ValueDict HistoryDetailViewController::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(""));
    return out;
}

ValueArray HistoryDetailViewController::sections() const {
    ValueArray out;
    for (int section = 0; section < kSections; ++section) {
        ValueArray rows;
        for (const auto &cell : rowsInSection(section)) {
            TableCell row;
            row.reuseIdentifier = cell.identifier;
            row.style = "value1";
            row.title = cell.title;
            row.detail = cell.value;
            rows.push_back(row.toValue());
        }
        ValueDict s;
        s.set("title", Value(headerForSection(section)));
        s.set("rows", Value(std::move(rows)));
        out.emplace_back(std::move(s));
    }
    return out;
}

ValueDict HistoryDetailViewController::values() const {
    ValueDict out;
    out.set("headerFrame", isPad ? rectValue(45, 0, 320, 15) : rectValue(15, -5, 320, 20));
    out.set("headerFontSize", Value(14));
    out.set("theme", Value(screenThemeValues()));
    return out;
}

bool HistoryDetailViewController::perform(const std::string &action, const Value &) {
    if (action == "viewDidLoad")
        viewDidLoad();
    else if (action == "showActionSheet")
        showActionSheet();
    else if (action == "viewWillAppear")
        return true;
    else
        return false;
    return true;
}

} // namespace byteward
