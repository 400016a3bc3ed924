// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

// bytewardctl: Byteward's command-line front end.
#include "byteward_version.h"
#include "cli/command.h"
#include "model/text_format.h"
#include "platform/data_lock.h"
#include "platform/files.h"
#include "platform/i18n.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>

namespace byteward::cli {

void printObject(const nlohmann::ordered_json &object, bool json) {
    if (json) {
        std::cout << object.dump(2) << '\n';
        return;
    }
    for (const auto &[key, value] : object.items())
        std::cout << key << ": " << (value.is_string() ? value.get<std::string>() : value.dump())
                  << '\n';
}

} // namespace byteward::cli

namespace {

int run(int argc, char **argv) {
    using namespace byteward::cli;
    CLI::App app{byteward::tr("Byteward: how much cellular and Wi-Fi data this machine moves"),
                 "bytewardctl"};
    app.set_version_flag("--version", std::string("bytewardctl ") + byteward::kVersion);
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose,
                 byteward::tr("Also print diagnostic lines on standard error"));
    app.require_subcommand(1);

    Action action;
    addUpdateCommand(app, action);
    addAdjustCommands(app, action);
    addStatusCommand(app, action);
    addInterfacesCommand(app, action);
    addRecordCommand(app, action);
    addDefaultsCommand(app, action);
    addBillingCommand(app, action);
    addHistoryCommand(app, action);
    addExportCommand(app, action);
    addCountersCommand(app, action);
    addNotificationsCommand(app, action);
    addWidgetCommand(app, action);
    addDaemonCommand(app, action);
    addMetricsCommand(app, action);
    addAppsCommand(app, action);
    std::function<int()> describeAction;
    addDescribeCommands(app, describeAction);

    // --verbose is accepted after the command too, except where the rest of the line is a value.
    std::function<void(CLI::App *)> acceptVerbose = [&](CLI::App *command) {
        for (CLI::App *sub : command->get_subcommands({})) {
            if (!sub->get_prefix_command())
                sub->add_flag("-v,--verbose", verbose, byteward::tr("Also print diagnostic lines"));
            acceptVerbose(sub);
        }
    };
    acceptVerbose(&app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        app.exit(e);
        return 2;
    }
    if (describeAction) return describeAction();

    try {
        Context context(verbose);
        // A command looks at the settings file once; the daemon, which runs on, once a sample.
        std::optional<byteward::UserDefaultsReadHold> hold;
        if (!app.got_subcommand("daemon")) hold.emplace(context.services().defaults);
        const int status = action(context);
        // A write the command made on the way (the widget values, a notification) that failed and
        // was not written since: what was asked was not all stored.
        if (const auto failure = byteward::lastWriteFailure(); failure && status == 0) {
            std::cerr << "bytewardctl: "
                      << byteward::format(byteward::tr("not saved: %s"), failure->c_str()) << '\n';
            return 1;
        }
        return status;
    } catch (const UsageError &e) {
        std::cerr << "bytewardctl: " << e.what() << '\n'
                  << byteward::tr("Run with --help for more information.") << '\n';
        return 2;
    }
}

} // namespace

int main(int argc, char **argv) {
    // A file size limit reached makes the write fail with EFBIG, told like a full disk, instead
    // of killing the process part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    std::setlocale(LC_ALL, "");
    // Numbers in JSON and text stay in the C form whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    byteward::bindTranslations();
    try {
        return run(argc, argv);
    } catch (const std::exception &e) {
        std::cerr << "bytewardctl: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "bytewardctl: " << byteward::tr("an unexpected error occurred") << '\n';
    }
    return 1;
}
