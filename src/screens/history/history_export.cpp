// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "screens/history/history_export.h"

#include "model/csv_writer.h"
#include "model/data_formatter.h"
#include "model/mail_composer.h"
#include "model/text_format.h"
#include "platform/i18n.h"
#include "screens/kit/string_formatter.h"

#include <charconv>

namespace byteward {

namespace {

constexpr const char *kEmailHeader =
    "<pre><b>Data Type     Start Date/End Date     Total Data      "
    "Received        Sent</b></pre>";

} // namespace

HistoryExport::HistoryExport(Services &services, MailClient *mail, DateText dateText)
    : services_(services), mail_(mail), dateText_(std::move(dateText)) {
    if (!dateText_)
        dateText_ = [&calendar = services_.calendar](Instant date) {
            return StringFormatter(calendar).getLocalizedShortDateNoTimeStringFromDate(date);
        };
}

std::string HistoryExport::amountText(const std::optional<double> &bytes, const std::string &unit) {
    // The single-precision figure, widened. to_chars keeps the full stop where printf would
    // take the decimal separator of a locale that a GUI toolkit set for the whole process.
    const double converted = DataFormatter::converToDataUnitFromBytes(bytes, unit);
    char number[64]; // a float's largest value has 39 digits
    const auto written =
        std::to_chars(number, number + sizeof number, converted, std::chars_format::fixed, 2);
    return std::string(number, written.ptr) + " " + unit;
}

std::array<std::string, 6> HistoryExport::fieldsForLog(const History &log,
                                                       const std::string &unit) const {
    auto date = [this](const std::optional<Instant> &d) {
        return d ? dateText_(*d) : std::string();
    };
    return {log.dataType == History::kWiFi ? "   Wi-Fi" : "Cellular",
            date(log.startDate),
            date(log.endDate),
            amountText(log.dataTotal, unit),
            amountText(log.dataReceived, unit),
            amountText(log.dataSent, unit)};
}

std::string HistoryExport::emailBody(const std::vector<History> &logs,
                                     const std::string &unit) const {
    std::string body = kEmailHeader;
    for (const auto &log : logs) {
        std::array<std::string, 6> f = fieldsForLog(log, unit);
        // The values stand in HTML; a unit or date holding markup must not become markup.
        for (auto &field : f)
            field = escapeHtml(field);
        body += "<p><pre>" + f[0] + "     " + f[1] + " to " + f[2] + "        " + f[3] + "     " +
                f[4] + "     " + f[5] + "</pre>";
    }
    return body;
}

std::string HistoryExport::csvText(const std::vector<History> &logs,
                                   const std::string &unit) const {
    CsvWriter writer;
    writer.writeLineOfFields(
        {"Data Type", "Start Date", "End Date", "Total Data", "Received", "Sent"});
    for (const auto &log : logs) {
        const std::array<std::string, 6> f = fieldsForLog(log, unit);
        writer.writeLineOfFields({f.begin(), f.end()});
    }
    return writer.text();
}

MailMessage HistoryExport::historyMail(const std::vector<History> &logs,
                                       const std::string &unit) const {
    MailMessage message;
    message.subject = tr(kHistorySubject);
    message.body = emailBody(logs, unit);
    message.bodyIsHTML = true;
    return message;
}

MailMessage HistoryExport::csvMail(const std::string &csv) {
    MailMessage message;
    message.subject = tr(kCsvSubject);
    message.body = tr(kCsvSubject);
    message.attachments.push_back({csv, "text/csv", kCsvFileName});
    return message;
}

std::filesystem::path HistoryExport::csvPath(const Services &services) {
    return services.paths.dataDir / kCsvFileName;
}

FileResult HistoryExport::writeCsvFile(const std::vector<History> &logs,
                                       const std::string &unit) const {
    return writeCsvText(csvText(logs, unit));
}

FileResult HistoryExport::writeCsvText(const std::string &csv) const {
    if (!ensurePrivateDirectory(services_.paths.dataDir))
        return noteWrite(services_.log, csvPath(services_),
                         FileResult::failure(services_.paths.dataDir.string() +
                                             ": the folder cannot be created"));
    // Renamed into place, so a mail client reading the previous export never sees half a file.
    return noteWrite(services_.log, csvPath(services_),
                     writeFileAtomically(csvPath(services_), csv));
}

HistoryExport::Outcome HistoryExport::emailHistory(const std::vector<History> &logs,
                                                   const std::string &unit) {
    std::optional<MailComposer> composer = MailComposer::showMessageComposerWithSubject(
        mail_, services_.log, tr(kHistorySubject), "", std::nullopt);
    if (!composer) return Outcome::NoMailClient;
    composer->setMessageBody(emailBody(logs, unit), true);
    return composer->present(services_.log).handedOver ? Outcome::HandedOver
                                                       : Outcome::HandOffFailed;
}

HistoryExport::Outcome HistoryExport::exportToCsv(const std::vector<History> &logs,
                                                  const std::string &unit) {
    const std::string csv = csvText(logs, unit);
    // A mail with a missing or empty attachment would look like an export that worked.
    if (const FileResult written = writeCsvText(csv); !written.ok()) return Outcome::FileNotWritten;
    std::optional<MailComposer> composer = MailComposer::showMessageComposerWithSubject(
        mail_, services_.log, tr(kCsvSubject), "", std::nullopt);
    if (!composer) return Outcome::NoMailClient;
    const MailMessage message = csvMail(csv);
    composer->setMessageBody(message.body, false);
    const MailAttachment &file = message.attachments.front();
    composer->addAttachmentData(file.data, file.mimeType, file.fileName);
    return composer->present(services_.log).handedOver ? Outcome::HandedOver
                                                       : Outcome::HandOffFailed;
}

std::optional<Alert> HistoryExport::alertForOutcome(Outcome outcome, Kind kind) const {
    const std::string file = csvPath(services_).string();
    Alert alert;
    alert.tag = kAlertTag;
    alert.cancelButton = tr("OK");
    alert.title = tr("Cannot Send Mail");
    switch (outcome) {
    case Outcome::HandedOver:
        return std::nullopt;
    case Outcome::NoMailClient:
        alert.message = tr("No mail client was found. Install Thunderbird, or set up a mail "
                           "program that xdg-email can open.");
        break;
    case Outcome::HandOffFailed:
        alert.message = tr("The mail client did not open the message.");
        break;
    case Outcome::FileNotWritten:
        alert.title = tr("Export Failed");
        alert.message = format(tr("The CSV file could not be written to %s."), file.c_str());
        return alert;
    }
    if (kind == Kind::Csv)
        alert.message += format(tr(" The CSV file was written to %s."), file.c_str());
    return alert;
}

} // namespace byteward
