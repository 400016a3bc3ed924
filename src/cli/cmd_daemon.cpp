// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "lifecycle/sampler_daemon.h"
#include "platform/dbus_notifications.h"
#include "platform/geoclue_location.h"
#include "platform/logind.h"
#include "platform/nominatim_geocoder.h"

#include <chrono>
#include <limits>
#include <memory>

namespace byteward::cli {

void addDaemonCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "daemon", tr("Sample in the background until SIGTERM or SIGINT, which take a last sample"));
    auto interval = std::make_shared<int>(60);
    command->add_option("--interval", *interval, tr("Seconds between samples"))
        ->type_name("SECONDS")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()).description(""))
        ->capture_default_str();
    command->callback([&action, interval] {
        action = [interval](Context &context) {
            // First, so that no thread and no bus connection exists without the signals blocked.
            StopSignals stopSignals;
            LogindPowerEvents power(context.log());
            // One for the daemon's whole life: the badge lasts as long as its bus connection.
            DesktopNotificationSink sink(&context.log());
            ConfiguredGeocoder places(context.services().defaults, context.log());
            GeoClueLocationService location(context.log(), places,
                                            GeoClueLocationService::Options{});
            SamplerDaemon daemon(context.services(), sink, power, std::chrono::seconds(*interval),
                                 stopSignals.fd(), &location);
            return daemon.run();
        };
    });
}

} // namespace byteward::cli
