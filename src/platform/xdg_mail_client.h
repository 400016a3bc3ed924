#pragma once

#include "platform/clock.h"
#include "platform/log.h"
#include "platform/mail_client.h"
#include "platform/paths.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace byteward {

// Hands mails to the desktop's mail client through xdg-email. xdg-email takes files by path,
// so each mail first goes to its own folder in the state directory's "outbox": the attachments
// under their own names and the whole mail as "message.eml", which a person can also open or
// pipe to sendmail where no desktop is running. Only the latest few mails are kept.
class XdgMailClient final : public MailClient {
  public:
    // `program` is looked up in PATH unless it holds a slash.
    XdgMailClient(Paths paths, const Clock &clock, Log &log, std::string program = "xdg-email");

    bool canSendMail() const override;
    MailResult compose(const MailMessage &message) override;

    // How long compose waits for xdg-email to finish; a mail client it starts in the foreground
    // keeps it running, and then it is left to run on its own.
    std::chrono::milliseconds handOffWait{5000};
    // How many mails the outbox keeps.
    int keepMessages = 10;
    // The folder of the latest mail; empty before the first.
    std::filesystem::path lastMessageFolder;

    static constexpr const char *kMessageFileName = "message.eml";

  private:
    std::optional<std::filesystem::path> programPath() const;
    std::optional<std::filesystem::path> newMessageFolder(std::string &error);
    void pruneOutbox() const;

    Paths paths_;
    const Clock &clock_;
    Log &log_;
    std::string program_;
    int sequence_ = 0;
};

} // namespace byteward
