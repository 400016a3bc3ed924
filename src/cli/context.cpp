#include "cli/context.h"

namespace byteward::cli {

Context::Context(bool verbose) : platform_(verbose) {
}

} // namespace byteward::cli
