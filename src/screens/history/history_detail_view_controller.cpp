// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/history/history_detail_view_controller.h"

#include "model/app_data.h"
#include "model/app_usage.h"
#include "model/text_format.h"
#include "model/util.h"
#include "platform/i18n.h"
#include "screens/history/history_export.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/string_formatter.h"
#include "screens/kit/table_cell.h"

namespace byteward {

namespace {

constexpr const char *kEmailHistory = N_("Email History");
constexpr const char *kExportToCsv = N_("Export to CSV");
constexpr const char *kViewChart = N_("View Chart");

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
    applications_.clear();
    if (!historyItem || !historyItem->startDate) return;
    loadApplications(current);
    // The period in progress runs up to now; a past one up to its own end.
    const std::optional<Instant> to = current ? services_.clock.now() : historyItem->endDate;
    if (!to) return;
    dailyLogs = History::getDailyHistoryLogsFrom(services_, *historyItem->startDate, *to,
                                                 historyItem->dataType);
}

void HistoryDetailViewController::loadApplications(bool current) {
    const DataType type = itemDataType() == History::kWiFi ? DataType::WiFi : DataType::Cellular;
    std::string error;
    const AppUsage usage = AppUsage::load(services_, &error);
    if (!error.empty()) services_.log.line("HistoryDetail: " + error);
    const AppTraffic *apps = nullptr;
    if (current) {
        // A store not yet moved on to this period still holds the last one's.
        if (usage.types[type].periodStart == historyItem->startDate)
            apps = &usage.types[type].period;
    } else if (const auto *closed = usage.closedPeriod(type, *historyItem->startDate)) {
        apps = &closed->span.apps;
    }
    if (apps == nullptr || apps->empty()) return;
    double attributed = 0;
    for (const AppUsageRow &row : describeApps(*apps)) {
        attributed += row.traffic.total();
        applications_.push_back({"AppCell", row.name, amount(row.traffic.total())});
    }
    const double rest = historyItem->dataTotal.value_or(0) - attributed;
    if (rest > 0) applications_.push_back({"AppCell", tr("Not attributed"), amount(rest)});
}

std::int32_t HistoryDetailViewController::itemDataType() const {
    return historyItem ? historyItem->dataType : 0;
}

std::string HistoryDetailViewController::headerForSection(int section) const {
    switch (section) {
    case 0:
        if (showCurrentWiFiCycle) return tr("Current Wi-Fi Billing Cycle");
        if (showCurrentCellCycle) return tr("Current Cellular Billing Cycle");
        return itemDataType() == History::kWiFi ? tr("Past Wi-Fi Billing Cycle")
                                                : tr("Past Cellular Billing Cycle");
    case 1:
        if (itemDataType() == History::kWiFi) return tr("Wi-Fi Byteward");
        if (itemDataType() == History::kCellular) return tr("Cellular (3G/GPRS/EDGE) Byteward");
        return "";
    case 2:
        return tr("Usage Breakup");
    case kApplicationsSection:
        return applications_.empty() ? "" : tr("Applications");
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
    return format(tr("%s to %s"), dates.getLocalizedShortDateMonthFromDate(*log.startDate).c_str(),
                  dates.getLocalizedShortDateMonthFromDate(*log.endDate).c_str());
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
        return {{"CellWithStartDate", tr("Start Date"), date(item.startDate)},
                {"CellWithEndDate", tr("End Date"), date(item.endDate)}};
    case 1:
        return {{"CellWithTotalData", tr("Total Data"), amount(item.dataTotal)},
                {"CellWithReceivedData", tr("Received"), amount(item.dataReceived)},
                {"CellWithSentData", tr("Sent"), amount(item.dataSent)}};
    case 2: {
        std::vector<Cell> rows;
        for (const auto &log : dailyLogs)
            rows.push_back({"DailyCell", dailyTitle(log), amount(log.dataTotal)});
        return rows;
    }
    case kApplicationsSection:
        return applications_;
    default:
        return {};
    }
}

void HistoryDetailViewController::showActionSheet() {
    if (context_.presenter == nullptr) return;
    Alert sheet;
    sheet.actionSheet = true;
    sheet.tag = kActionSheetTag;
    sheet.cancelButton = tr("Cancel");
    sheet.otherButtons = {tr(kEmailHistory), tr(kExportToCsv), tr(kViewChart)};
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
        format(item.dataType == History::kWiFi ? tr("WiFi Usage (%s - %s)")
                                               : tr("Cellular Usage (%s - %s)"),
               date(item.startDate).c_str(), date(item.endDate).c_str());
    chart_.present(services_, context_, dailyLogs, displayDataUnit, true, title, isPad);
}

ValueDict HistoryDetailViewController::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(""));
    return out;
}

ValueArray HistoryDetailViewController::sections() const {
    ValueArray out;
    const int shown = applications_.empty() ? kSections : kApplicationsSection + 1;
    for (int section = 0; section < shown; ++section) {
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
