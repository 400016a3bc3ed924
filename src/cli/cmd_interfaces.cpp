#include "cli/command.h"
#include "model/device_info.h"
#include "model/interface_classifier.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace byteward::cli {

void addInterfacesCommand(CLI::App &app, Action &action) {
    auto *command = app.add_subcommand(
        "interfaces", "List every network interface with its data type and byte counters");
    auto json = std::make_shared<bool>(false);
    command->add_flag("--json", *json, "Print JSON");
    command->callback([&action, json] {
        action = [json](Context &context) {
            Services &services = context.services();
            const StatsSnapshot snapshot = services.statistics.read();
            if (!snapshot.ok()) throw Failure(snapshot.error);
            const auto classifier = InterfaceClassifier::fromDefaults(services.defaults);
            if (*json) {
                nlohmann::json out = nlohmann::json::array();
                for (const auto &i : snapshot.interfaces) {
                    out.push_back({{"name", i.name},
                                   {"dataType", dataTypeName(classifier.classify(i))},
                                   {"received", i.receivedBytes},
                                   {"sent", i.sentBytes},
                                   {"loopback", i.loopback}});
                }
                std::cout << out.dump(2) << '\n';
                return 0;
            }
            std::printf("%-16s %-9s %20s %20s\n", "INTERFACE", "TYPE", "RECEIVED", "SENT");
            for (const auto &i : snapshot.interfaces) {
                std::printf("%-16s %-9s %20llu %20llu\n", i.name.c_str(),
                            dataTypeName(classifier.classify(i)),
                            static_cast<unsigned long long>(i.receivedBytes),
                            static_cast<unsigned long long>(i.sentBytes));
            }
            return 0;
        };
    });
}

} // namespace byteward::cli
