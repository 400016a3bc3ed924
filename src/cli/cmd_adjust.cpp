// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/text_format.h"
#include "screens/dashboard/main_view_controller.h"

#include <optional>

namespace byteward::cli {

namespace {

// Keeps what the dashboard would show, so the command can answer the adjustment alert the way
// the user does in the app.
class AnsweringPresenter final : public Presenter {
  public:
    void presentAlert(const Alert &alert, AlertDelegate *) override { shown.push_back(alert); }
    void openUrl(const std::string &) override {}
    std::vector<Alert> shown;
};

} // namespace

void addAdjustCommands(CLI::App &app, Action &action) {
    auto *adjust = app.add_subcommand(
        "adjust", tr("Set the current period's usage of a data type, in the display unit, as the "
                     "settings tab's adjustment does"));
    auto type = std::make_shared<std::string>();
    auto amount = std::make_shared<std::string>();
    adjust->add_option("type", *type, tr("cellular or wifi"))
        ->required()
        ->check(CLI::IsMember({"cellular", "wifi"}));
    adjust->add_option("amount", *amount, tr("The period's usage in the display unit"))->required();
    adjust->callback([&action, type, amount] {
        action = [type, amount](Context &context) {
            AnsweringPresenter presenter;
            MainViewController controller(context.services());
            controller.screens.presenter = &presenter;
            const bool cellular = *type == "cellular";
            cellular ? controller.adjustCellularUsage() : controller.adjustWifiUsage();
            if (presenter.shown.empty()) throw Failure(tr("the adjustment could not be started"));
            Alert answer = presenter.shown.back();
            answer.text = *amount;
            presenter.shown.clear();
            controller.alertView(answer, 1);
            if (!presenter.shown.empty()) throw UsageError(presenter.shown.back().message);
            if (!controller.lastAdjustment)
                throw Failure(format(tr("the adjusted %s usage was not saved: %s"), type->c_str(),
                                     controller.lastAdjustment.error.c_str()));
            return 0;
        };
    });

    auto *reset = app.add_subcommand(
        "reset",
        tr("Close the current period of a data type into the history and start it at zero"));
    auto resetType = std::make_shared<std::string>();
    reset->add_option("type", *resetType, tr("cellular or wifi"))
        ->required()
        ->check(CLI::IsMember({"cellular", "wifi"}));
    reset->callback([&action, resetType] {
        action = [resetType](Context &context) {
            MainViewController controller(context.services());
            const FileResult reset = *resetType == "cellular" ? controller.resetCellularUsage()
                                                              : controller.resetWifiUsage();
            if (!reset)
                throw Failure(format(tr("the %s usage was not reset: %s"), resetType->c_str(),
                                     reset.error.c_str()));
            return 0;
        };
    });
}

} // namespace byteward::cli
