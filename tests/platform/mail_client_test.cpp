#include "platform/files.h"
#include "platform/mail_client.h"
#include "platform/xdg_mail_client.h"
#include "support/test_env.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

std::string decodeBase64(const std::string &text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned bits = 0;
    int count = 0;
    for (const char c : text) {
        const std::size_t value = alphabet.find(c);
        if (value == std::string::npos) continue; // line breaks, padding
        bits = bits << 6 | static_cast<unsigned>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>(bits >> count & 0xFF);
        }
    }
    return out;
}

// The base64 part that follows a header line, up to the next blank line or boundary.
std::string partAfter(const std::string &mime, const std::string &header) {
    std::size_t at = mime.find(header);
    if (at == std::string::npos) return "<no such part>";
    at = mime.find("\r\n\r\n", at) + 4;
    const std::size_t end = mime.find("\r\n--", at);
    return decodeBase64(mime.substr(at, end == std::string::npos ? std::string::npos : end - at));
}

MailMessage csvMail() {
    MailMessage m;
    m.subject = "Byteward CSV File";
    m.body = "Byteward CSV File";
    m.attachments = {{std::string("Data Type\n\xE2\x82\xAC,\0x", 17), "text/csv", "byteward.csv"}};
    return m;
}

TEST(MimeMessage, BodyAndAttachmentsSurviveTheEncoding) {
    const Instant date = instantFromSeconds(1'765'152'000); // 2025-12-08T00:00:00Z, a Monday
    MailMessage html;
    html.subject = "Byteward History";
    html.body = std::string("<pre><b>Data</b></pre><p><pre>   Wi-Fi     ") + std::string(80, 'x');
    html.bodyIsHTML = true;
    const std::string single = mimeMessage(html, date, "b1");
    EXPECT_EQ(single.substr(0, single.find("Content-Type")),
              "MIME-Version: 1.0\r\nDate: Mon, 08 Dec 2025 00:00:00 +0000\r\n"
              "Subject: Byteward History\r\nX-Unsent: 1\r\n");
    EXPECT_EQ(single.find("multipart"), std::string::npos);
    EXPECT_NE(single.find("Content-Type: text/html; charset=UTF-8\r\n"), std::string::npos);
    EXPECT_EQ(partAfter(single, "Content-Type: text/html"), html.body);
    for (std::size_t start = 0, end; (end = single.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        EXPECT_LE(end - start, 78u) << "a line too long for mail";

    MailMessage csv = csvMail();
    csv.recipients = {"a@example.org", "b@example.org"};
    const std::string multi = mimeMessage(csv, date, "b2");
    EXPECT_NE(multi.find("To: a@example.org, b@example.org\r\n"), std::string::npos);
    EXPECT_NE(multi.find("Content-Type: multipart/mixed; boundary=\"b2\""), std::string::npos);
    EXPECT_EQ(partAfter(multi, "Content-Type: text/plain"), "Byteward CSV File");
    EXPECT_EQ(partAfter(multi, "Content-Disposition: attachment; filename=\"byteward.csv\""),
              csv.attachments[0].data);
    EXPECT_EQ(multi.substr(multi.size() - 8), "--b2--\r\n");
}

TEST(MimeMessage, HeaderValuesCannotStartHeadersOfTheirOwn) {
    MailMessage m;
    m.subject = "Usage\r\nBcc: someone@example.org";
    m.recipients = {"a@example.org\nBcc: other@example.org"};
    m.attachments = {{"x", "text/csv\r\nX-Evil: 1", "a\"b.csv"}};
    const std::string mime = mimeMessage(m, instantFromSeconds(0), "b");
    EXPECT_EQ(mime.find("\r\nBcc:"), std::string::npos);
    EXPECT_EQ(mime.find("\nBcc:"), std::string::npos);
    EXPECT_EQ(mime.find("\r\nX-Evil"), std::string::npos);
    EXPECT_NE(mime.find("filename=\"a_b.csv\""), std::string::npos);

    m.subject = std::string(30, 'a') + "\xC3\xA9t\xC3\xA9 " + std::string(30, 'b');
    const std::string encoded = mimeMessage(m, instantFromSeconds(0), "b");
    const std::size_t start = encoded.find("Subject: ") + 9;
    const std::string header = encoded.substr(start, encoded.find("\r\nTo:") - start);
    std::string decoded;
    for (std::size_t at = 0; (at = header.find("=?UTF-8?B?", at)) != std::string::npos;) {
        const std::size_t end = header.find("?=", at);
        decoded += decodeBase64(header.substr(at + 10, end - at - 10));
        at = end;
    }
    EXPECT_EQ(decoded, m.subject);
}

TEST(MimeMessage, AnHtmlBodyReadsAsPlainTextForClientsThatTakeOnlyText) {
    MailMessage m;
    m.body = "<pre><b>Data Type     Total</b></pre><p><pre>   Wi-Fi     1.00 &lt;MB&gt; &amp; "
             "&#39;x&quot;</pre><P><pre>Cellular     2.00 MB</pre>";
    m.bodyIsHTML = true;
    EXPECT_EQ(plainTextBody(m),
              "Data Type     Total\n   Wi-Fi     1.00 <MB> & 'x\"\nCellular     2.00 MB\n");
    m.bodyIsHTML = false;
    EXPECT_EQ(plainTextBody(m), m.body);
}

class XdgMailClientTest : public ::testing::Test {
  protected:
    // A stand-in for xdg-email that writes its arguments, one per line, and exits with `status`
    // after `seconds`.
    fs::path fakeProgram(int status, int seconds = 0) {
        const fs::path program = env.dir.path() / "bin" / "xdg-email";
        test::writeFile(program,
                        "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > " +
                            (env.dir.path() / "args").string() + "\n" +
                            (seconds > 0 ? "sleep " + std::to_string(seconds) + "\n" : "") +
                            "exit " + std::to_string(status) + "\n");
        ::chmod(program.c_str(), 0755);
        return program;
    }
    std::vector<std::string> arguments() {
        std::vector<std::string> out;
        const std::string text = readWholeFile(env.dir.path() / "args").value_or("");
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
             start = end + 1)
            out.push_back(text.substr(start, end - start));
        return out;
    }

    test::TestEnv env;
};

TEST_F(XdgMailClientTest, HandsTheMailOverWithItsAttachmentsAsFiles) {
    XdgMailClient client(env.paths(), env.clock, env.log, fakeProgram(0).string());
    ASSERT_TRUE(client.canSendMail());
    MailMessage m = csvMail();
    m.recipients = {"me@example.org", "--help"};
    const MailResult result = client.compose(m);
    ASSERT_TRUE(result.handedOver) << result.error;

    const fs::path folder = client.lastMessageFolder;
    EXPECT_EQ(folder.parent_path(), env.paths().stateDir / "outbox");
    const fs::path attached = folder / "byteward.csv";
    EXPECT_EQ(arguments(), (std::vector<std::string>{"--utf8", "--subject", "Byteward CSV File",
                                                     "--body", "Byteward CSV File", "--attach",
                                                     attached.string(), "me@example.org"}));
    EXPECT_EQ(readWholeFile(attached), m.attachments[0].data);
    const std::string eml = readWholeFile(folder / XdgMailClient::kMessageFileName).value_or("");
    EXPECT_EQ(partAfter(eml, "Content-Disposition: attachment"), m.attachments[0].data);
    EXPECT_TRUE(env.log.contains("Skipping the recipient \"--help\""));
}

TEST_F(XdgMailClientTest, ReportsAMissingOrFailingClientAndLeavesARunningOneAlone) {
    XdgMailClient missing(env.paths(), env.clock, env.log, (env.dir.path() / "none").string());
    EXPECT_FALSE(missing.canSendMail());
    EXPECT_FALSE(missing.compose(csvMail()).handedOver);
    XdgMailClient unnamed(env.paths(), env.clock, env.log, "no-such-mail-program-here");
    EXPECT_FALSE(unnamed.canSendMail());

    XdgMailClient failing(env.paths(), env.clock, env.log, fakeProgram(3).string());
    const MailResult failed = failing.compose(csvMail());
    EXPECT_FALSE(failed.handedOver);
    EXPECT_NE(failed.error.find("exited with status 3"), std::string::npos) << failed.error;

    // A mail client that stays in the foreground keeps xdg-email running: that is a hand-off.
    XdgMailClient slow(env.paths(), env.clock, env.log, fakeProgram(1, 2).string());
    slow.handOffWait = std::chrono::milliseconds(200);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(slow.compose(csvMail()).handedOver);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

TEST_F(XdgMailClientTest, FindsTheClientInThePathAndKeepsOnlyTheLatestMails) {
    fakeProgram(0);
    const char *oldPath = std::getenv("PATH");
    const std::string saved = oldPath != nullptr ? oldPath : "";
    ::setenv("PATH", ("/nonexistent:" + (env.dir.path() / "bin").string()).c_str(), 1);
    XdgMailClient client(env.paths(), env.clock, env.log);
    const bool found = client.canSendMail();
    client.keepMessages = 2;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(client.compose(csvMail()).handedOver);
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_TRUE(found);

    std::vector<fs::path> kept;
    for (const auto &entry : fs::directory_iterator(env.paths().stateDir / "outbox"))
        kept.push_back(entry.path());
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_TRUE(fs::exists(client.lastMessageFolder / XdgMailClient::kMessageFileName));
}

} // namespace
} // namespace byteward
