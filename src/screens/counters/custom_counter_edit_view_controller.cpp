// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/counters/custom_counter_edit_view_controller.h"

#include "model/data_formatter.h"
#include "model/text_format.h"
#include "platform/data_lock.h"
#include "platform/i18n.h"
#include "screens/kit/screen_theme.h"
#include "screens/kit/string_formatter.h"

#include <algorithm>

namespace byteward {

namespace {

constexpr const char *kNoEndDate = DatePickerViewController::kNoEndDate;

enum Section { kName, kTrack, kEnd, kDirection, kFirstAmounts, kSecondAmounts };

// The stored counter with this identifier, as it is now.
std::optional<CustomCounter> storedCounter(Services &services, const std::string &uniqueId) {
    for (auto &counter : CustomCounter::getAllCustomCounters(services))
        if (!uniqueId.empty() && counter.uniqueId == uniqueId) return counter;
    return std::nullopt;
}

} // namespace

CustomCounterEditViewController::CustomCounterEditViewController(Services &services,
                                                                 ScreenContext screens,
                                                                 Navigator &navigator)
    : services_(services), screens_(screens), navigator_(navigator) {
}

CustomCounterEditViewController::~CustomCounterEditViewController() {
    if (themeObserver_ && screens_.events != nullptr)
        screens_.events->removeObserver(*themeObserver_);
}

void CustomCounterEditViewController::setCustomCounter(CustomCounter &counter) {
    counter_ = &counter;
    original_ = counter;
}

void CustomCounterEditViewController::viewDidLoad() {
    if (screens_.analytics != nullptr)
        screens_.analytics->logEvent("Create or edit custom counter");
    if (screens_.events != nullptr && !themeObserver_)
        themeObserver_ =
            screens_.events->addObserver(NotificationCenter::kProgressBarMileStoneNotification,
                                         [this](const ValueDict &) { applyTheme(); });
    applyTheme();
    if (isAddMode && !ownCounter_) {
        ownCounter_ = CustomCounter::initWithName(tr("New Counter"), services_.clock.now());
        counter_ = &*ownCounter_;
        original_.reset();
    }
}

void CustomCounterEditViewController::applyTheme() {
    theme_ = screenThemeValues();
    if (onChanged) onChanged();
}

// Table layout

int CustomCounterEditViewController::numberOfSectionsInTableView() const {
    if (counter_ == nullptr) return 0;
    if (isAddMode) return 4;
    return tracksBoth() ? 7 : 6;
}

std::vector<CustomCounterEditViewController::Amount>
CustomCounterEditViewController::amountRows() const {
    switch (counter_->direction) {
    case 3:
        return {Amount::Received, Amount::Sent, Amount::Total};
    case 2:
        return {Amount::Received};
    case 1:
        return {Amount::Sent};
    default:
        // A direction the editor never sets (a damaged file): show what was counted.
        return {Amount::Total};
    }
}

std::optional<bool> CustomCounterEditViewController::amountsOfSection(int section) const {
    if (isAddMode || counter_ == nullptr) return std::nullopt;
    if (section == kFirstAmounts) return counter_->trackCellular;
    if (section == kSecondAmounts && tracksBoth()) return false;
    return std::nullopt;
}

int CustomCounterEditViewController::numberOfRowsInSection(int section) const {
    if (section < 0 || section >= numberOfSectionsInTableView()) return 0;
    if (section == kEnd) return 2;
    if (amountsOfSection(section)) return static_cast<int>(amountRows().size());
    return 1;
}

std::string CustomCounterEditViewController::titleForHeaderInSection(int section) const {
    switch (section) {
    case kTrack:
        return tr("Track");
    case kEnd:
        return tr("End Date and Alert");
    case kDirection:
        return tr("Direction");
    default:
        break;
    }
    if (const auto cellular = amountsOfSection(section))
        return *cellular ? tr("Cellular Byteward") : tr("Wi-Fi Byteward");
    return {};
}

double CustomCounterEditViewController::heightForRowAtIndexPath(const IndexPath &indexPath) const {
    return indexPath.section == kName || indexPath.section == kDirection ? 41 : 44;
}

std::string CustomCounterEditViewController::endDateText() const {
    if (!counter_->endDate) return tr(kNoEndDate);
    return StringFormatter(services_.calendar)
        .getLocalizedShortDateShortTimeStringFromDate(*counter_->endDate);
}

TableCell CustomCounterEditViewController::amountCell(bool cellular, Amount amount) const {
    static constexpr const char *kTitles[] = {N_("Received"), N_("Sent"), N_("Total")};
    static constexpr const char *kCellular[] = {
        "CellWithCellRecdDataInfo", "CellWithCellSentDataInfo", "CellWithCellTotalDataInfo"};
    static constexpr const char *kWiFi[] = {"CellWithWifiRecdDataInfo", "CellWithWifiSentDataInfo",
                                            "CellWithWifiTotalDataInfo"};
    const CustomCounter &c = *counter_;
    const std::optional<double> bytes[2][3] = {
        {c.wifiDataReceived, c.wifiDataSent, c.wifiDataTotal},
        {c.cellularDataReceived, c.cellularDataSent, c.cellularDataTotal}};
    const auto i = static_cast<std::size_t>(amount);
    TableCell cell;
    cell.reuseIdentifier = cellular ? kCellular[i] : kWiFi[i];
    cell.style = "value1";
    cell.title = tr(kTitles[i]);
    cell.detail = format("%.2f %s",
                         static_cast<double>(DataFormatter::converToDataUnitFromBytes(
                             bytes[cellular][i], displayDataUnit)),
                         displayDataUnit.c_str());
    return cell;
}

TableCell CustomCounterEditViewController::cellForRowAtIndexPath(const IndexPath &indexPath) const {
    TableCell cell;
    if (counter_ == nullptr || indexPath.row < 0 ||
        indexPath.row >= numberOfRowsInSection(indexPath.section))
        return cell;
    const CustomCounter &c = *counter_;
    if (const auto cellular = amountsOfSection(indexPath.section)) {
        cell = amountCell(*cellular, amountRows()[static_cast<std::size_t>(indexPath.row)]);
    } else if (indexPath.section == kName) {
        cell.reuseIdentifier = "CellWithName";
        cell.style = "value1";
        cell.title = tr("Name");
        cell.detail = c.name;
        cell.accessory = "disclosureIndicator";
    } else if (indexPath.section == kTrack) {
        cell.reuseIdentifier = "CellWithDataType";
        cell.control = "segments";
        cell.items = {tr("Cellular"), tr("Wi-Fi"), tr("Both")};
        cell.selectedIndex = tracksBoth() ? 2 : c.trackWiFi ? 1 : c.trackCellular ? 0 : -1;
    } else if (indexPath.section == kEnd && indexPath.row == 0) {
        cell.reuseIdentifier = "CellWithEndDate";
        cell.style = "value1";
        cell.title = tr("End Date");
        cell.detail = endDateText();
        cell.accessory = "disclosureIndicator";
    } else if (indexPath.section == kEnd) {
        cell.reuseIdentifier = "CellWithNotifyOption";
        cell.style = "value1";
        cell.title = tr("Alert on end");
        cell.accessory = "switch";
        cell.control = "switch";
        cell.on = c.notifyOnEnd;
    } else if (indexPath.section == kDirection) {
        cell.reuseIdentifier = "CellWithOption";
        cell.control = "segments";
        cell.items = {tr("Received"), tr("Sent"), tr("Both")};
        cell.selectedIndex = c.direction == 3   ? 2
                             : c.direction == 1 ? 1
                             : c.direction == 2 ? 0
                                                : -1;
    } else {
        cell.reuseIdentifier = "CellWithResetButton";
        cell.style = "value1";
        cell.control = "button";
        cell.buttonTitle = tr("Reset Counter");
    }
    cell.height = heightForRowAtIndexPath(indexPath);
    return cell;
}

// Value changes

void CustomCounterEditViewController::dataTypeSegValueChanged(int selectedSegmentIndex) {
    if (counter_ == nullptr || selectedSegmentIndex < 0 || selectedSegmentIndex > 2) return;
    counter_->trackCellular = selectedSegmentIndex != 1;
    counter_->trackWiFi = selectedSegmentIndex != 0;
}

void CustomCounterEditViewController::directionTypeSegValueChanged(int selectedSegmentIndex) {
    static constexpr std::int32_t kDirections[] = {2, 1, 3}; // Received, Sent, Both
    if (counter_ == nullptr || selectedSegmentIndex < 0 || selectedSegmentIndex > 2) return;
    counter_->direction = kDirections[selectedSegmentIndex];
}

void CustomCounterEditViewController::alertSwitchValueChanged(bool on) {
    if (counter_ != nullptr) counter_->notifyOnEnd = on;
}

// Pickers

void CustomCounterEditViewController::didSelectRowAtIndexPath(const IndexPath &indexPath) {
    // One picker at a time: a second tap must not replace the picker that is on screen.
    if (counter_ == nullptr || pickerOpen_) return;
    if (indexPath == IndexPath{kName, 0})
        presentTextField(indexPath);
    else if (indexPath == IndexPath{kEnd, 0})
        presentDatePicker(indexPath);
}

void CustomCounterEditViewController::presentTextField(const IndexPath &indexPath) {
    textField_ = std::make_unique<TextFieldViewController>(navigator_);
    textField_->delegate = this;
    textField_->indexPath = indexPath;
    textField_->keyboardType = 0;
    textField_->placeholderText = tr("counter name");
    textField_->initialText = counter_->name;
    textField_->viewDidLoad();
    pickerOpen_ = true;
    navigator_.presentModal(TextFieldViewController::kPageName, *textField_);
}

void CustomCounterEditViewController::presentDatePicker(const IndexPath &indexPath) {
    datePicker_ = std::make_unique<DatePickerViewController>(services_, navigator_);
    datePicker_->delegate = this;
    // The date as the row shows it, so to the minute.
    const std::string shown = cellForRowAtIndexPath(indexPath).detail;
    if (shown != tr(kNoEndDate))
        datePicker_->initialDate =
            StringFormatter(services_.calendar).getLocalizedDateFromShortDateShortTimeString(shown);
    datePicker_->viewDidLoad();
    pickerOpen_ = true;
    navigator_.presentModal(DatePickerViewController::kPageName, *datePicker_);
}

void CustomCounterEditViewController::textViewControllerDidFinish(TextFieldViewController &,
                                                                  const std::string &text,
                                                                  const IndexPath &) {
    pickerOpen_ = false;
    if (counter_ != nullptr) counter_->name = text;
}

void CustomCounterEditViewController::datePickerViewControllerDidFinish(
    DatePickerViewController &, std::optional<Instant> date) {
    pickerOpen_ = false;
    if (counter_ != nullptr) counter_->endDate = date;
}

void CustomCounterEditViewController::datePickerViewControllerDidFinishWithCancel(
    DatePickerViewController &) {
    pickerOpen_ = false;
}

// Reset, save and cancel

void CustomCounterEditViewController::resetCounter() {
    if (screens_.presenter == nullptr || counter_ == nullptr) return;
    Alert sheet;
    sheet.title = tr(kResetTitle);
    sheet.cancelButton = tr("Cancel");
    sheet.otherButtons = {tr("Reset Counter")};
    sheet.destructiveButton = tr("Reset Counter");
    sheet.actionSheet = true;
    screens_.presenter->presentAlert(sheet, this);
}

void CustomCounterEditViewController::alertView(const Alert &alert, int buttonIndex) {
    // Button 0 is "Cancel"; 1 is "Reset Counter".
    if (alert.title != tr(kResetTitle) || buttonIndex != 1 || counter_ == nullptr) return;
    counter_->resetCellular();
    counter_->resetWiFi();
    resetChosen_ = true;
}

void CustomCounterEditViewController::storeEditedCounter() {
    // The amounts in hand may be older than the stored ones: updates kept counting while the
    // editor (or the list before it) was open. Keep what the store counted since and take only
    // what the user edits here; a reset still zeroes the amounts.
    try {
        DataLock lock(services_.paths.dataDir);
        if (const auto stored = storedCounter(services_, counter_->uniqueId)) {
            CustomCounter merged = *stored;
            merged.name = counter_->name;
            merged.trackCellular = counter_->trackCellular;
            merged.trackWiFi = counter_->trackWiFi;
            merged.endDate = counter_->endDate;
            merged.notifyOnEnd = counter_->notifyOnEnd;
            merged.direction = counter_->direction;
            if (resetChosen_) {
                merged.resetCellular();
                merged.resetWiFi();
            }
            *counter_ = merged;
        }
        // A failure reaches the person through the write-failure listener.
        (void)CustomCounter::saveCustomCounter(services_, *counter_);
    } catch (const LockTimeout &error) {
        services_.log.line(std::string("Writing data to file failed: ") + error.what());
    }
}

void CustomCounterEditViewController::saveAndDismissView() {
    // A second press must not store the counter twice (add mode would append it again).
    if (counter_ == nullptr || finished_) return;
    finished_ = true;
    if (isAddMode)
        (void)CustomCounter::addCustomCounter(services_, *counter_); // as a save's failure
    else
        storeEditedCounter();
    original_ = *counter_;
    navigator_.dismiss(*this);
}

void CustomCounterEditViewController::cancelAndDismissView() {
    if (finished_) return;
    finished_ = true;
    // Nothing is stored, and the caller's counter shows what is stored again.
    if (counter_ != nullptr && original_) *counter_ = *original_;
    navigator_.dismiss(*this);
}

// Screen

ValueDict CustomCounterEditViewController::labels() const {
    ValueDict out;
    out.set("lblTitle", labelValue(isAddMode ? tr("Add Counter") : tr("Edit Counter")));
    out.set("btnSave", labelValue(tr("Save")));
    out.set("btnCancel", labelValue(tr("Cancel")));
    return out;
}

ValueArray CustomCounterEditViewController::sections() const {
    ValueArray out;
    for (int s = 0; s < numberOfSectionsInTableView(); ++s) {
        ValueArray rows;
        for (int r = 0; r < numberOfRowsInSection(s); ++r)
            rows.push_back(cellForRowAtIndexPath({s, r}).toValue());
        ValueDict section;
        section.set("title", Value(titleForHeaderInSection(s)));
        section.set("rows", Value(std::move(rows)));
        out.emplace_back(std::move(section));
    }
    return out;
}

ValueDict CustomCounterEditViewController::values() const {
    ValueDict out;
    out.set("isAddMode", Value(isAddMode));
    out.set("theme", Value(theme_));
    return out;
}

bool CustomCounterEditViewController::perform(const std::string &action, const Value &argument) {
    const IndexPath at{argumentInt(argument, "section"), argumentInt(argument, "row")};
    if (action == "viewDidLoad")
        viewDidLoad();
    else if (action == "didSelectRow")
        didSelectRowAtIndexPath(at);
    else if (action == "dataTypeSegValueChanged")
        dataTypeSegValueChanged(argumentInt(argument, "index"));
    else if (action == "directionTypeSegValueChanged")
        directionTypeSegValueChanged(argumentInt(argument, "index"));
    else if (action == "alertSwitchValueChanged")
        alertSwitchValueChanged(argumentBool(argument, "on"));
    else if (action == "resetCounter")
        resetCounter();
    else if (action == "saveAndDismissView")
        saveAndDismissView();
    else if (action == "cancelAndDismissView")
        cancelAndDismissView();
    else
        return false;
    return true;
}

} // namespace byteward
