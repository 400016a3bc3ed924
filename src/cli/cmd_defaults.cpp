// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "cli/value_text.h"
#include "model/app_settings.h"
#include "model/text_format.h"

#include <iostream>

namespace byteward::cli {

void addDefaultsCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand("defaults", tr("Read and change the user defaults"));
    command->require_subcommand(1);

    auto *read = command->add_subcommand("read", tr("Print the value of KEY, or the whole store"));
    auto readKey = std::make_shared<std::string>();
    read->add_option("key", *readKey, tr("The key to print"));
    read->callback([&action, readKey] {
        action = [readKey](Context &context) {
            UserDefaults &defaults = context.services().defaults;
            if (readKey->empty()) {
                std::cout << describeValue(Value(defaults.dictionaryRepresentation()),
                                           context.calendar())
                          << '\n';
                return 0;
            }
            const auto value = defaults.objectForKey(*readKey);
            if (!value)
                throw Failure(format(tr("the key \"%s\" does not exist"), readKey->c_str()));
            std::cout << describeValue(*value, context.calendar()) << '\n';
            return 0;
        };
    });

    auto *write = command->add_subcommand(
        "write",
        tr("Store VALUE under KEY: write KEY -int|-float|-string|-bool|-date VALUE, or KEY "
           "-array VALUE..."));
    // Everything after the key goes through as it is, so "-int" is not taken for options.
    write->prefix_command();
    write->callback([&action, write] {
        const std::vector<std::string> words = write->remaining();
        action = [words](Context &context) {
            if (words.size() < 3)
                throw UsageError(tr("defaults write needs KEY, a kind (-int, -float, -string, "
                                    "-bool, -date or -array) and a value"));
            const std::string &key = words[0];
            const std::string &kind = words[1];
            Value value;
            if (kind == "-array") {
                ValueArray items(words.begin() + 2, words.end());
                value = Value(std::move(items));
            } else {
                if (words.size() != 3)
                    throw UsageError(
                        format(tr("defaults write takes one value after %s"), kind.c_str()));
                auto parsed = parseTypedValue(kind, words[2], context.calendar());
                if (!parsed) {
                    if (kind != "-int" && kind != "-integer" && kind != "-float" &&
                        kind != "-string" && kind != "-bool" && kind != "-boolean" &&
                        kind != "-date")
                        throw UsageError(format(tr("unknown kind %s; use -int, -float, -string, "
                                                   "-bool, -date or -array"),
                                                kind.c_str()));
                    throw UsageError(format(tr("\"%s\" is not a valid %s value"), words[2].c_str(),
                                            kind.substr(1).c_str()));
                }
                value = std::move(*parsed);
            }
            // Settings written before the first run must not be replaced by the one-time defaults.
            AppSettings(context.services()).getSettings();
            UserDefaults &defaults = context.services().defaults;
            defaults.setObject(key, std::move(value));
            if (const FileResult written = defaults.synchronize(); !written)
                throw Failure(
                    format(tr("\"%s\" was not saved: %s"), key.c_str(), written.error.c_str()));
            return 0;
        };
    });

    auto *remove = command->add_subcommand("delete", tr("Remove KEY from the store"));
    auto deleteKey = std::make_shared<std::string>();
    remove->add_option("key", *deleteKey, tr("The key to remove"))->required();
    remove->callback([&action, deleteKey] {
        action = [deleteKey](Context &context) {
            UserDefaults &defaults = context.services().defaults;
            if (!defaults.objectForKey(*deleteKey))
                throw Failure(format(tr("the key \"%s\" does not exist"), deleteKey->c_str()));
            defaults.removeObjectForKey(*deleteKey);
            if (const FileResult written = defaults.synchronize(); !written)
                throw Failure(format(tr("\"%s\" was not removed: %s"), deleteKey->c_str(),
                                     written.error.c_str()));
            return 0;
        };
    });
}

} // namespace byteward::cli
