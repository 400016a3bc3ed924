// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Correcting the current billing period by hand (set it to the provider's figure, or start it
// again at zero) and the one-time rating prompt.
#include "model/history.h"
#include "model/period_correction.h"
#include "model/text_format.h"
#include "platform/data_lock.h"
#include "platform/i18n.h"
#include "screens/dashboard/main_view_controller.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <unicode/numberformatter.h>
#include <unicode/numfmt.h>
#include <vector>

namespace byteward {

namespace {

constexpr const char *kAdjustCellularTitle = N_("enter adjusted cellular usage");
constexpr const char *kAdjustWifiTitle = N_("enter adjusted WiFi usage");
constexpr const char *kResetCellularTitle = N_("Reset Cellular Usage");
constexpr const char *kResetWifiTitle = N_("Reset WiFi Usage");
constexpr const char *kRateTitle = N_("Rate Byteward");
constexpr const char *kNotUnderstoodTitle = N_("Amount not understood");
constexpr int kDaysBeforeRatingPrompt = 11;

// An amount in the display unit as the user's locale writes it. Up to two decimals, so that a
// period of 0.4 GB does not offer "0" to correct; no grouping, so the figure is easy to edit.
std::string formatAmount(double amount, const std::string &localeId) {
    UErrorCode status = U_ZERO_ERROR;
    const auto formatted = icu::number::NumberFormatter::withLocale(icu::Locale(localeId.c_str()))
                               .precision(icu::number::Precision::minMaxFraction(0, 2))
                               .grouping(UNUM_GROUPING_OFF)
                               .formatDouble(amount, status);
    std::string out;
    formatted.toString(status).toUTF8String(out);
    return U_SUCCESS(status) ? out : std::string();
}

std::string trimmed(const std::string &text) {
    constexpr const char *kSpace = " \t\r\n";
    const auto first = text.find_first_not_of(kSpace);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// The number the whole text spells in the user's locale ("1.234,5" in German), or a plain
// "1234.5" in any locale. Empty for anything else, trailing words included.
std::optional<double> parseAmount(const std::string &input, const std::string &localeId) {
    const std::string text = trimmed(input);
    if (text.empty()) return std::nullopt;

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> format(
        icu::NumberFormat::createInstance(icu::Locale(localeId.c_str()), status));
    if (U_SUCCESS(status) && format) {
        // Strict: lenient parsing reads "1.50" in German as 150, taking the point for grouping.
        format->setLenient(false);
        const auto unicode = icu::UnicodeString::fromUTF8(text);
        icu::Formattable result;
        icu::ParsePosition position(0);
        format->parse(unicode, result, position);
        if (position.getErrorIndex() < 0 && position.getIndex() == unicode.length()) {
            const double value = result.getDouble(status);
            if (U_SUCCESS(status) && std::isfinite(value)) return value;
        }
    }

    double value = 0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (error == std::errc() && stop == end && std::isfinite(value)) return value;
    return std::nullopt;
}

Alert dialog(std::string title, std::string message, std::string cancelButton,
             std::vector<std::string> otherButtons = {}) {
    Alert alert;
    alert.title = std::move(title);
    alert.message = std::move(message);
    alert.cancelButton = std::move(cancelButton);
    alert.otherButtons = std::move(otherButtons);
    return alert;
}

Alert adjustAlert(const char *title, const char *message, std::string prefill) {
    Alert alert = dialog(tr(title), message, tr("Cancel"), {tr("OK")});
    alert.textInput = true;
    alert.text = std::move(prefill);
    alert.keyboard = "decimal";
    return alert;
}

Alert notUnderstood(const std::string &text, const std::string &localeId) {
    return dialog(tr(kNotUnderstoodTitle),
                  format(tr("\"%s\" is not an amount of data. Please enter a number such as %s."),
                         text.c_str(), formatAmount(12.5, localeId).c_str()),
                  tr("OK"));
}

} // namespace

void MainViewController::adjustCellularUsage() {
    if (screens.presenter == nullptr) return;
    {
        // Loading may set an unreadable file aside; that must not race another process.
        DataLock lock(services_.paths.dataDir);
        appDataCellular().getAppData(kCellular);
    }
    const float usage = converToDataUnitFromBytes(appDataCellular().dataThisMonth);
    screens.presenter->presentAlert(
        adjustAlert(kAdjustCellularTitle, "\n", formatAmount(usage, services_.calendar.localeId())),
        this);
    resetCellularNotificationKeys();
    isLSViewUpdated = false;
    repaintView(true);
}

void MainViewController::adjustWifiUsage() {
    services_.log.line("Called adjust wifi usage ..");
    if (screens.presenter == nullptr) return;
    {
        DataLock lock(services_.paths.dataDir);
        appDataWifi().getAppData(kWiFi);
    }
    const float usage = converToDataUnitFromBytes(appDataWifi().dataThisMonth);
    screens.presenter->presentAlert(
        adjustAlert(kAdjustWifiTitle, "\n\n", formatAmount(usage, services_.calendar.localeId())),
        this);
    resetWifiNotificationKeys();
    repaintView(false);
}

void MainViewController::askResetCellularUsage() {
    if (screens.presenter == nullptr) return;
    screens.presenter->presentAlert(
        dialog(tr(kResetCellularTitle),
               tr("Are you sure you would like to reset Cellular Usage to Zero?"), tr("Cancel"),
               {tr("Reset")}),
        this);
}

void MainViewController::askResetWifiUsage() {
    if (screens.presenter == nullptr) return;
    screens.presenter->presentAlert(
        dialog(tr(kResetWifiTitle), tr("Are you sure you would like to reset WiFi Usage to Zero?"),
               tr("Cancel"), {tr("Reset")}),
        this);
}

FileResult MainViewController::resetCellularUsage() {
    FileResult reset =
        closePeriodByHand(services_, appDataCellular(), kCellular, History::kCellular);
    services_.log.line("setting LS view NOT updated at cellular reset..");
    isLSViewUpdated = false;
    if (reset) resetCellularNotificationKeys();
    repaintView(true);
    return reset;
}

FileResult MainViewController::resetWifiUsage() {
    FileResult reset = closePeriodByHand(services_, appDataWifi(), kWiFi, History::kWiFi);
    if (reset) resetWifiNotificationKeys();
    repaintView(false);
    return reset;
}

void MainViewController::solicitRating() {
    UserDefaults &defaults = services_.defaults;
    const auto firstRun = defaults.objectForKey("firstRun");
    // Only where the prompt can be shown: a headless render must not use up the one chance.
    if (screens.presenter != nullptr && firstRun && firstRun->isDate()) {
        // Elapsed time, not calendar days: eleven days of use.
        const auto days = std::chrono::duration_cast<std::chrono::days>(services_.clock.now() -
                                                                        *firstRun->asDate())
                              .count();
        const auto asked = defaults.objectForKey("askedForRating");
        if (days >= kDaysBeforeRatingPrompt && !(asked && asked->boolValue())) {
            showRatingChoice();
            defaults.setObject("askedForRating", Value(true));
        }
    }
    defaults.synchronize();
}

void MainViewController::showRatingChoice() {
    if (screens.presenter == nullptr) return;
    screens.presenter->presentAlert(
        dialog(tr(kRateTitle),
               tr("If you enjoy using Byteward, would you mind taking a moment to rate it with "
                  "five stars? It won't take more than a minute. \n Thanks for your support!!"),
               tr("No, Thanks"), {tr("Rate It!")}),
        this);
}

void MainViewController::alertView(const Alert &alert, int buttonIndex) {
    if (buttonIndex <= 0) return;
    // Titles are compared as they were shown, in the user's language.
    const bool adjustCellular = alert.title == tr(kAdjustCellularTitle);
    if (adjustCellular || alert.title == tr(kAdjustWifiTitle)) {
        const std::string localeId = services_.calendar.localeId();
        const auto amount = parseAmount(alert.text, localeId);
        const float total = amount && *amount >= 0 ? convertToBytesFromDataUnit(*amount) : -1.0f;
        // Unreadable or negative text leaves the period as it was: taking it for 0 bytes would
        // wipe the usage the user meant to correct.
        if (!(total >= 0) || !std::isfinite(total)) {
            if (screens.presenter != nullptr)
                screens.presenter->presentAlert(notUnderstood(alert.text, localeId), this);
            return;
        }
        AppData &record = adjustCellular ? appDataCellular() : appDataWifi();
        lastAdjustment =
            setPeriodUsage(services_, record, adjustCellular ? kCellular : kWiFi, total);
        if (lastAdjustment) {
            if (adjustCellular)
                resetCellularNotificationKeys();
            else
                resetWifiNotificationKeys();
        }
        repaintView(adjustCellular);
    } else if (alert.title == tr(kResetCellularTitle)) {
        lastAdjustment = resetCellularUsage();
    } else if (alert.title == tr(kResetWifiTitle)) {
        lastAdjustment = resetWifiUsage();
    } else if (alert.title == tr(kRateTitle)) {
        if (screens.presenter != nullptr) screens.presenter->openUrl(kRatingUrl);
    }
}

} // namespace byteward
