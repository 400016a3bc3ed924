// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/csv_writer.h"
#include "platform/files.h"
#include "platform/iso8601.h"
#include "screens/history/history_export.h"
#include "support/recording_mail_client.h"
#include "support/test_env.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

extern char **environ;

namespace byteward {
namespace {

namespace fs = std::filesystem;

Instant at(const char *iso) {
    static const IcuCalendar utc("UTC", "en_US");
    return *parseIso8601(iso, utc);
}

History log(const char *start, const char *end, std::int32_t dataType, std::optional<double> total,
            std::optional<double> received = 0, std::optional<double> sent = 0) {
    return History::initWithStartDate(at(start), at(end), sent, received, total, dataType,
                                      History::kBillingCycleLog);
}

// Logs in the order a screen hands them over (not sorted by the export): a Wi-Fi period with
// real amounts, a cellular one with its amounts missing, negative and zero, one of an unknown
// type, and one whose total shows the single-precision figure (10,000,000,500 bytes are
// 9765625.00 KB in single precision, 9765625.49 in double).
std::vector<History> mixedLogs() {
    return {
        log("2025-10-08T00:00:00Z", "2025-11-07T00:00:00Z", History::kWiFi, 1610612736.0,
            1073741824.0, 536870912.0),
        log("2025-11-08T00:00:00Z", "2025-12-07T00:00:00Z", History::kCellular, std::nullopt, -5.0,
            0.0),
        log("2025-12-01T00:00:00Z", "2025-12-02T00:00:00Z", 7, 52428.8, 1024.0, 1.0),
        log("2025-12-09T23:30:00Z", "2025-12-10T22:00:00Z", 0, 10000000500.0, 123456789.0, 3.0)};
}

// A date as a locale whose short date holds a comma would show it ("Oct 8, 2025").
HistoryExport::DateText icuPattern(const char *pattern) {
    return [pattern](Instant date) {
        UErrorCode status = U_ZERO_ERROR;
        icu::SimpleDateFormat format(icu::UnicodeString::fromUTF8(pattern), icu::Locale("en_US"),
                                     status);
        format.adoptTimeZone(icu::TimeZone::createTimeZone("UTC"));
        icu::UnicodeString text;
        format.format(secondsSince1970(date) * 1000.0, text);
        std::string out;
        return text.toUTF8String(out);
    };
}

std::vector<std::string> linesOf(const std::string &text, const std::string &end) {
    std::vector<std::string> out;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t stop = text.find(end, start);
        const std::size_t next = stop == std::string::npos ? text.size() : stop + end.size();
        out.push_back(text.substr(start, next - start));
        start = next;
    }
    return out;
}

// Compares with the saved file tests/data/history/NAME, showing the lines (cut after `lineEnd`)
// that differ. With BYTEWARD_UPDATE_EXPECTED set, saves the text instead, for review.
::testing::AssertionResult matchesSavedFile(const std::string &made, const std::string &name,
                                            const std::string &lineEnd) {
    const fs::path path = fs::path(BYTEWARD_TEST_DATA) / "history" / name;
    if (std::getenv("BYTEWARD_UPDATE_EXPECTED") != nullptr) {
        test::writeFile(path, made);
        return ::testing::AssertionSuccess();
    }
    const std::optional<std::string> saved = readWholeFile(path);
    if (!saved) return ::testing::AssertionFailure() << path << " is missing";
    if (*saved == made) return ::testing::AssertionSuccess();
    const auto want = linesOf(*saved, lineEnd);
    const auto got = linesOf(made, lineEnd);
    auto failure = ::testing::AssertionFailure() << name << " differs (- saved, + made):\n";
    for (std::size_t i = 0; i < std::max(want.size(), got.size()); ++i) {
        const std::string w = i < want.size() ? want[i] : "";
        const std::string g = i < got.size() ? got[i] : "";
        if (w == g) continue;
        failure << "line " << i + 1 << ":\n- " << ::testing::PrintToString(w) << "\n+ "
                << ::testing::PrintToString(g) << "\n";
    }
    return failure;
}

TEST(HistoryExport, BothExportsMatchTheSavedFilesToTheByte) {
    struct Case {
        const char *name; // of the saved NAME.html and NAME.csv
        const char *timeZone;
        const char *locale;
        const char *unit;
        std::vector<History> logs;
        HistoryExport::DateText dateText; // the locale's short date when empty
    };
    const Case cases[] = {
        {"mixed_mb_en_us", "UTC", "en_US", "MB", mixedLogs(), {}},
        // A German short date, a full stop in the amounts all the same.
        {"mixed_gb_de_de", "Europe/Berlin", "de_DE", "GB", mixedLogs(), {}},
        {"mixed_kb_fr_fr", "Europe/Paris", "fr_FR", "KB", mixedLogs(), {}},
        // Arabic digits and right-to-left marks in the dates need no quotes.
        {"mixed_mb_ar_eg", "Africa/Cairo", "ar_EG", "MB", mixedLogs(), {}},
        {"comma_dates_mb", "UTC", "en_US", "MB", mixedLogs(), icuPattern("MMM d, y")},
        // Quotes, a backslash and a leading "#": quoted and doubled in the CSV, as they are in
        // the mail.
        {"escaped_dates_kb", "UTC", "en_US", "KB", mixedLogs(), icuPattern("'#'d '\"'MMM'\"\\'yy")},
        {"no_logs_gb", "UTC", "en_US", "GB", {}, {}},
    };
    for (const auto &c : cases) {
        test::TestEnv env(c.timeZone, c.locale);
        const HistoryExport exporter(env.services(), nullptr, c.dateText);
        EXPECT_TRUE(matchesSavedFile(exporter.emailBody(c.logs, c.unit),
                                     std::string(c.name) + ".html", "</pre>"));
        EXPECT_TRUE(
            matchesSavedFile(exporter.csvText(c.logs, c.unit), std::string(c.name) + ".csv", "\n"));
    }
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
         log("2025-10-08T00:00:00Z", "2025-11-07T23:00:00Z", History::kWiFi, 1610612736.0,
             1073741824.0, 536870912.0),
         "GB",
         {"   Wi-Fi", "10/8/25", "11/7/25", "1.50 GB", "1.00 GB", "0.50 GB"}},
        {"TheSameBytesInMegabytes",
         log("2025-10-08T00:00:00Z", "2025-11-07T00:00:00Z", History::kWiFi, 1610612736.0),
         "MB",
         {"   Wi-Fi", "10/8/25", "11/7/25", "1536.00 MB", "0.00 MB", "0.00 MB"}},
        {"MissingZeroAndNegativeAmountsPrintAsZero",
         log("2025-11-08T00:00:00Z", "2025-12-07T00:00:00Z", History::kCellular, std::nullopt,
             -2048.0, 0.0),
         "KB",
         {"Cellular", "11/8/25", "12/7/25", "0.00 KB", "0.00 KB", "0.00 KB"}},
        {"AnyOtherTypeIsCellular",
         log("2025-12-01T00:00:00Z", "2025-12-02T00:00:00Z", 0, 1536.0),
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
        log("2025-10-07T23:30:00Z", "2025-11-07T12:00:00Z", History::kWiFi, 1610612736.0), "GB");
    EXPECT_EQ(fields[1], "08.10.25");
    EXPECT_EQ(fields[3], "1.50 GB");
}

// Builds a German locale into `dir` with localedef, for a process-wide decimal comma.
bool buildGermanLocale(const fs::path &dir) {
    const std::string out = (dir / "de_DE.UTF-8").string();
    std::vector<std::string> args = {"localedef", "-i", "de_DE", "-f", "UTF-8", out};
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "localedef", nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(HistoryExport, AmountsKeepAFullStopWhenTheProcessLocaleUsesADecimalComma) {
    test::TempDir locales;
    if (!buildGermanLocale(locales.path())) GTEST_SKIP() << "localedef cannot build de_DE";
    ::setenv("LOCPATH", locales.path().c_str(), 1);
    // A GUI toolkit sets the user's locale for the whole process like this.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.2f", 1.5);
    const std::string amount = HistoryExport::amountText(1610612736.0, "GB");
    std::setlocale(LC_NUMERIC, saved.c_str());
    ::unsetenv("LOCPATH");
    ASSERT_STREQ(probe, "1,50") << "the locale does not use a decimal comma";
    EXPECT_EQ(amount, "1.50 GB");
}

TEST(HistoryExport, MarkupInAValueStaysTextInTheMailBody) {
    test::TestEnv env;
    HistoryExport exporter(env.services(), nullptr);
    const std::string body = exporter.emailBody(
        {log("2025-10-08T00:00:00Z", "2025-11-07T00:00:00Z", History::kWiFi, 0.0)}, "<b>&");
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
        // Bytes that only look like a line break inside another character do not count.
        {"\u0145\u2020", "\u0145\u2020"},
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
    const std::vector<History> logs = mixedLogs();
    const auto saved = [](const char *name) {
        return readWholeFile(fs::path(BYTEWARD_TEST_DATA) / "history" / name).value_or("?");
    };

    EXPECT_EQ(exporter.emailHistory(logs, "MB"), HistoryExport::Outcome::HandedOver);
    EXPECT_EQ(exporter.exportToCsv({logs[0]}, "GB"), HistoryExport::Outcome::HandedOver);
    // A second export replaces the first file.
    EXPECT_EQ(exporter.exportToCsv(logs, "MB"), HistoryExport::Outcome::HandedOver);

    ASSERT_EQ(mail.composed.size(), 3u);
    MailMessage html;
    html.subject = "Byteward History";
    html.body = saved("mixed_mb_en_us.html");
    html.bodyIsHTML = true;
    EXPECT_EQ(mail.composed[0], html);

    const std::string file = readWholeFile(HistoryExport::csvPath(env.services())).value_or("");
    EXPECT_EQ(file, saved("mixed_mb_en_us.csv"));
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
    EXPECT_EQ(exporter.emailHistory(mixedLogs(), "MB"), HistoryExport::Outcome::NoMailClient);
    EXPECT_EQ(exporter.exportToCsv(mixedLogs(), "MB"), HistoryExport::Outcome::NoMailClient);
    EXPECT_TRUE(mail.composed.empty());
    EXPECT_TRUE(env.log.contains("couldn't be instantiated"));
    EXPECT_EQ(readWholeFile(HistoryExport::csvPath(env.services())),
              exporter.csvText(mixedLogs(), "MB"));

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
    EXPECT_EQ(exporter.exportToCsv(mixedLogs(), "MB"), HistoryExport::Outcome::FileNotWritten);
    EXPECT_TRUE(mail.composed.empty());
    EXPECT_TRUE(env.log.contains("Writing data to file failed"));
    EXPECT_FALSE(exporter.writeCsvFile({}, "MB").ok());
}

} // namespace
} // namespace byteward
