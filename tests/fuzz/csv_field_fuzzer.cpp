// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// CSV fields: whatever text a log or a locale puts in a field, a reader that follows the quoting
// rules gets the same fields back, and no field starts a new line or a comment.
#include "fuzz_env.h"
#include "model/csv_writer.h"

#include <vector>

using namespace byteward;

namespace {

// Reads one line as the writer's quoting rules have it: a quoted field doubles its quotes and
// backslashes.
std::vector<std::string> readLine(std::string_view line, char delimiter) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if ((c == '"' || c == '\\') && i + 1 < line.size() && line[i + 1] == c) {
                fields.back() += c;
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else if (c == delimiter) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    if (quoted) fuzz::fail("a quoted field was left open");
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const char delimiter = ",;\t"[data[0] % 3];
    std::vector<std::string> fields(1);
    for (const char c : fuzz::asText(data + 1, size - 1)) {
        if (c == '\0')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    CsvWriter writer(delimiter);
    writer.writeLineOfFields(fields);
    std::string_view line = writer.text();
    if (line.empty() || line.back() != '\n') fuzz::fail("a line without its line feed");
    line.remove_suffix(1);
    if (readLine(line, delimiter) != fields) fuzz::fail("the fields did not read back");
    for (const auto &field : fields) {
        const std::string written = CsvWriter::escapedField(field, delimiter);
        if (!written.empty() && written.front() == '#') fuzz::fail("a field starts a comment");
        if (written.front() != '"' && written.find_first_of("\r\n") != std::string::npos)
            fuzz::fail("an unquoted field breaks the line");
    }
    return 0;
}
