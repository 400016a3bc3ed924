// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "model/csv_writer.h"

#include <array>

namespace byteward {

namespace {

// Line breaks beyond ASCII, as UTF-8: next line, line separator, paragraph separator.
constexpr std::array<std::string_view, 3> kUnicodeBreaks = {"\xC2\x85", "\xE2\x80\xA8",
                                                            "\xE2\x80\xA9"};

bool needsQuotes(std::string_view field, char delimiter) {
    if (!field.empty() && field.front() == '#') return true;
    if (field.find_first_of(std::string("\n\v\f\r\"\\") + delimiter) != std::string_view::npos)
        return true;
    for (const auto lineBreak : kUnicodeBreaks)
        if (field.find(lineBreak) != std::string_view::npos) return true;
    return false;
}

} // namespace

std::string CsvWriter::escapedField(std::string_view field, char delimiter) {
    if (!needsQuotes(field, delimiter)) return std::string(field);
    std::string out = "\"";
    for (const char c : field) {
        out += c;
        if (c == '"' || c == '\\') out += c;
    }
    return out + "\"";
}

void CsvWriter::writeField(std::string_view field) {
    if (lineStarted_) text_ += delimiter_;
    text_ += escapedField(field, delimiter_);
    lineStarted_ = true;
}

void CsvWriter::finishLine() {
    text_ += '\n';
    lineStarted_ = false;
}

void CsvWriter::writeLineOfFields(const std::vector<std::string> &fields) {
    for (const auto &field : fields)
        writeField(field);
    finishLine();
}

} // namespace byteward
