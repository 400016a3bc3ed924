// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cli/context.h"
#include "platform/i18n.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <nlohmann/json.hpp>

namespace byteward::cli {

// What a parsed command line runs once the platform services exist; returns the exit status.
using Action = std::function<int(Context &)>;

// Each command adds its subcommand and, when chosen, sets the action to run.
void addInterfacesCommand(CLI::App &app, Action &action);
void addRecordCommand(CLI::App &app, Action &action);
void addDefaultsCommand(CLI::App &app, Action &action);
void addBillingCommand(CLI::App &app, Action &action);
void addHistoryCommand(CLI::App &app, Action &action);
void addExportCommand(CLI::App &app, Action &action);
void addNotificationsCommand(CLI::App &app, Action &action);
void addCountersCommand(CLI::App &app, Action &action);
void addUpdateCommand(CLI::App &app, Action &action);
void addStatusCommand(CLI::App &app, Action &action);
void addWidgetCommand(CLI::App &app, Action &action);
void addDaemonCommand(CLI::App &app, Action &action);
void addMetricsCommand(CLI::App &app, Action &action);
void addAppsCommand(CLI::App &app, Action &action);
void addAdjustCommands(CLI::App &app, Action &action);
// Commands that describe the command line itself (shell completions, the manual's command
// reference): they run without the platform services, so the build can run them.
void addDescribeCommands(CLI::App &app, std::function<int()> &describeAction);

// Prints an object as JSON, or as "key: value" lines for people.
void printObject(const nlohmann::ordered_json &object, bool json);

// Hands every notification that is due to the desktop; returns how many.
int deliverDueNotifications(Context &context);

// A usage error found after parsing (a bad value in a free-form argument): exit status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

} // namespace byteward::cli
