// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "platform/dbus_notifications.h"
#include "screens/dashboard/main_view_controller.h"

namespace byteward::cli {

int deliverDueNotifications(Context &context) {
    DesktopNotificationSink sink(&context.log());
    return context.services().notifications.deliverDueNotifications(sink);
}

void addUpdateCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand("update", tr("Bring both usage records up to date, once"));
    auto reset = std::make_shared<bool>(false);
    command->add_flag("--reset", *reset,
                      tr("Restart the since-the-app-last-ran counters after this update"));
    command->callback([&action, reset] {
        action = [reset](Context &context) {
            MainViewController controller(context.services());
            const FileResult updated = controller.backgroundUpdate("", *reset);
            // The milestone alerts this update raised reach the desktop now.
            deliverDueNotifications(context);
            if (!updated) throw Failure(updated.error);
            return 0;
        };
    });
}

} // namespace byteward::cli
