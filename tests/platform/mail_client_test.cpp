// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files.h"
#include "platform/mail_client.h"
#include "platform/xdg_mail_client.h"
#include "support/test_env.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gmime/gmime.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sys/stat.h>

namespace byteward {
namespace {

namespace fs = std::filesystem;

// ---- A mail parser to read messages back with ----

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct ParsedPart {
    std::string mimeType;
    std::string fileName;
    std::string data; // decoded
    bool operator==(const ParsedPart &) const = default;
};

void PrintTo(const ParsedPart &part, std::ostream *out) {
    *out << part.mimeType << " \"" << part.fileName << "\" " << ::testing::PrintToString(part.data);
}

struct ParsedMail {
    std::string subject;
    std::vector<std::string> to;
    std::vector<std::string> headerNames; // of the message itself, in order
    std::string date;
    std::vector<ParsedPart> parts; // the body first
};

std::string mimeTypeOf(GMimeObject *object) {
    char *type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object));
    std::string out = type;
    g_free(type);
    return out;
}

ParsedPart parsedPart(GMimeObject *object) {
    ParsedPart part{mimeTypeOf(object), {}, {}};
    if (!GMIME_IS_PART(object)) return part;
    if (const char *name = g_mime_part_get_filename(GMIME_PART(object))) part.fileName = name;
    if (part.fileName.empty() && GMIME_IS_TEXT_PART(object)) {
        // Text as UTF-8, by the charset the part declares.
        char *text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
        part.data = text != nullptr ? text : "";
        g_free(text);
        return part;
    }
    GObjectPtr<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(object)), out.get());
    const GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    part.data.assign(reinterpret_cast<const char *>(bytes->data), bytes->len);
    return part;
}

ParsedMail parseMail(const std::string &mime) {
    g_mime_init();
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(mime.data(), mime.size()));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    ParsedMail mail;
    if (!message) return mail;
    if (const char *subject = g_mime_message_get_subject(message.get())) mail.subject = subject;
    InternetAddressList *to = g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO);
    for (int i = 0; i < internet_address_list_length(to); ++i) {
        InternetAddress *address = internet_address_list_get_address(to, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            mail.to.emplace_back(
                internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    }
    GMimeHeaderList *headers = g_mime_object_get_header_list(GMIME_OBJECT(message.get()));
    for (int i = 0; i < g_mime_header_list_get_count(headers); ++i)
        mail.headerNames.emplace_back(
            g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i)));
    if (const char *date = g_mime_object_get_header(GMIME_OBJECT(message.get()), "Date"))
        mail.date = date;
    GMimeObject *body = g_mime_message_get_mime_part(message.get());
    if (GMIME_IS_MULTIPART(body)) {
        for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(body)); ++i)
            mail.parts.push_back(parsedPart(g_mime_multipart_get_part(GMIME_MULTIPART(body), i)));
    } else if (body != nullptr) {
        mail.parts.push_back(parsedPart(body));
    }
    return mail;
}

MailMessage csvMail() {
    MailMessage m;
    m.subject = "Byteward CSV File";
    m.body = "Byteward CSV File";
    // Line feeds, a byte that is not text and UTF-8 all come back as they went in.
    m.attachments = {
        {std::string("Data Type\n\xE2\x82\xAC,\0x\n", 17), "text/csv", "byteward.csv"}};
    return m;
}

MailMessage htmlMail() {
    MailMessage m;
    m.subject = "Byteward History";
    // Longer than a mail line may be.
    m.body = "<pre><b>Data Type</b></pre>";
    for (int i = 0; i < 40; ++i)
        m.body += "<p><pre>   Wi-Fi     10/8/25 to 11/7/25        1536.00 MB</pre>";
    m.bodyIsHTML = true;
    return m;
}

TEST(MimeMessage, ReadsBackAsTheMailThatWasBuilt) {
    const Instant date = instantFromSeconds(1'765'152'000); // 2025-12-08T00:00:00Z, a Monday
    MailMessage withRecipients = csvMail();
    withRecipients.recipients = {"a@example.org", "b@example.org"};
    MailMessage unicode;
    unicode.subject = std::string(30, 'a') + "\xC3\xA9t\xC3\xA9 " + std::string(60, 'b');
    unicode.body = "caf\xC3\xA9\n";
    struct Case {
        const char *name;
        MailMessage message;
        std::vector<ParsedPart> parts;
    };
    const Case cases[] = {
        // The message ends with a line end, which a lone part then carries.
        {"AnHtmlBodyAlone", htmlMail(), {{"text/html", "", htmlMail().body + "\r\n"}}},
        {"APlainBodyAndTheCsvFile",
         withRecipients,
         {{"text/plain", "", "Byteward CSV File"},
          {"text/csv", "byteward.csv", csvMail().attachments[0].data}}},
        {"TextBeyondAscii", unicode, {{"text/plain", "", "caf\xC3\xA9\n"}}},
    };
    for (const auto &c : cases) {
        const std::string mime = mimeMessage(c.message, date, "b1").value();
        const ParsedMail mail = parseMail(mime);
        EXPECT_EQ(mail.subject, c.message.subject) << c.name;
        EXPECT_EQ(mail.to, c.message.recipients) << c.name;
        EXPECT_EQ(mail.date, "Mon, 08 Dec 2025 00:00:00 +0000") << c.name;
        EXPECT_EQ(mail.parts, c.parts) << c.name;
        // Mail programs open a message so marked as a draft to send.
        EXPECT_NE(std::find(mail.headerNames.begin(), mail.headerNames.end(), "X-Unsent"),
                  mail.headerNames.end())
            << c.name;
        for (std::size_t start = 0, end; start < mime.size(); start = end + 2) {
            end = mime.find("\r\n", start);
            ASSERT_NE(end, std::string::npos) << c.name << ": a line without CRLF";
            EXPECT_LE(end - start, 998u) << c.name << ": a line too long for mail";
        }
    }
}

TEST(MimeMessage, HeaderValuesCannotStartHeadersOfTheirOwn) {
    MailMessage m;
    m.subject = "Usage\r\nBcc: someone@example.org";
    m.recipients = {"a@example.org\nBcc: other@example.org"};
    m.attachments = {{"x", "text/csv\r\nX-Evil: 1", "a\"b.csv"}};
    const std::string mime = mimeMessage(m, instantFromSeconds(0), "b").value();
    const ParsedMail mail = parseMail(mime);
    for (const auto &name : mail.headerNames)
        EXPECT_TRUE(name != "Bcc" && name != "X-Evil") << name;
    EXPECT_EQ(mime.find("\nBcc:"), std::string::npos);
    EXPECT_EQ(mime.find("\nX-Evil"), std::string::npos);
    ASSERT_EQ(mail.parts.size(), 2u);
    EXPECT_EQ(mail.parts[1].fileName, "a\"b.csv");
    EXPECT_EQ(mail.parts[1].mimeType, "text/csv");
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

// ---- Thunderbird's -compose argument ----

// Reads a -compose argument back as Thunderbird does: pairs split at commas outside quotes; a
// quote right after "=" opens a value that a quote followed by a comma (or the end) closes; a
// quoted value is taken literally, any other is percent-decoded.
std::map<std::string, std::string> readComposeArgument(const std::string &argument) {
    std::vector<std::string> pairs(1);
    char quote = 0;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        const char c = argument[i];
        const char next = i + 1 < argument.size() ? argument[i + 1] : ',';
        if (quote != 0 && c == quote && next == ',') {
            quote = 0;
        } else if ((c == '\'' || c == '"') && i > 0 && argument[i - 1] == '=' && quote == 0) {
            quote = c;
        } else if (c == ',' && quote == 0) {
            pairs.emplace_back();
            continue;
        }
        pairs.back() += c;
    }
    std::map<std::string, std::string> out;
    for (const auto &pair : pairs) {
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos) continue;
        std::string value = pair.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
            value = value.substr(1, value.size() - 2);
        } else {
            std::string decoded;
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (value[i] == '%' && i + 2 < value.size()) {
                    decoded += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    decoded += value[i];
                }
            }
            value = decoded;
        }
        out[pair.substr(0, equals)] = value;
    }
    return out;
}

TEST(ThunderbirdCompose, EveryValueComesBackUnchanged) {
    const std::vector<fs::path> files = {"/home/a b/o'x,y/byteward.csv", "/tmp/%20\xC3\xA9.csv"};
    const std::vector<std::string> texts = {
        "Byteward History",
        "",
        "<pre><b>a</b></pre><p><pre>   Wi-Fi     1,5 'GB'</pre>",
        "it's, and a quote before a comma",
        "ends with a quote'",
        "'starts', ends',",
        "a=b, c='d'",
        "100% \"sure\"\nnext line \xE2\x80\xA8 caf\xC3\xA9",
    };
    for (const auto &text : texts) {
        MailMessage m;
        m.subject = text;
        m.body = text;
        m.bodyIsHTML = text.find('<') != std::string::npos;
        m.recipients = {"me@example.org"};
        const auto read = readComposeArgument(thunderbirdComposeArgument(m, files));
        EXPECT_EQ(read.at("subject"), text);
        EXPECT_EQ(read.at("body"), text);
        EXPECT_EQ(read.at("to"), "me@example.org");
        EXPECT_EQ(read.at("format"), m.bodyIsHTML ? "html" : "text");
        EXPECT_EQ(read.at("attachment"), "file:///home/a%20b/o%27x%2Cy/byteward.csv,"
                                         "file:///tmp/%2520%C3%A9.csv")
            << text;
    }
    // No recipients, no attachments: no such pairs at all.
    const auto bare = readComposeArgument(thunderbirdComposeArgument(csvMail(), {}));
    EXPECT_EQ(bare.count("to") + bare.count("attachment"), 0u);
}

// ---- Handing mails to stand-in mail programs in PATH ----

class MailHandOffTest : public ::testing::Test {
  protected:
    MailHandOffTest() {
        const char *path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        usePath({});
    }
    ~MailHandOffTest() override { ::setenv("PATH", savedPath_.c_str(), 1); }

    // A stand-in that keeps each argument in a file of its own (arguments may hold line breaks)
    // and exits with `status` after `seconds`.
    void install(const std::string &name, int status = 0, int seconds = 0) {
        const fs::path record = env.dir.path() / ("called-" + name);
        test::writeFile(bin() / name,
                        "#!/bin/sh\nn=0\nfor a in \"$@\"; do n=$((n+1)); "
                        "printf '%s' \"$a\" > \"" +
                            record.string() + "-$n\"; done\n" +
                            (seconds > 0 ? "sleep " + std::to_string(seconds) + "\n" : "") +
                            "exit " + std::to_string(status) + "\n");
        ::chmod((bin() / name).c_str(), 0755);
    }
    // PATH holds only the stand-ins' folder (and, for sleep, the system's).
    void usePath(const std::string &extra) {
        ::setenv("PATH", ("/nonexistent:" + bin().string() + extra).c_str(), 1);
    }
    std::vector<std::string> arguments(const std::string &name) {
        std::vector<std::string> out;
        for (int n = 1;; ++n) {
            auto arg = readWholeFile(env.dir.path() / ("called-" + name + "-" + std::to_string(n)));
            if (!arg) return out;
            out.push_back(*arg);
        }
    }
    fs::path bin() const { return env.dir.path() / "bin"; }
    ParsedMail handedOverMessage(const XdgMailClient &client) {
        return parseMail(
            readWholeFile(client.lastMessageFolder / XdgMailClient::kMessageFileName).value_or(""));
    }

    test::TestEnv env;

  private:
    std::string savedPath_;
};

TEST_F(MailHandOffTest, ThunderbirdComposesTheHtmlMailWithItsAttachment) {
    install("thunderbird");
    install("xdg-email");
    XdgMailClient client(env.paths(), env.clock, env.log);
    ASSERT_TRUE(client.canSendMail());
    MailMessage m = htmlMail();
    m.attachments = csvMail().attachments;
    const MailResult result = client.compose(m);
    ASSERT_TRUE(result.handedOver) << result.error;

    const std::vector<std::string> args = arguments("thunderbird");
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], "-compose");
    const auto compose = readComposeArgument(args[1]);
    EXPECT_EQ(compose.at("subject"), "Byteward History");
    EXPECT_EQ(compose.at("body"), m.body);
    EXPECT_EQ(compose.at("format"), "html");
    const fs::path attached = client.lastMessageFolder / "byteward.csv";
    EXPECT_EQ(compose.at("attachment"), fileUrl(attached));
    EXPECT_EQ(readWholeFile(attached), m.attachments[0].data);
    EXPECT_TRUE(arguments("xdg-email").empty());

    const ParsedMail mail = handedOverMessage(client);
    EXPECT_EQ(mail.subject, "Byteward History");
    EXPECT_EQ(mail.parts,
              (std::vector<ParsedPart>{{"text/html", "", m.body},
                                       {"text/csv", "byteward.csv", m.attachments[0].data}}));
}

TEST_F(MailHandOffTest, WithoutThunderbirdXdgEmailGetsPlainTextAndTheFile) {
    install("xdg-email");
    XdgMailClient client(env.paths(), env.clock, env.log);
    ASSERT_TRUE(client.canSendMail());
    MailMessage m = htmlMail();
    m.body = "<pre><b>Data Type</b></pre><p><pre>   Wi-Fi     1.00 MB</pre>";
    m.attachments = csvMail().attachments;
    m.recipients = {"me@example.org", "--help"};
    ASSERT_TRUE(client.compose(m).handedOver);

    const fs::path attached = client.lastMessageFolder / "byteward.csv";
    EXPECT_EQ(arguments("xdg-email"),
              (std::vector<std::string>{"--utf8", "--subject", "Byteward History", "--body",
                                        "Data Type\n   Wi-Fi     1.00 MB\n", "--attach",
                                        attached.string(), "me@example.org"}));
    EXPECT_EQ(readWholeFile(attached), m.attachments[0].data);
    EXPECT_TRUE(env.log.contains("Skipping the recipient \"--help\""));
    const ParsedMail mail = handedOverMessage(client);
    // The message itself keeps the recipients as given.
    EXPECT_EQ(mail.to, m.recipients);
    ASSERT_EQ(mail.parts.size(), 2u);
    EXPECT_EQ(mail.parts[0].mimeType, "text/html");
}

TEST_F(MailHandOffTest, ShellCharactersReachTheClientAsTheyAreAndRunNothing) {
    // The client gets an argument list, never a command line: text from data that a shell would
    // act on stays text.
    install("xdg-email");
    XdgMailClient client(env.paths(), env.clock, env.log);
    const fs::path marker = env.dir.path() / "ran";
    const std::string hostile = "$(touch " + marker.string() + "); `touch " + marker.string() +
                                "` ; touch " + marker.string() + " | & > '\" \\";
    MailMessage m;
    m.subject = hostile;
    m.body = hostile;
    m.recipients = {"me@example.org; touch " + marker.string()};
    ASSERT_TRUE(client.compose(m).handedOver);
    const auto args = arguments("xdg-email");
    ASSERT_GE(args.size(), 5u);
    EXPECT_EQ(args[2], hostile);
    EXPECT_EQ(args[4], hostile);
    EXPECT_EQ(args.back(), m.recipients[0]);
    EXPECT_FALSE(fs::exists(marker));
}

TEST_F(MailHandOffTest, NoMailProgramInPathMeansNoMailCanBeSent) {
    // Not executable: not a mail client.
    test::writeFile(bin() / "thunderbird", "#!/bin/sh\n");
    XdgMailClient client(env.paths(), env.clock, env.log);
    EXPECT_FALSE(client.canSendMail());
    const MailResult result = client.compose(csvMail());
    EXPECT_FALSE(result.handedOver);
    EXPECT_NE(result.error.find("neither thunderbird nor xdg-email"), std::string::npos)
        << result.error;
    EXPECT_FALSE(fs::exists(env.paths().stateDir / "outbox"));
}

TEST_F(MailHandOffTest, AFailingClientIsReportedAndARunningOneLeftAlone) {
    install("xdg-email", 3);
    XdgMailClient failing(env.paths(), env.clock, env.log);
    const MailResult failed = failing.compose(csvMail());
    EXPECT_FALSE(failed.handedOver);
    EXPECT_NE(failed.error.find("exited with status 3"), std::string::npos) << failed.error;

    // A mail client that stays in the foreground keeps the program running: that is a hand-off.
    install("thunderbird", 1, 2);
    usePath(":/usr/bin:/bin");
    XdgMailClient slow(env.paths(), env.clock, env.log);
    slow.handOffWait = std::chrono::milliseconds(200);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(slow.compose(csvMail()).handedOver);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

TEST_F(MailHandOffTest, TheOutboxKeepsOnlyTheLatestMails) {
    install("xdg-email");
    XdgMailClient client(env.paths(), env.clock, env.log);
    client.keepMessages = 2;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(client.compose(csvMail()).handedOver);
    std::vector<fs::path> kept;
    for (const auto &entry : fs::directory_iterator(env.paths().stateDir / "outbox"))
        kept.push_back(entry.path());
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_TRUE(fs::exists(client.lastMessageFolder / XdgMailClient::kMessageFileName));
}

} // namespace
} // namespace byteward
