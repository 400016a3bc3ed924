// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/mail_client.h"

#include <vector>

namespace byteward::test {

// Keeps every mail handed to it; can play a desktop without a mail client, or one that refuses.
class RecordingMailClient final : public MailClient {
  public:
    bool canSendMail() const override { return available; }
    MailResult compose(const MailMessage &message) override {
        composed.push_back(message);
        return {accepts, accepts ? "" : "refused"};
    }

    bool available = true;
    bool accepts = true;
    std::vector<MailMessage> composed;
};

} // namespace byteward::test
