// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/mail_client.h"

#include <cstdint>
#include <string>

namespace byteward {

// Writes a mail as a MIME message. Its GMime implementation is the module kMimeModule, loaded
// when the first mail is composed (platform/module.h).
class MimeWriter {
  public:
    // `date` in seconds since 1970, written in UTC.
    virtual std::string message(const MailMessage &message, std::int64_t date,
                                const std::string &boundary) const = 0;

  protected:
    ~MimeWriter() = default;
};

inline constexpr const char *kMimeModule = "byteward-mime.so";
inline constexpr const char *kMimeWriterFactory = "byteward_mime_writer";

} // namespace byteward

// The module's one writer, alive as long as the module.
extern "C" const byteward::MimeWriter *byteward_mime_writer();
