#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarvex {

// Exit codes of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct CommandLineIO {
    std::ostream& out;
    std::ostream& err;
};

// One subcommand: `zarvex NAME ARGS…`. `run` receives the arguments after the name.
struct Subcommand {
    std::string_view name;
    std::string_view synopsis;  // "info FOLDER"
    std::string_view summary;   // one line for --help
    std::function<int(const std::vector<std::string>& args, CommandLineIO io)> run;
    // Shows windows or reads the screen: refused up front without a desktop.
    bool needsDesktop = false;
};

const std::vector<Subcommand>& subcommands();

// Runs `zarvex ARGS…` (without the program name) and returns the exit code.
int runCommandLine(const std::vector<std::string>& args, CommandLineIO io);

void printUsage(std::ostream& out);

// Whether the desktop that windows and screen capture need can be reached:
// nothing when it can, else what is missing, in the words shown to the user.
// The one place that decides it for the tray application and every command.
std::optional<std::string> missingDesktop();

// `zarvex` without a command: the tray application, or the refusal when no
// desktop can be reached.
int runTray(CommandLineIO io);

// Subcommands, each in its own cli_*.cpp.
int runInfo(const std::vector<std::string>& args, CommandLineIO io);
int runDisplays(const std::vector<std::string>& args, CommandLineIO io);
int runWindows(const std::vector<std::string>& args, CommandLineIO io);
int runRecord(const std::vector<std::string>& args, CommandLineIO io);
int runExport(const std::vector<std::string>& args, CommandLineIO io);
int runSettings(const std::vector<std::string>& args, CommandLineIO io);
int runPlay(const std::vector<std::string>& args, CommandLineIO io);
int runOpen(const std::vector<std::string>& args, CommandLineIO io);
int runToggle(const std::vector<std::string>& args, CommandLineIO io);

}  // namespace zarvex
