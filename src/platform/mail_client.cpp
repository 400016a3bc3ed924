// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mail_client.h"

#include "platform/markup.h"
#include "platform/mime_writer.h"
#include "platform/module.h"

#include <array>
#include <cctype>
#include <cmath>
#include <string_view>
#include <utility>

namespace byteward {

std::optional<std::string> mimeMessage(const MailMessage &message, Instant date,
                                       const std::string &boundary, std::string *whyNot) {
    std::string error;
    const MimeWriter *writer = moduleInterface<MimeWriter>(kMimeModule, kMimeWriterFactory, error);
    if (writer == nullptr) {
        if (whyNot != nullptr) *whyNot = "cannot write the mail: " + error;
        return std::nullopt;
    }
    return writer->message(message, static_cast<std::int64_t>(std::floor(secondsSince1970(date))),
                           boundary);
}

std::string escapeHtml(const std::string &text) {
    return escapeMarkup(text);
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
