// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "byteward_version.h"
#include "cli/command.h"
#include "model/usage_metrics.h"
#include "platform/files.h"

#include <iostream>

namespace byteward::cli {

void addMetricsCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "metrics", tr("Print the figures for Prometheus (its text exposition format)"));
    struct Options {
        std::string out;
        bool noUpdate = false;
    };
    auto o = std::make_shared<Options>();
    command
        ->add_option("--out", o->out,
                     tr("Write them to this file instead, replaced whole at once (for "
                        "node_exporter's textfile collector)"))
        ->type_name("FILE");
    command->add_flag("--no-update", o->noUpdate,
                      tr("Read the stored records without taking a sample"));
    command->callback([&action, o] {
        action = [o](Context &context) {
            Services &services = context.services();
            FileResult updated;
            if (!o->noUpdate) {
                UpdateCycle cycle(services);
                updated = cycle.backgroundUpdate("", false);
                deliverDueNotifications(context);
            }
            // Written even when the sample failed: the stored figures, with their update time,
            // are still the best there is.
            const std::string text = metricsText(readUsageMetrics(services, kVersion));
            if (o->out.empty()) {
                std::cout << text << std::flush;
            } else if (const FileResult written = writeFileAtomically(o->out, text, kReadableByAll);
                       !written) {
                throw Failure(written.error);
            }
            if (!updated) throw Failure(updated.error);
            return 0;
        };
    });
}

} // namespace byteward::cli
