#include "history/history_export.h"

#include "app/mail_composer.h"
#include "core/data_formatter.h"
#include "core/text_format.h"
#include "dashboard/string_formatter.h"
#include "history/csv_writer.h"

namespace byteward {

namespace {

constexpr const char *kEmailHeader =
    "<pre><b>Data Type     Start Date/End Date     Total Data      "
    "Received        Sent</b></pre>";

} // namespace

std::string HistoryExport::amountText(const std::optional<double> &bytes, const std::string &unit) {
    const double converted = DataFormatter::converToDataUnitFromBytes(bytes, unit);
    return format("%.2f %s", converted, unit.c_str());
}

std::array<std::string, 6> HistoryExport::fieldsForLog(const History &log,
                                                       const std::string &unit) const {
    const StringFormatter dates(services_.calendar);
    auto date = [&dates](const std::optional<Instant> &d) {
        return d ? dates.getLocalizedShortDateNoTimeStringFromDate(*d) : std::string();
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
    message.subject = kHistorySubject;
    message.body = emailBody(logs, unit);
    message.bodyIsHTML = true;
    return message;
}

MailMessage HistoryExport::csvMail(const std::string &csv) {
    MailMessage message;
    message.subject = kCsvSubject;
    message.body = kCsvSubject;
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
        return {services_.paths.dataDir.string() + ": cannot create the folder"};
    // Renamed into place, so a mail client reading the previous export never sees half a file.
    return writeFileAtomically(csvPath(services_), csv);
}

HistoryExport::Outcome HistoryExport::emailHistory(const std::vector<History> &logs,
                                                   const std::string &unit) {
    std::optional<MailComposer> composer = MailComposer::showMessageComposerWithSubject(
        mail_, services_.log, kHistorySubject, "", std::nullopt);
    if (!composer) return Outcome::NoMailClient;
    composer->setMessageBody(emailBody(logs, unit), true);
    return composer->present(services_.log).handedOver ? Outcome::HandedOver
                                                       : Outcome::HandOffFailed;
}

HistoryExport::Outcome HistoryExport::exportToCsv(const std::vector<History> &logs,
                                                  const std::string &unit) {
    const std::string csv = csvText(logs, unit);
    // A mail with a missing or empty attachment would look like an export that worked.
    if (const FileResult written = writeCsvText(csv); !written.ok()) {
        services_.log.line("Writing data to file failed: " + written.error);
        return Outcome::FileNotWritten;
    }
    std::optional<MailComposer> composer = MailComposer::showMessageComposerWithSubject(
        mail_, services_.log, kCsvSubject, "", std::nullopt);
    if (!composer) return Outcome::NoMailClient;
    const MailMessage message = csvMail(csv);
    composer->setMessageBody(message.body, false);
    const MailAttachment &file = message.attachments.front();
    composer->addAttachmentData(file.data, file.mimeType, file.fileName);
    return composer->present(services_.log).handedOver ? Outcome::HandedOver
                                                       : Outcome::HandOffFailed;
}

} // namespace byteward
