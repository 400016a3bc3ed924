#include "cli/command.h"

namespace byteward::cli {

void addDaemonCommand(CLI::App &, Action &) {}

} // namespace byteward::cli
