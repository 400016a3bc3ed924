// SPDX-FileCopyrightText: 2026 The Byteward developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command.h"
#include "model/device_info.h"
#include "model/interface_classifier.h"
#include "model/text_format.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace byteward::cli {

void addInterfacesCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "interfaces",
        tr("List every network interface: its data type and why, its carrier, whether it counts"));
    auto json = std::make_shared<bool>(false);
    command->add_flag("--json", *json, tr("Print JSON"));
    command->callback([&action, json] {
        action = [json](Context &context) {
            Services &services = context.services();
            const StatsSnapshot snapshot = services.statistics.read();
            if (!snapshot.ok()) throw Failure(snapshot.error);
            const auto decisions = InterfaceClassifier::forServices(services).decide(snapshot);
            const std::string note = nothingCountedNote(snapshot, decisions);
            if (*json) {
                nlohmann::ordered_json list = nlohmann::ordered_json::array();
                for (std::size_t n = 0; n < decisions.size(); ++n) {
                    const InterfaceStats &i = snapshot.interfaces[n];
                    const InterfaceDecision &d = decisions[n];
                    list.push_back({{"name", i.name},
                                    {"dataType", dataTypeName(d.type)},
                                    {"counted", d.counted},
                                    {"reason", d.reason},
                                    {"carrier", d.carrier},
                                    {"countedOn", d.upper},
                                    {"received", i.receivedBytes},
                                    {"sent", i.sentBytes},
                                    {"loopback", i.loopback}});
                }
                std::cout << list.dump(2) << '\n';
                // The list stays an array for the scripts that read it; the note goes aside.
                if (!note.empty()) std::cerr << note << '\n';
                return 0;
            }
            std::printf("%-16s %-9s %-7s %20s %20s  %s\n", tr("INTERFACE"), tr("TYPE"),
                        tr("COUNTED"), tr("RECEIVED"), tr("SENT"), tr("WHY"));
            for (std::size_t n = 0; n < decisions.size(); ++n) {
                const InterfaceStats &i = snapshot.interfaces[n];
                const InterfaceDecision &d = decisions[n];
                std::string why = tr(d.reason);
                if (!d.carrier.empty()) why += format(tr("; on %s"), d.carrier.c_str());
                if (!d.upper.empty()) why += format(tr("; counted on %s instead"), d.upper.c_str());
                std::printf("%-16s %-9s %-7s %20llu %20llu  %s\n", i.name.c_str(),
                            dataTypeName(d.type), d.counted ? tr("yes") : tr("no"),
                            static_cast<unsigned long long>(i.receivedBytes),
                            static_cast<unsigned long long>(i.sentBytes), why.c_str());
            }
            if (!note.empty()) std::cout << '\n' << note << '\n';
            return 0;
        };
    });
}

} // namespace byteward::cli
