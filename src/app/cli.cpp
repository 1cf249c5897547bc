#include "app/cli.h"

#include <ostream>

#include "app/bundle_info.h"
#include "app/tray_application.h"
#include "capture/linux/linux_permissions.h"
#include "capture/session_type.h"

namespace zarvex {

const std::vector<Subcommand>& subcommands() {
    static const std::vector<Subcommand> commands{
        {"record",
         "record [--display ID | --window ID | --region ID:X,Y,W,H] [--seconds N] [--no-mic] "
         "[--no-system-audio] [--camera] [--no-cursor]",
         "Record the screen into a new recording folder.", runRecord, true},
        {"export", "export FOLDER [-o FILE] [--codec h264|hevc] [--resolution native|1080p|720p]",
         "Export a recording, styled and trimmed, as an MP4 movie.", runExport},
        {"play", "play FOLDER [--at SECONDS] [--paused] [--size WxH]",
         "Play a recording, styled and trimmed, with sound.", runPlay, true},
        {"open", "open FOLDER",
         "Open a recording in Zarvex (in the running one, when there is one).", runOpen, true},
        {"info", "info FOLDER",
         "Summarise a recording folder: files, sources, style, trim, clicks.", runInfo},
        {"displays", "displays", "List the displays that can be recorded.", runDisplays, true},
        {"windows", "windows", "List the windows that can be recorded.", runWindows, true},
        {"settings", "settings", "Open the settings window.", runSettings, true},
        {"toggle", "toggle",
         "Start or stop recording in the running Zarvex, as its shortcut does (bind it to a key "
         "in your desktop's keyboard settings).",
         runToggle, true},
    };
    return commands;
}

namespace {

// Prints what is missing and says so when no desktop can be reached.
bool refusedWithoutDesktop(CommandLineIO io) {
    const std::optional<std::string> missing = missingDesktop();
    if (missing) {
        io.err << "zarvex: " << *missing << "\n";
    }
    return missing.has_value();
}

}  // namespace

std::optional<std::string> missingDesktop() {
    // A Wayland session draws through its compositor (Xwayland's display
    // beside it does not count) and records through its portal.
    if (currentSessionType() == SessionType::wayland) {
        if (waylandCompositorReachable()) {
            return std::nullopt;
        }
        return std::string(kNoWaylandCompositor);
    }
    // Windows go where screen capture reads from: the X display that the
    // capture permission check opens, refused in the same words.
    LinuxPermissionAuthority display;
    if (display.screenCaptureGranted()) {
        return std::nullopt;
    }
    return display.screenCaptureRefusal();
}

int runTray(CommandLineIO io) {
    return refusedWithoutDesktop(io) ? kExitFailure : runTrayApplication();
}

int runToggle(const std::vector<std::string>& args, CommandLineIO io) {
    if (!args.empty()) {
        io.err << "Usage: zarvex toggle\n";
        return kExitUsage;
    }
    // Zarvex starts when it is not running yet, and begins a selection then.
    return runTrayApplication({"toggle"});
}

void printUsage(std::ostream& out) {
    out << "Zarvex records the screen, styles the recording and exports it as a movie.\n\n"
        << "Usage: zarvex [COMMAND] [ARGS...]\n"
        << "Without a command Zarvex runs in the tray.\n\n"
        << "Commands:\n";
    for (const auto& command : subcommands()) {
        out << "  " << command.synopsis << "\n      " << command.summary << "\n";
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
            if (command.needsDesktop && refusedWithoutDesktop(io)) {
                return kExitFailure;
            }
            return command.run(std::vector<std::string>(args.begin() + 1, args.end()), io);
        }
    }
    io.err << "zarvex: unknown command \"" << args[0] << "\". Run zarvex --help for the list.\n";
    return kExitUsage;
}

}  // namespace zarvex
