// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/counters/custom_counter_detail_view_controller.h"

#include "model/data_formatter.h"
#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/string_formatter.h"

namespace byteward {

namespace {

enum Section { kName, kEnd, kData };

std::string tracksText(const CustomCounter &c) {
    std::string text = tr("tracks ");
    if (c.direction == 3)
        text += tr("sent & received, ");
    else if (c.direction == 1)
        text += tr("sent ");
    else if (c.direction == 2)
        text += tr("received ");
    if (c.trackCellular && c.trackWiFi)
        text += tr("cellular (3G/Edge/GPRS) and Wi-Fi data");
    else if (c.trackWiFi)
        text += tr("Wi-Fi data");
    else if (c.trackCellular)
        text += tr("cellular (3G/Eduge/GPRS) data");
    return text;
}

} // namespace

void CustomCounterDetailViewController::viewDidLoad() {
    if (screens_.analytics != nullptr)
        screens_.analytics->logEvent("Viewing custom counter details");
    theme_ = screenThemeValues();
}

void CustomCounterDetailViewController::showEditView() {
    // One editor at a time: a second press must not replace the one on screen.
    if (editor_ && !editor_->finished()) return;
    editor_ = std::make_unique<CustomCounterEditViewController>(services_, screens_, navigator_);
    editor_->setCustomCounter(customCounter);
    editor_->displayDataUnit = displayDataUnit;
    editor_->viewDidLoad();
    navigator_.presentModal(CustomCounterEditViewController::kPageName, *editor_);
}

void CustomCounterDetailViewController::dismissView() {
    navigator_.dismiss(*this);
}

int CustomCounterDetailViewController::numberOfRowsInSection(int section) const {
    if (section == kData) return customCounter.trackCellular && customCounter.trackWiFi ? 2 : 1;
    return section == kName || section == kEnd ? 1 : 0;
}

double
CustomCounterDetailViewController::heightForRowAtIndexPath(const IndexPath &indexPath) const {
    if (indexPath.section == kName) return 70;
    if (indexPath.section == kData && customCounter.direction == 3) return 90;
    return 60;
}

TableCell CustomCounterDetailViewController::dataCell(bool cellular) const {
    const CustomCounter &c = customCounter;
    const std::string &unit = displayDataUnit;
    auto amount = [&unit](std::optional<double> bytes) {
        return static_cast<double>(DataFormatter::converToDataUnitFromBytes(bytes, unit));
    };
    const auto received = cellular ? c.cellularDataReceived : c.wifiDataReceived;
    const auto sent = cellular ? c.cellularDataSent : c.wifiDataSent;
    const auto total = cellular ? c.cellularDataTotal : c.wifiDataTotal;
    const char *u = unit.c_str();
    TableCell cell;
    cell.reuseIdentifier = cellular ? "CellWithCellDataInfo" : "CellWithWifiDataInfo";
    cell.title = cellular ? tr("Cellular") : tr("Wi-Fi");
    cell.detailLines = 2;
    if (c.direction == 3) {
        cell.detail = format(tr(" %.2f %s received\n %.2f %s sent\n %.2f %s total"),
                             amount(received), u, amount(sent), u, amount(total), u);
        cell.detailLines = 3;
    } else if (c.direction == 1) {
        cell.detail = format(tr("%.2f %s sent"), amount(sent), u);
    } else if (c.direction == 2) {
        cell.detail = format(tr(" %.2f %s received"), amount(received), u);
    }
    return cell;
}

TableCell
CustomCounterDetailViewController::cellForRowAtIndexPath(const IndexPath &indexPath) const {
    const CustomCounter &c = customCounter;
    TableCell cell;
    if (indexPath.row < 0 || indexPath.row >= numberOfRowsInSection(indexPath.section)) return cell;
    if (indexPath.section == kName) {
        cell.reuseIdentifier = "CellWithName";
        cell.title = c.name;
        cell.detail = tracksText(c);
        cell.detailLines = 2;
    } else if (indexPath.section == kEnd) {
        cell.reuseIdentifier = "CellWithEndInfo";
        if (c.endDate) {
            cell.title =
                tr("Ends on ") + StringFormatter(services_.calendar)
                                     .getLocalizedShortDateShortTimeStringFromDate(*c.endDate);
            cell.detail = c.notifyOnEnd ? tr("alert is on") : tr("alert is off");
        } else {
            cell.title = tr("No End Date");
            cell.detail = tr("no alert");
        }
    } else if (c.trackCellular || c.trackWiFi) {
        cell = dataCell(c.trackCellular && indexPath.row == 0);
    } else {
        // A counter that tracks neither type counts nothing; say so rather than show amounts.
        cell.reuseIdentifier = "CellWithDataInfo";
        cell.title = tr("No data tracked");
    }
    cell.style = "subtitle";
    cell.height = heightForRowAtIndexPath(indexPath);
    return cell;
}

ValueDict CustomCounterDetailViewController::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(customCounter.name));
    out.set("btnEdit", labelValue(tr("Edit")));
    out.set("btnBack", labelValue(tr("Back")));
    return out;
}

ValueArray CustomCounterDetailViewController::sections() const {
    ValueArray out;
    for (int s = 0; s < numberOfSectionsInTableView(); ++s) {
        ValueArray rows;
        for (int r = 0; r < numberOfRowsInSection(s); ++r)
            rows.push_back(cellForRowAtIndexPath({s, r}).toValue());
        ValueDict section;
        section.set("title", Value(""));
        section.set("rows", Value(std::move(rows)));
        out.emplace_back(std::move(section));
    }
    return out;
}

ValueDict CustomCounterDetailViewController::values() const {
    ValueDict out;
    out.set("theme", Value(theme_));
    return out;
}

bool CustomCounterDetailViewController::perform(const std::string &action, const Value &) {
    if (action == "viewDidLoad")
        viewDidLoad();
    else if (action == "showEditView")
        showEditView();
    else if (action == "dismissView")
        dismissView();
    // Shown again, or a row tapped: the page reads everything afresh; nothing else to do.
    else if (action != "viewWillAppear" && action != "didSelectRow")
        return false;
    return true;
}

} // namespace byteward
