#include "app/cli.h"

#include <ostream>

#include "app/bundle_info.h"

namespace zarvex {

const std::vector<Subcommand>& subcommands() {
    static const std::vector<Subcommand> commands{
        {"info", "info FOLDER",
         "Summarise a recording folder: files, sources, style, trim, clicks.", runInfo},
    };
    return commands;
}

void printUsage(std::ostream& out) {
    out << "Zarvex records the screen, styles the recording and exports it as a movie.\n\n"
        << "Usage: zarvex [COMMAND] [ARGS...]\n\n"
        << "Commands:\n";
    for (const auto& command : subcommands()) {
        std::string synopsis(command.synopsis);
        synopsis.resize(std::max<std::size_t>(synopsis.size() + 2, 24), ' ');
        out << "  " << synopsis << command.summary << "\n";
    }
    out << "\nOptions:\n"
        << "  --help                  Show this help.\n"
        << "  --version               Show the version.\n";
}

int runCommandLine(const std::vector<std::string>& args, CommandLineIO io) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printUsage(io.out);
        return kExitOk;
    }
    if (args[0] == "--version") {
        const auto& info = BundleInfo::current();
        io.out << "zarvex " << info.shortVersion.value_or("?") << " (" << info.version.value_or("?")
               << ")\n";
        return kExitOk;
    }
    for (const auto& command : subcommands()) {
        if (args[0] == command.name) {
            return command.run(std::vector<std::string>(args.begin() + 1, args.end()), io);
        }
    }
    io.err << "zarvex: unknown command \"" << args[0] << "\". Run zarvex --help for the list.\n";
    return kExitUsage;
}

}  // namespace zarvex
