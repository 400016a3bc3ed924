// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The mail module: MIME messages written with GMime. Built as a shared module of its own so that
// only a process that composes a mail maps GMime and GLib.
#include "platform/mime_writer.h"

#include <algorithm>
#include <cstdint>
#include <gmime/gmime.h>
#include <memory>
#include <mutex>
#include <string_view>

namespace byteward {

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object != nullptr) g_object_unref(object);
    }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

void initGMime() {
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// A header value on one line: a line break in it would start a header of its own.
std::string oneLine(const std::string &text) {
    std::string out;
    for (const char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
    return out;
}

// Characters per line that mail should not exceed (RFC 5322, 2.1.1).
constexpr std::size_t kMaxLineLength = 78;

std::size_t longestLine(std::string_view text) {
    std::size_t longest = 0;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    return longest;
}

// A part holding the bytes as they are.
void setContent(GMimePart *part, const std::string &bytes) {
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.data(), bytes.size()));
    GObjectPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, content.get());
}

GObjectPtr<GMimeObject> bodyPart(const MailMessage &message) {
    GMimeTextPart *text = g_mime_text_part_new_with_subtype(message.bodyIsHTML ? "html" : "plain");
    // The body's own UTF-8 bytes: setting it as text would recode it into a legacy charset
    // where one will do.
    g_mime_text_part_set_charset(text, "utf-8");
    setContent(GMIME_PART(text), message.body);
    // Plain 7-bit where the text allows it, else quoted-printable or base64. GMime measures no
    // line that lacks a line feed, and an HTML body has none: long lines are looked for here.
    g_mime_object_encode(GMIME_OBJECT(text), GMIME_ENCODING_CONSTRAINT_7BIT);
    const GMimeContentEncoding chosen = g_mime_part_get_content_encoding(GMIME_PART(text));
    if (chosen != GMIME_CONTENT_ENCODING_BASE64 && longestLine(message.body) > kMaxLineLength)
        g_mime_part_set_content_encoding(GMIME_PART(text), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    return GObjectPtr<GMimeObject>(GMIME_OBJECT(text));
}

GMimePart *newPartOfType(const std::string &mimeType) {
    const std::string line = oneLine(mimeType);
    if (line.empty()) return g_mime_part_new(); // application/octet-stream
    GObjectPtr<GMimeContentType> type(g_mime_content_type_parse(nullptr, line.c_str()));
    if (!type) return g_mime_part_new();
    return g_mime_part_new_with_type(g_mime_content_type_get_media_type(type.get()),
                                     g_mime_content_type_get_media_subtype(type.get()));
}

GObjectPtr<GMimeObject> attachmentPart(const MailAttachment &attachment) {
    GMimePart *part = newPartOfType(attachment.mimeType);
    g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_part_set_filename(part, oneLine(attachment.fileName).c_str());
    setContent(part, attachment.data);
    // Base64 carries the bytes exactly; mail transport would turn the line feeds of a text
    // file in any other encoding into CRLF.
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    return GObjectPtr<GMimeObject>(GMIME_OBJECT(part));
}

void addRecipients(GMimeMessage *mail, const std::vector<std::string> &recipients) {
    InternetAddressList *to = g_mime_message_get_addresses(mail, GMIME_ADDRESS_TYPE_TO);
    for (const auto &recipient : recipients) {
        GObjectPtr<InternetAddressList> parsed(
            internet_address_list_parse(nullptr, oneLine(recipient).c_str()));
        if (parsed) internet_address_list_append(to, parsed.get());
    }
}

void setDate(GMimeMessage *mail, std::int64_t date) {
    GDateTime *utc = g_date_time_new_from_unix_utc(static_cast<gint64>(date));
    if (utc == nullptr) return; // outside the years GLib can write
    g_mime_message_set_date(mail, utc);
    g_date_time_unref(utc);
}

std::string written(GMimeObject *object) {
    GMimeFormatOptions *options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    GObjectPtr<GMimeStream> out(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, options, out.get());
    g_mime_format_options_free(options);
    const GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    return std::string(reinterpret_cast<const char *>(bytes->data), bytes->len);
}

class GMimeWriter final : public MimeWriter {
  public:
    std::string message(const MailMessage &message, std::int64_t date,
                        const std::string &boundary) const override {
        initGMime();
        GObjectPtr<GMimeMessage> mail(g_mime_message_new(TRUE));
        setDate(mail.get(), date);
        g_mime_message_set_subject(mail.get(), oneLine(message.subject).c_str(), "utf-8");
        addRecipients(mail.get(), message.recipients);
        // Mail programs open a message marked so as a draft to send rather than as one received.
        g_mime_object_set_header(GMIME_OBJECT(mail.get()), "X-Unsent", "1", nullptr);

        GObjectPtr<GMimeObject> body = bodyPart(message);
        if (message.attachments.empty()) {
            g_mime_message_set_mime_part(mail.get(), body.get());
            return written(GMIME_OBJECT(mail.get()));
        }
        GObjectPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        if (!boundary.empty())
            g_mime_multipart_set_boundary(mixed.get(), oneLine(boundary).c_str());
        g_mime_multipart_add(mixed.get(), body.get());
        for (const auto &attachment : message.attachments)
            g_mime_multipart_add(mixed.get(), attachmentPart(attachment).get());
        g_mime_message_set_mime_part(mail.get(), GMIME_OBJECT(mixed.get()));
        return written(GMIME_OBJECT(mail.get()));
    }
};

} // namespace

} // namespace byteward

extern "C" __attribute__((visibility("default"))) const byteward::MimeWriter *
byteward_mime_writer() {
    static const byteward::GMimeWriter writer;
    return &writer;
}
