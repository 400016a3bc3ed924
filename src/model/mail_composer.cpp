// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/mail_composer.h"

namespace byteward {

std::optional<MailComposer> MailComposer::showMessageComposerWithSubject(
    MailClient *client, Log &log, const std::string &subject, const std::string &body,
    const std::optional<std::vector<std::string>> &recipients) {
    if (client == nullptr || !client->canSendMail()) {
        log.line("Warning: the mail composer couldn't be instantiated: no mail client found!");
        return std::nullopt;
    }
    MailComposer composer(*client);
    if (recipients) composer.setToRecipients(*recipients);
    composer.setSubject(subject);
    composer.setMessageBody(body, true);
    return composer;
}

MailResult MailComposer::present(Log &log) const {
    MailResult result = client_->compose(message_);
    if (!result.handedOver) log.line("Handing the mail to the mail client failed: " + result.error);
    return result;
}

} // namespace byteward
