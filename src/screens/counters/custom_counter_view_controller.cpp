// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/counters/custom_counter_view_controller.h"

#include "model/app_settings.h"
#include "model/data_formatter.h"
#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/kit/screen_theme.h"

namespace byteward {

namespace {

// One line of a row's subtitle: `pattern` takes the amount and the unit.
std::string amountLine(const char *pattern, std::optional<double> bytes, const std::string &unit) {
    return format(pattern,
                  static_cast<double>(DataFormatter::converToDataUnitFromBytes(bytes, unit)),
                  unit.c_str());
}

std::string subtitle(const CustomCounter &c, const std::string &unit) {
    std::string text;
    if (c.trackCellular) {
        if (c.direction == 3)
            text += amountLine(tr("Cellular  %.2f %s\n"), c.cellularDataTotal, unit);
        else if (c.direction == 1)
            text += amountLine(tr("Cellular Sent %.2f %s\n"), c.cellularDataSent, unit);
        else if (c.direction == 2)
            text += amountLine(tr("Cellular Received %.2f %s\n"), c.cellularDataReceived, unit);
    }
    if (c.trackWiFi) {
        if (c.direction == 3)
            text += amountLine(tr("Wi-Fi  %.2f %s"), c.wifiDataTotal, unit);
        else if (c.direction == 1)
            text += amountLine(tr("Wi-Fi Sent %.2f %s"), c.wifiDataSent, unit);
        else if (c.direction == 2)
            text += amountLine(tr("Wi-Fi Received %.2f %s"), c.wifiDataReceived, unit);
    }
    return text;
}

} // namespace

void CustomCounterViewController::viewDidLoad() {
    if (screens_.analytics != nullptr) screens_.analytics->logEvent("Viewing custom counter tab");
    theme_ = screenThemeValues();
}

void CustomCounterViewController::viewWillAppear() {
    detailShown_ = false;
    AppSettings settings(services_);
    settings.getSettings();
    displayDataUnit = AppSettings::text(settings.displayUnit);
    customCounterData = CustomCounter::getAllCustomCounters(services_);
}

bool CustomCounterViewController::validRow(int row) const {
    return row >= 0 && row < static_cast<int>(customCounterData.size());
}

int CustomCounterViewController::numberOfRowsInSection(int section) const {
    return section == 0 ? static_cast<int>(customCounterData.size()) : 0;
}

TableCell CustomCounterViewController::cellForRowAtIndexPath(const IndexPath &indexPath) const {
    TableCell cell;
    if (indexPath.section != 0 || !validRow(indexPath.row)) return cell;
    const CustomCounter &counter = customCounterData[static_cast<std::size_t>(indexPath.row)];
    cell.reuseIdentifier = "Cell";
    cell.style = "subtitle";
    cell.title = counter.name;
    cell.titleLines = 2;
    cell.detail = subtitle(counter, displayDataUnit);
    cell.detailLines = 2;
    cell.height = kRowHeight;
    cell.accessory = "switch";
    cell.editingAccessory = "disclosureIndicator";
    cell.control = "switch";
    cell.on = !counter.isPaused;
    return cell;
}

void CustomCounterViewController::switchToggled(int row, bool on) {
    if (!validRow(row)) return;
    CustomCounter &counter = customCounterData[static_cast<std::size_t>(row)];
    counter.isPaused = !on;
    // Only this counter's flag: the rest of the screen's copy may be older than the store,
    // where updates kept adding traffic while the list was shown.
    CustomCounter::setCustomCounterPaused(services_, counter.uniqueId, counter.isPaused);
    customCounterData = CustomCounter::getAllCustomCounters(services_);
}

void CustomCounterViewController::showEditMode() {
    editing = true;
}

void CustomCounterViewController::leaveEditMode() {
    editing = false;
}

void CustomCounterViewController::commitEditingStyleDelete(const IndexPath &indexPath) {
    if (indexPath.section != 0 || !validRow(indexPath.row)) return;
    const auto at = customCounterData.begin() + indexPath.row;
    const CustomCounter removed = *at;
    customCounterData.erase(at);
    // Not written: the list shows what the store still holds.
    if (!CustomCounter::removeCustomCounter(services_, removed))
        customCounterData = CustomCounter::getAllCustomCounters(services_);
}

void CustomCounterViewController::moveRowAtIndexPath(const IndexPath &from, const IndexPath &to) {
    if (from.section != 0 || to.section != 0 || !validRow(from.row) || !validRow(to.row)) return;
    services_.log.line(format("Move Row %d to row %d", from.row, to.row));
    // Written or not, the list is read again below and shows the stored order.
    (void)CustomCounter::reorderCustomCounterFromIndex(
        services_, static_cast<std::size_t>(from.row), static_cast<std::size_t>(to.row));
    customCounterData = CustomCounter::getAllCustomCounters(services_);
}

void CustomCounterViewController::presentEditor(CustomCounter *counter) {
    editor_ = std::make_unique<CustomCounterEditViewController>(services_, screens_, navigator_);
    editor_->displayDataUnit = displayDataUnit;
    editor_->isAddMode = counter == nullptr;
    if (counter != nullptr) editor_->setCustomCounter(*counter);
    editor_->viewDidLoad();
    navigator_.presentModal(CustomCounterEditViewController::kPageName, *editor_);
}

void CustomCounterViewController::showAddMode() {
    if (!covered()) presentEditor(nullptr);
}

void CustomCounterViewController::didSelectRowAtIndexPath(const IndexPath &indexPath) {
    // A second tap before the first screen is up must not replace that screen.
    if (covered() || indexPath.section != 0 || !validRow(indexPath.row)) return;
    const CustomCounter &counter = customCounterData[static_cast<std::size_t>(indexPath.row)];
    if (editing) {
        editedCounter_ = counter;
        presentEditor(&editedCounter_);
        return;
    }
    detail_ = std::make_unique<CustomCounterDetailViewController>(services_, screens_, navigator_);
    detail_->customCounter = counter;
    detail_->displayDataUnit = displayDataUnit;
    detail_->viewDidLoad();
    detailShown_ = true;
    navigator_.push(CustomCounterDetailViewController::kPageName, *detail_);
}

ValueDict CustomCounterViewController::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(tr("Custom Counters")));
    return out;
}

ValueArray CustomCounterViewController::sections() const {
    ValueArray rows;
    for (int r = 0; r < numberOfRowsInSection(0); ++r)
        rows.push_back(cellForRowAtIndexPath({0, r}).toValue());
    ValueDict section;
    section.set("title", Value(""));
    section.set("rows", Value(std::move(rows)));
    return {Value(std::move(section))};
}

ValueDict CustomCounterViewController::values() const {
    ValueDict out;
    out.set("editing", Value(editing));
    // The bar's buttons: the edit icon (or "done" while editing) on the left, "add" on the right.
    out.set("leftButton", Value(editing ? "done" : "edit"));
    out.set("rightButton", Value("add"));
    out.set("theme", Value(theme_));
    return out;
}

bool CustomCounterViewController::perform(const std::string &action, const Value &argument) {
    const IndexPath at{0, argumentInt(argument, "row")};
    if (action == "viewDidLoad")
        viewDidLoad();
    else if (action == "viewWillAppear")
        viewWillAppear();
    else if (action == "showAddMode")
        showAddMode();
    else if (action == "showEditMode")
        showEditMode();
    else if (action == "leaveEditMode")
        leaveEditMode();
    else if (action == "switchToggled")
        switchToggled(at.row, argumentBool(argument, "on"));
    else if (action == "commitEditingStyle")
        commitEditingStyleDelete(at);
    else if (action == "moveRow")
        moveRowAtIndexPath({0, argumentInt(argument, "from")}, {0, argumentInt(argument, "to")});
    else if (action == "didSelectRow")
        didSelectRowAtIndexPath(at);
    else
        return false;
    return true;
}

} // namespace byteward
