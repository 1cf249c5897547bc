// Placeholder until the engine behind this command lands.

#include <ostream>

#include "app/cli.h"

namespace zarvex {

int runRecord(const std::vector<std::string>&, CommandLineIO io) {
    io.err << "This command is not available in this build yet.\n";
    return kExitFailure;
}

}  // namespace zarvex
