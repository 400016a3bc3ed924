// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "lifecycle/sampler_daemon.h"
#include "model/usage_metrics.h"
#include "platform/dbus_notifications.h"
#include "platform/files.h"
#include "platform/geoclue_location.h"
#include "platform/http_page_server.h"
#include "platform/logind.h"
#include "platform/nominatim_geocoder.h"

#include <chrono>
#include <limits>
#include <memory>

namespace byteward::cli {

namespace {

struct DaemonOptions {
    int interval = 60;
    std::string metricsListen;
    std::string metricsOut;
};

// Where the metrics go after each sample: the page the listener serves, and the file.
SamplerDaemon::MetricsSink metricsSink(HttpPageServer *server, const std::string &file, Log &log) {
    if (server == nullptr && file.empty()) return {};
    auto lastError = std::make_shared<std::string>();
    return [server, file, &log, lastError](const std::string &text) {
        if (server != nullptr) server->publish(text);
        if (file.empty()) return;
        // Said once for as long as the same failure lasts, not at every tick.
        const FileResult written = writeFileAtomically(file, text, kReadableByAll);
        if (!written && written.error != *lastError) log.line("Metrics file: " + written.error);
        *lastError = written.error;
    };
}

} // namespace

void addDaemonCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "daemon", tr("Sample in the background until SIGTERM or SIGINT, which take a last sample"));
    auto o = std::make_shared<DaemonOptions>();
    command->add_option("--interval", o->interval, tr("Seconds between samples"))
        ->type_name("SECONDS")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()).description(""))
        ->capture_default_str();
    command
        ->add_option("--metrics-listen", o->metricsListen,
                     tr("Serve the figures for Prometheus at http://ADDRESS:PORT/metrics (only the "
                        "loopback address unless one is given)"))
        ->type_name("[ADDRESS:]PORT")
        ->check(CLI::Validator(
            [](const std::string &text) {
                return parseListenAddress(text) ? std::string()
                                                : tr("not a port or ADDRESS:PORT: ") + text;
            },
            ""));
    command
        ->add_option("--metrics-out", o->metricsOut,
                     tr("After every sample, replace this file with the figures for Prometheus "
                        "(for node_exporter's textfile collector)"))
        ->type_name("FILE");
    command->callback([&action, o] {
        action = [o](Context &context) {
            // First, so that no thread and no bus connection exists without the signals blocked.
            StopSignals stopSignals;
            std::unique_ptr<HttpPageServer> server;
            if (!o->metricsListen.empty()) {
                try {
                    server = std::make_unique<HttpPageServer>(
                        parseListenAddress(o->metricsListen).value(), "/metrics",
                        kMetricsContentType, context.log());
                } catch (const std::runtime_error &error) {
                    throw Failure(std::string("metrics: ") + error.what());
                }
                context.log().line("Serving metrics at http://" + server->boundAddress() +
                                   "/metrics");
            }
            LogindPowerEvents power(context.log());
            // One for the daemon's whole life: the badge lasts as long as its bus connection.
            DesktopNotificationSink sink(&context.log());
            ConfiguredGeocoder places(context.services().defaults, context.log());
            GeoClueLocationService location(context.log(), places,
                                            GeoClueLocationService::Options{});
            SamplerDaemon daemon(context.services(), sink, power, std::chrono::seconds(o->interval),
                                 stopSignals.fd(), &location);
            daemon.setMetricsSink(metricsSink(server.get(), o->metricsOut, context.log()));
            return daemon.run();
        };
    });
}

} // namespace byteward::cli
