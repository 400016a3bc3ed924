// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "model/history.h"
#include "platform/files.h"
#include "platform/i18n.h"
#include "platform/mail_client.h"
#include "screens/kit/presenter.h"
#include "storage/services.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// The history screens' two exports of the logs they show, in the order given: "Email History",
// a mail whose body is an HTML table of the logs, and "Export to CSV", the file "byteward.csv"
// in the documents folder, handed to the mail client as an attachment.
class HistoryExport {
  public:
    enum class Outcome {
        HandedOver,     // the mail client has the mail
        NoMailClient,   // no mail can be sent here (logged)
        HandOffFailed,  // the mail client would not take it (logged)
        FileNotWritten, // the CSV file could not be written (logged); no mail
    };
    enum class Kind { Email, Csv };

    // A date as both exports show it; the locale's short date without time unless given.
    using DateText = std::function<std::string(Instant)>;

    // `mail` may be null: no mail can be sent.
    HistoryExport(Services &services, MailClient *mail, DateText dateText = {});

    // "%.2f UNIT": the bytes in the unit, two decimals with a full stop whatever the locale, and
    // the unit's name.
    static std::string amountText(const std::optional<double> &bytes, const std::string &unit);
    // Data type, start date, end date, total, received, sent, as both exports show them.
    std::array<std::string, 6> fieldsForLog(const History &log, const std::string &unit) const;
    // The HTML table: a header line, then one preformatted line per log.
    std::string emailBody(const std::vector<History> &logs, const std::string &unit) const;
    // The CSV text: a header line, then one line per log.
    std::string csvText(const std::vector<History> &logs, const std::string &unit) const;

    // The two mails, as they go to the mail client.
    MailMessage historyMail(const std::vector<History> &logs, const std::string &unit) const;
    static MailMessage csvMail(const std::string &csv);

    // Replaces "byteward.csv" with the logs; the error says why it could not.
    [[nodiscard]] FileResult writeCsvFile(const std::vector<History> &logs,
                                          const std::string &unit) const;
    static std::filesystem::path csvPath(const Services &services);

    // "Email History".
    Outcome emailHistory(const std::vector<History> &logs, const std::string &unit);
    // "Export to CSV": writes the file, then mails it.
    Outcome exportToCsv(const std::vector<History> &logs, const std::string &unit);

    // What to tell the user when an export did not reach a mail composer (and, for the CSV
    // export, where the file is); nothing when it did.
    std::optional<Alert> alertForOutcome(Outcome outcome, Kind kind) const;

    static constexpr const char *kCsvFileName = "byteward.csv";
    static constexpr const char *kHistorySubject = N_("Byteward History");
    static constexpr const char *kCsvSubject = N_("Byteward CSV File");
    static constexpr int kAlertTag = 8789;

  private:
    [[nodiscard]] FileResult writeCsvText(const std::string &csv) const;

    Services &services_;
    MailClient *mail_;
    DateText dateText_;
};

} // namespace byteward
