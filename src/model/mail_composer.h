// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/log.h"
#include "platform/mail_client.h"

#include <optional>
#include <string>
#include <vector>

namespace byteward {

// A mail being put together for the desktop's mail client: a screen fills it in, then presents
// it, which opens the client's composer with it. The user sends it from there.
class MailComposer {
  public:
    // A composer with the subject, the body as HTML and, when a list is given, the recipients;
    // empty (after a warning in the log) where no mail can be sent.
    static std::optional<MailComposer>
    showMessageComposerWithSubject(MailClient *client, Log &log, const std::string &subject,
                                   const std::string &body,
                                   const std::optional<std::vector<std::string>> &recipients);

    void setSubject(std::string subject) { message_.subject = std::move(subject); }
    void setToRecipients(std::vector<std::string> recipients) {
        message_.recipients = std::move(recipients);
    }
    void setMessageBody(std::string body, bool isHTML) {
        message_.body = std::move(body);
        message_.bodyIsHTML = isHTML;
    }
    void addAttachmentData(std::string data, std::string mimeType, std::string fileName) {
        message_.attachments.push_back({std::move(data), std::move(mimeType), std::move(fileName)});
    }
    const MailMessage &message() const { return message_; }

    // Hands the mail to the client; a failure is logged, as the user sees no composer then.
    MailResult present(Log &log) const;

  private:
    explicit MailComposer(MailClient &client) : client_(&client) {}

    MailClient *client_;
    MailMessage message_;
};

} // namespace byteward
