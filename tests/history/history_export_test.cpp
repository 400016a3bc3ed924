#include "history/csv_writer.h"
#include "history/history_export.h"
#include "platform/files.h"
#include "platform/iso8601.h"
#include "support/recording_mail_client.h"
#include "support/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

History log(const test::TestEnv &env, const char *start, const char *end, std::int32_t dataType,
            std::optional<double> total, std::optional<double> received = 0,
            std::optional<double> sent = 0) {
    return History::initWithStartDate(parseIso8601(start, env.calendar),
                                      parseIso8601(end, env.calendar), sent, received, total,
                                      dataType, History::kBillingCycleLog);
}

std::string saved(const char *name) {
    return readWholeFile(fs::path(BYTEWARD_TEST_DATA) / "history" / name).value_or("<missing>");
}

// Three periods: a Wi-Fi one with real amounts, a cellular one with amounts missing or below
// zero, and one of an unknown type.
std::vector<History> sampleLogs(const test::TestEnv &env) {
    return {log(env, "2025-10-08T00:00:00Z", "2025-11-07T00:00:00Z", History::kWiFi, 1610612736.0,
                1073741824.0, 536870912.0),
            log(env, "2025-11-08T00:00:00Z", "2025-12-07T00:00:00Z", History::kCellular,
                std::nullopt, -5.0, 0.0),
            log(env, "2025-12-01T00:00:00Z", "2025-12-02T00:00:00Z", 7, 52428.8, 1024.0, 1.0)};
}

TEST(HistoryExport, EveryLogYieldsTheSameSixFieldsForBothExports) {
    test::TestEnv env;
    HistoryExport exporter(env.services(), nullptr);
    struct Case {
        const char *name;
        History log;
        const char *unit;
        std::array<std::string, 6> fields;
    };
    const Case cases[] = {
        {"WiFiKeepsItsThreeLeadingSpacesAndEveryAmountTakesTheUnit",
         log(env, "2025-10-08T00:00:00Z", "2025-11-07T23:00:00Z", History::kWiFi, 1610612736.0,
             1073741824.0, 536870912.0),
         "GB",
         {"   Wi-Fi", "10/8/25", "11/7/25", "1.50 GB", "1.00 GB", "0.50 GB"}},
        {"TheSameBytesInMegabytes",
         log(env, "2025-10-08T00:00:00Z", "2025-11-07T00:00:00Z", History::kWiFi, 1610612736.0),
         "MB",
         {"   Wi-Fi", "10/8/25", "11/7/25", "1536.00 MB", "0.00 MB", "0.00 MB"}},
        {"MissingZeroAndNegativeAmountsPrintAsZero",
         log(env, "2025-11-08T00:00:00Z", "2025-12-07T00:00:00Z", History::kCellular, std::nullopt,
             -2048.0, 0.0),
         "KB",
         {"Cellular", "11/8/25", "12/7/25", "0.00 KB", "0.00 KB", "0.00 KB"}},
        {"AnyOtherTypeIsCellular",
         log(env, "2025-12-01T00:00:00Z", "2025-12-02T00:00:00Z", 0, 1536.0),
         "KB",
         {"Cellular", "12/1/25", "12/2/25", "1.50 KB", "0.00 KB", "0.00 KB"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(exporter.fieldsForLog(c.log, c.unit), c.fields) << c.name;
}

TEST(HistoryExport, DatesAndDecimalsFollowTheirOwnRulesInAnotherLocale) {
    // A German short date, but still a full stop in the amounts.
    test::TestEnv env("Europe/Berlin", "de_DE");
    HistoryExport exporter(env.services(), nullptr);
    const auto fields = exporter.fieldsForLog(
        log(env, "2025-10-07T23:30:00Z", "2025-11-07T12:00:00Z", History::kWiFi, 1610612736.0),
        "GB");
    EXPECT_EQ(fields[1], "08.10.25");
    EXPECT_EQ(fields[3], "1.50 GB");
}

TEST(HistoryExport, BothExportsMatchTheSavedFiles) {
    test::TestEnv env;
    HistoryExport exporter(env.services(), nullptr);
    const std::vector<History> logs = sampleLogs(env);
    EXPECT_EQ(exporter.emailBody(logs, "MB"), saved("email_body.html"));
    EXPECT_EQ(exporter.csvText(logs, "MB"), saved("export.csv"));

    // Nothing to export still gives the header.
    EXPECT_EQ(exporter.emailBody({}, "MB"),
              "<pre><b>Data Type     Start Date/End Date     Total Data      Received        "
              "Sent</b></pre>");
    EXPECT_EQ(exporter.csvText({}, "MB"),
              "Data Type,Start Date,End Date,Total Data,Received,Sent\n");
}

TEST(HistoryExport, MarkupInAValueStaysTextInTheMailBody) {
    test::TestEnv env;
    HistoryExport exporter(env.services(), nullptr);
    const std::string body = exporter.emailBody(
        {log(env, "2025-10-08T00:00:00Z", "2025-11-07T00:00:00Z", History::kWiFi, 0.0)}, "<b>&");
    EXPECT_NE(body.find("0.00 &lt;b&gt;&amp;"), std::string::npos) << body;
    EXPECT_EQ(body.find("0.00 <b>"), std::string::npos) << body;
}

TEST(CsvWriter, FieldsAreQuotedOnlyWhenTheyMustBe) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"   Wi-Fi", "   Wi-Fi"},
        {"1.50 GB", "1.50 GB"},
        {"a#b", "a#b"},
        {"", ""},
        {"a\"b", "\"a\"\"b\""},
        {"a\\b", "\"a\\\\b\""},
        {"#1", "\"#1\""},
        {"8 Dec, 2025", "\"8 Dec, 2025\""},
        {"a\nb", "\"a\nb\""},
        {"a\rb", "\"a\rb\""},
        {"a\vb", "\"a\vb\""},
        {"a\fb", "\"a\fb\""},
        {"a\u0085b", "\"a\u0085b\""},
        {"a\u2028b", "\"a\u2028b\""},
        {"a\u2029b", "\"a\u2029b\""},
        {"\"\\", "\"\"\"\\\\\""},
        {"caf\u00e9", "caf\u00e9"},
    };
    for (const auto &[field, written] : cases)
        EXPECT_EQ(CsvWriter::escapedField(field), written) << field;

    CsvWriter writer;
    writer.writeLineOfFields({"a", "b,c"});
    writer.writeField("d");
    writer.finishLine();
    writer.finishLine();
    EXPECT_EQ(writer.text(), "a,\"b,c\"\nd\n\n");
}

TEST(HistoryExport, MailsCarryTheTableOrTheFileJustWritten) {
    test::TestEnv env;
    test::RecordingMailClient mail;
    HistoryExport exporter(env.services(), &mail);
    const std::vector<History> logs = sampleLogs(env);

    EXPECT_EQ(exporter.emailHistory(logs, "MB"), HistoryExport::Outcome::HandedOver);
    EXPECT_EQ(exporter.exportToCsv({logs[0]}, "GB"), HistoryExport::Outcome::HandedOver);
    // A second export replaces the first file.
    EXPECT_EQ(exporter.exportToCsv(logs, "MB"), HistoryExport::Outcome::HandedOver);

    ASSERT_EQ(mail.composed.size(), 3u);
    MailMessage html;
    html.subject = "Byteward History";
    html.body = saved("email_body.html");
    html.bodyIsHTML = true;
    EXPECT_EQ(mail.composed[0], html);

    const std::string file = readWholeFile(HistoryExport::csvPath(env.services())).value_or("");
    EXPECT_EQ(file, saved("export.csv"));
    MailMessage csv;
    csv.subject = "Byteward CSV File";
    csv.body = "Byteward CSV File";
    csv.attachments = {{file, "text/csv", "byteward.csv"}};
    EXPECT_EQ(mail.composed[2], csv);
    EXPECT_NE(mail.composed[1].attachments.at(0).data, file);
}

TEST(HistoryExport, WithoutAMailClientNothingIsComposedButTheFileIsStillWritten) {
    test::TestEnv env;
    test::RecordingMailClient mail;
    mail.available = false;
    HistoryExport exporter(env.services(), &mail);
    EXPECT_EQ(exporter.emailHistory(sampleLogs(env), "MB"), HistoryExport::Outcome::NoMailClient);
    EXPECT_EQ(exporter.exportToCsv(sampleLogs(env), "MB"), HistoryExport::Outcome::NoMailClient);
    EXPECT_TRUE(mail.composed.empty());
    EXPECT_TRUE(env.log.contains("couldn't be instantiated"));
    EXPECT_EQ(readWholeFile(HistoryExport::csvPath(env.services())), saved("export.csv"));

    HistoryExport headless(env.services(), nullptr);
    EXPECT_EQ(headless.emailHistory({}, "MB"), HistoryExport::Outcome::NoMailClient);

    mail.available = true;
    mail.accepts = false;
    EXPECT_EQ(exporter.emailHistory({}, "MB"), HistoryExport::Outcome::HandOffFailed);
    EXPECT_TRUE(env.log.contains("Handing the mail to the mail client failed: refused"));
}

TEST(HistoryExport, AFileThatCannotBeWrittenIsNotMailed) {
    test::TestEnv env;
    test::RecordingMailClient mail;
    HistoryExport exporter(env.services(), &mail);
    // A directory where the file should go: no file can take its place.
    fs::create_directories(HistoryExport::csvPath(env.services()) / "in-the-way");
    EXPECT_EQ(exporter.exportToCsv(sampleLogs(env), "MB"), HistoryExport::Outcome::FileNotWritten);
    EXPECT_TRUE(mail.composed.empty());
    EXPECT_TRUE(env.log.contains("Writing data to file failed"));
    EXPECT_FALSE(exporter.writeCsvFile({}, "MB").ok());
}

} // namespace
} // namespace byteward
