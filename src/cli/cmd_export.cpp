// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/app_settings.h"
#include "model/text_format.h"
#include "platform/xdg_mail_client.h"
#include "screens/history/history_detail_view_controller.h"
#include "screens/history/history_export.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

namespace byteward::cli {

namespace {

struct ExportOptions {
    std::string format; // "csv" or "html"
    std::string out;    // empty or "-": standard output
    bool cycles = false;
    std::string daily; // "cellular" or "wifi": the days of that period in progress
    bool mail = false;
};

// The logs a screen would export: the list's billing-cycle logs, or the daily logs of the
// period in progress as its detail shows them.
std::vector<History> logsToExport(Services &services, const std::string &daily) {
    if (daily.empty()) return History::getAllBillingCycleLogs(services);
    HistoryDetailViewController detail(services, ScreenContext{});
    detail.showCurrentWiFiCycle = daily == "wifi";
    detail.showCurrentCellCycle = !detail.showCurrentWiFiCycle;
    detail.viewDidLoad();
    return detail.dailyLogs;
}

std::string displayUnit(Services &services) {
    AppSettings settings(services);
    settings.getSettings();
    return AppSettings::text(settings.displayUnit);
}

// The export's bytes as they are, without a line feed of our own, so that standard output
// redirected to a file holds what --out would have written.
void writeOut(const std::string &path, const std::string &text) {
    if (path.empty() || path == "-") {
        std::cout << text << std::flush;
        if (!std::cout) throw Failure(tr("cannot write to standard output"));
        return;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file)
        throw Failure(
            format(tr("%s: cannot write the file: %s"), path.c_str(), std::strerror(errno)));
}

// As the screens do it: the CSV export goes to byteward.csv in the data folder and is
// attached; the mail opens in the desktop's mail client.
int mailExport(Context &context, const ExportOptions &o, const std::vector<History> &logs,
               const std::string &unit) {
    Services &services = context.services();
    XdgMailClient client(services.paths, services.clock, context.log());
    HistoryExport exporter(services, &client);
    const bool csv = o.format == "csv";
    const HistoryExport::Outcome outcome =
        csv ? exporter.exportToCsv(logs, unit) : exporter.emailHistory(logs, unit);
    const std::filesystem::path kept = client.lastMessageFolder / XdgMailClient::kMessageFileName;
    if (const auto alert = exporter.alertForOutcome(outcome, csv ? HistoryExport::Kind::Csv
                                                                 : HistoryExport::Kind::Email)) {
        std::string message = alert->message;
        if (outcome == HistoryExport::Outcome::HandOffFailed && !client.lastError.empty())
            message += " (" + client.lastError + ")";
        if (outcome == HistoryExport::Outcome::HandOffFailed && !client.lastMessageFolder.empty())
            message += format(tr(" The mail is kept as %s."), kept.string().c_str());
        throw Failure(message);
    }
    std::cout << kept.string() << '\n';
    return 0;
}

int runExport(Context &context, const ExportOptions &o) {
    Services &services = context.services();
    const std::vector<History> logs = logsToExport(services, o.daily);
    const std::string unit = displayUnit(services);
    if (o.mail) return mailExport(context, o, logs, unit);
    const HistoryExport exporter(services, nullptr);
    writeOut(o.out,
             o.format == "csv" ? exporter.csvText(logs, unit) : exporter.emailBody(logs, unit));
    return 0;
}

} // namespace

void addExportCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "export",
        tr("Export the history as the History tab does: CSV, or the HTML table of the mail"));
    auto o = std::make_shared<ExportOptions>();
    command->add_option("format", o->format, tr("csv or html"))
        ->required()
        ->check(CLI::IsMember({"csv", "html"}));
    auto *out =
        command->add_option("--out", o->out, tr("Write to this file (default: standard output)"))
            ->type_name("FILE");
    auto *cycles = command->add_flag(
        "--cycles", o->cycles, tr("Export the billing-cycle logs, oldest first (the default)"));
    auto *daily =
        command
            ->add_option("--daily", o->daily,
                         tr("Export the daily logs of the cellular or wifi period in progress, "
                            "newest first"))
            ->check(CLI::IsMember({"cellular", "wifi"}));
    auto *mail = command->add_flag(
        "--mail", o->mail,
        tr("Open the export in the desktop's mail client instead (Thunderbird or xdg-email); "
           "a CSV export is written to byteward.csv in the data folder and attached"));
    cycles->excludes(daily);
    mail->excludes(out);
    command->callback(
        [&action, o] { action = [o](Context &context) { return runExport(context, *o); }; });
}

} // namespace byteward::cli
