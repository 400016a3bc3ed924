#include "cli/context.h"

namespace byteward::cli {

Context::Context(bool verbose) : log_(verbose), boot_(log_), paths_(Paths::fromEnvironment()) {
    std::string error;
    clock_ = SystemClock::fromEnvironment(calendar_, error);
    if (!clock_) throw Failure(error);
    defaults_ =
        std::make_unique<PlistUserDefaults>(paths_.configDir, paths_.dataDir, log_, &*clock_);
    widgetDefaults_ = std::make_unique<PlistUserDefaults>(
        paths_.configDir, paths_.dataDir, log_, &*clock_, PlistUserDefaults::kWidgetSuite);
    notifications_ = std::make_unique<NotificationCenter>(paths_, log_, *clock_, calendar_);
    services_ =
        std::make_unique<Services>(Services{*clock_, statistics_, boot_, calendar_, *defaults_,
                                            log_, paths_, *notifications_, *widgetDefaults_});
}

} // namespace byteward::cli
