// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace byteward {

// Comma-separated lines in memory. A field goes in quotes, with its quotes and backslashes
// doubled, when it holds a line break of any kind, a quote, a backslash or the delimiter, or when
// it starts with "#" (which some readers take for a comment); other fields go in as they are.
// Every line ends in a single line feed.
class CsvWriter {
  public:
    explicit CsvWriter(char delimiter = ',') : delimiter_(delimiter) {}

    void writeField(std::string_view field);
    void finishLine();
    void writeLineOfFields(const std::vector<std::string> &fields);
    const std::string &text() const { return text_; }

    // The field as it is written.
    static std::string escapedField(std::string_view field, char delimiter = ',');

  private:
    char delimiter_;
    std::string text_;
    bool lineStarted_ = false;
};

} // namespace byteward
