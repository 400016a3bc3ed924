#include "cli/command.h"
#include "history/history_detail_view_controller.h"
#include "history/history_export.h"
#include "platform/xdg_mail_client.h"
#include "settings/app_settings.h"

#include <iostream>
#include <unistd.h>

namespace byteward::cli {

namespace {

struct ExportOptions {
    std::string format; // "csv" or "email"
    std::string period;
    std::string unit;
    bool mail = false;
    bool mime = false;
    std::vector<std::string> to;
};

// The logs a screen would export: the list's billing-cycle logs, or the daily logs of one
// period as its detail shows them.
std::vector<History> logsToExport(Services &services, const std::string &period) {
    if (period.empty()) return History::getAllBillingCycleLogs(services);
    HistoryDetailViewController detail(services, HistoryScreenContext{});
    if (period == "cellular") {
        detail.showCurrentCellCycle = true;
    } else if (period == "wifi") {
        detail.showCurrentWiFiCycle = true;
    } else {
        for (const auto &log : History::getAllBillingCycleLogs(services))
            if (log.uniqueId == period) detail.historyItem = log;
        if (!detail.historyItem) throw Failure("no billing-cycle log has the id " + period);
    }
    detail.viewDidLoad();
    return detail.dailyLogs;
}

std::string displayUnit(Services &services) {
    AppSettings settings(services);
    settings.getSettings();
    return AppSettings::text(settings.displayUnit);
}

int runExport(Context &context, const ExportOptions &o) {
    Services &services = context.services();
    const std::vector<History> logs = logsToExport(services, o.period);
    const std::string unit = o.unit.empty() ? displayUnit(services) : o.unit;
    HistoryExport exporter(services, nullptr);

    MailMessage message;
    if (o.format == "csv") {
        const std::string csv = exporter.csvText(logs, unit);
        if (const FileResult written = exporter.writeCsvFile(logs, unit); !written.ok())
            throw Failure("the CSV file could not be written: " + written.error);
        message = HistoryExport::csvMail(csv);
    } else {
        message = exporter.historyMail(logs, unit);
    }
    message.recipients = o.to;

    if (o.mime) {
        std::cout << mimeMessage(message, services.clock.now(),
                                 "byteward-" + std::to_string(::getpid()));
        return 0;
    }
    if (o.mail) {
        XdgMailClient client(services.paths, services.clock, context.log());
        if (!client.canSendMail())
            throw Failure("cannot send mail: no mail client (xdg-email) was found");
        if (const MailResult result = client.compose(message); !result.handedOver) {
            std::string kept;
            if (!client.lastMessageFolder.empty())
                kept = "; the mail is kept as " +
                       (client.lastMessageFolder / XdgMailClient::kMessageFileName).string();
            throw Failure("the mail client did not take the mail: " + result.error + kept);
        }
        std::cout << (client.lastMessageFolder / XdgMailClient::kMessageFileName).string() << '\n';
        return 0;
    }
    if (o.format == "csv")
        std::cout << HistoryExport::csvPath(services).string() << '\n';
    else
        std::cout << message.body << '\n';
    return 0;
}

} // namespace

void addExportCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "export", "Export the history as the History tab does: a CSV file or an HTML mail");
    auto o = std::make_shared<ExportOptions>();
    command->add_option("format", o->format, "csv: write byteward.csv; email: the HTML table")
        ->required()
        ->check(CLI::IsMember({"csv", "email"}));
    command->add_option("--period", o->period,
                        "Export the daily logs of one billing period: cellular or wifi for the "
                        "period in progress, or the id of a billing-cycle log (default: every "
                        "billing-cycle log)");
    command->add_option("--unit", o->unit, "KB, MB or GB (default: the display unit setting)")
        ->check(CLI::IsMember({"KB", "MB", "GB"}));
    auto *mail = command->add_flag("--mail", o->mail,
                                   "Open the mail in the desktop's mail client (xdg-email)");
    auto *mime = command->add_flag(
        "--mime", o->mime, "Print the whole mail as a MIME message, for example for sendmail -t");
    command->add_option("--to", o->to, "Recipients of the mail (with --mail or --mime)");
    mail->excludes(mime);
    command->callback(
        [&action, o] { action = [o](Context &context) { return runExport(context, *o); }; });
}

} // namespace byteward::cli
