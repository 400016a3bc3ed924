#include "platform/mail_client.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <utility>

namespace byteward {

namespace {

constexpr const char *kCrlf = "\r\n";

std::string base64(const std::string &bytes) {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned n = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[n >> 18 & 63];
        out += kAlphabet[n >> 12 & 63];
        out += kAlphabet[n >> 6 & 63];
        out += kAlphabet[n & 63];
    }
    if (const std::size_t left = bytes.size() - i; left > 0) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[n >> 18 & 63];
        out += kAlphabet[n >> 12 & 63];
        out += left == 2 ? kAlphabet[n >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

// Base64 in lines of 76 characters, as MIME wants a body part.
std::string base64Lines(const std::string &bytes) {
    const std::string encoded = base64(bytes);
    std::string out;
    for (std::size_t at = 0; at < encoded.size(); at += 76)
        out += encoded.substr(at, 76) + kCrlf;
    return out;
}

bool isAscii(const std::string &text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// A header value on one line: a line break in it would start a header of its own.
std::string oneLine(const std::string &text) {
    std::string out;
    for (const char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    return out;
}

// An unstructured header value; text beyond ASCII as RFC 2047 encoded words, each whole
// UTF-8 characters, folded onto continuation lines.
std::string headerText(const std::string &text) {
    const std::string line = oneLine(text);
    if (isAscii(line)) return line;
    std::string out;
    std::size_t at = 0;
    while (at < line.size()) {
        std::size_t end = std::min(line.size(), at + 45);
        while (end < line.size() && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
            --end;
        if (!out.empty()) out += "\r\n ";
        out += "=?UTF-8?B?" + base64(line.substr(at, end - at)) + "?=";
        at = end;
    }
    return out;
}

// A file name inside a quoted parameter.
std::string quotedName(const std::string &name) {
    std::string out;
    for (const char c : oneLine(name))
        out += c == '"' || c == '\\' ? '_' : c;
    return out;
}

std::string rfc5322Date(Instant date) {
    static constexpr std::array<const char *, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                          "Thu", "Fri", "Sat"};
    static constexpr std::array<const char *, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t seconds = static_cast<std::time_t>(secondsSince1970(date));
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[utc.tm_wday],
                  utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return text;
}

std::string bodyPart(const MailMessage &message) {
    return std::string("Content-Type: ") + (message.bodyIsHTML ? "text/html" : "text/plain") +
           "; charset=UTF-8" + kCrlf + "Content-Transfer-Encoding: base64" + kCrlf + kCrlf +
           base64Lines(message.body);
}

std::string attachmentPart(const MailAttachment &attachment) {
    const std::string name = quotedName(attachment.fileName);
    const std::string type = attachment.mimeType.empty() ? std::string("application/octet-stream")
                                                         : oneLine(attachment.mimeType);
    return "Content-Type: " + type + "; name=\"" + name + "\"" + kCrlf +
           "Content-Disposition: attachment; filename=\"" + name + "\"" + kCrlf +
           "Content-Transfer-Encoding: base64" + kCrlf + kCrlf + base64Lines(attachment.data);
}

} // namespace

std::string mimeMessage(const MailMessage &message, Instant date, const std::string &boundary) {
    std::string out = std::string("MIME-Version: 1.0") + kCrlf;
    out += "Date: " + rfc5322Date(date) + kCrlf;
    out += "Subject: " + headerText(message.subject) + kCrlf;
    if (!message.recipients.empty()) {
        std::string to;
        for (const auto &recipient : message.recipients)
            to += (to.empty() ? "" : ", ") + oneLine(recipient);
        out += "To: " + to + kCrlf;
    }
    // Mail programs open a message marked so as a draft to send rather than as one received.
    out += std::string("X-Unsent: 1") + kCrlf;
    if (message.attachments.empty()) return out + bodyPart(message);

    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"" + kCrlf + kCrlf;
    out += "--" + boundary + kCrlf + bodyPart(message);
    for (const auto &attachment : message.attachments)
        out += "--" + boundary + kCrlf + attachmentPart(attachment);
    return out + "--" + boundary + "--" + kCrlf;
}

std::string escapeHtml(const std::string &text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string plainTextBody(const MailMessage &message) {
    if (!message.bodyIsHTML) return message.body;
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {
        {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}}};
    const std::string &html = message.body;
    std::string out;
    for (std::size_t at = 0; at < html.size();) {
        if (html[at] == '<') {
            const std::size_t close = html.find('>', at);
            if (close == std::string::npos) break;
            std::string tag = html.substr(at + 1, close - at - 1);
            if (!tag.empty() && tag.front() == '/') tag.erase(0, 1);
            for (char &c : tag)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if ((tag == "p" || tag == "br" || tag == "br/") && !out.empty() && out.back() != '\n')
                out += '\n';
            at = close + 1;
            continue;
        }
        if (html[at] == '&') {
            bool decoded = false;
            for (const auto &[entity, character] : kEntities) {
                if (std::string_view(html).substr(at, entity.size()) == entity) {
                    out += character;
                    at += entity.size();
                    decoded = true;
                    break;
                }
            }
            if (decoded) continue;
        }
        out += html[at++];
    }
    if (!out.empty() && out.back() != '\n') out += '\n';
    return out;
}

} // namespace byteward
