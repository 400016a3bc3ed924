// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/clock.h"
#include "platform/log.h"
#include "platform/mail_client.h"
#include "platform/paths.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace byteward {

// Hands mails to the desktop's mail client: Thunderbird's composer where `thunderbird` is in
// PATH, as it takes an HTML body and attachments; otherwise xdg-email, with the body as plain
// text. Both take attachments as files, so each mail first goes to its own folder in the state
// directory's "outbox": the attachments under their own names and the whole mail as MIME in
// "message.eml", which a person can also open or pipe to sendmail where no desktop is running.
// Only the latest few mails are kept.
class XdgMailClient final : public MailClient {
  public:
    XdgMailClient(Paths paths, const Clock &clock, Log &log);

    // True when thunderbird or xdg-email is in PATH.
    bool canSendMail() const override;
    MailResult compose(const MailMessage &message) override;

    // How long compose waits for the program to finish; a mail client it starts in the
    // foreground keeps it running, and then it is left to run on its own.
    std::chrono::milliseconds handOffWait{5000};
    // How many mails the outbox keeps.
    int keepMessages = 10;
    // The folder of the latest mail; empty before the first.
    std::filesystem::path lastMessageFolder;
    // Why the latest mail was not handed over; empty when it was.
    std::string lastError;

    static constexpr const char *kMessageFileName = "message.eml";
    static constexpr const char *kThunderbird = "thunderbird";
    static constexpr const char *kXdgEmail = "xdg-email";

  private:
    MailResult handOver(const MailMessage &message);
    std::optional<std::filesystem::path> newMessageFolder(std::string &error);
    void pruneOutbox() const;
    std::vector<std::string> xdgEmailArguments(const MailMessage &message,
                                               const std::vector<std::filesystem::path> &files);

    Paths paths_;
    const Clock &clock_;
    Log &log_;
    int sequence_ = 0;
};

// The argument of `thunderbird -compose`: name='value' pairs separated by commas (to, subject,
// body, attachment as file URLs, format html or text), each value coming back unchanged.
std::string thunderbirdComposeArgument(const MailMessage &message,
                                       const std::vector<std::filesystem::path> &attachments);

// A "file://" URL for an absolute path, every byte outside the unreserved set and "/"
// percent-encoded.
std::string fileUrl(const std::filesystem::path &path);

} // namespace byteward
