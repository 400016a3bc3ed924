// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/value.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

// A file carried by a mail: its bytes, MIME type and the name the recipient sees.
struct MailAttachment {
    std::string data;
    std::string mimeType;
    std::string fileName;
    bool operator==(const MailAttachment &) const = default;
};

// A mail as the user is to see it in the mail client's composer.
struct MailMessage {
    std::string subject;
    std::vector<std::string> recipients;
    std::string body;
    bool bodyIsHTML = false;
    std::vector<MailAttachment> attachments;
    bool operator==(const MailMessage &) const = default;
};

// The outcome of handing a mail over.
struct MailResult {
    bool handedOver = false;
    std::string error; // why not, when not
};

// The desktop's mail client: the Linux implementation hands the mail to Thunderbird or
// xdg-email, tests record.
class MailClient {
  public:
    virtual ~MailClient() = default;
    // False where no mail client is set up; no mail can be composed then.
    virtual bool canSendMail() const = 0;
    // Opens the composer with the mail filled in; the user sends it from there.
    virtual MailResult compose(const MailMessage &message) = 0;
};

// The mail as a standard MIME message (RFC 5322 and 2045, built with GMime), lines ending in
// CRLF: a draft any mail program opens, or `sendmail -t` sends. `date` goes into the Date header
// in UTC; `boundary` separates the parts when there are attachments. Nothing, and why in
// `whyNot`, when the mail module cannot be loaded.
std::optional<std::string> mimeMessage(const MailMessage &message, Instant date,
                                       const std::string &boundary, std::string *whyNot = nullptr);

// The body as plain text: an HTML body loses its tags, a paragraph starts a new line and the
// entities of markup turn back into their characters. A plain body comes back unchanged.
std::string plainTextBody(const MailMessage &message);

// Text that stands inside an HTML element as itself: "&", "<" and ">" as entities, quotes as
// they are.
std::string escapeHtml(const std::string &text);

} // namespace byteward
