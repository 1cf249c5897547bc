// zarvex displays / zarvex windows: what can be recorded, one target per
// line, each line starting with the id that `zarvex record` takes.

#include <iomanip>
#include <ostream>
#include <sstream>

#include "app/cli.h"
#include "app/session_capture.h"
#include "capture/session_type.h"

namespace zarvex {
namespace {

// A name on one line, in double quotes: control characters (a title with a
// line break) become spaces.
std::string quoted(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    std::ostringstream out;
    out << std::quoted(text);
    return out.str();
}

void writeFrame(std::ostream& out, const Rect& frame) {
    out << frame.x << ',' << frame.y << ' ' << frame.width << 'x' << frame.height;
}

// Lists the content with `print`; a desktop that cannot be read is an error.
template <typename Print>
int listContent(const std::vector<std::string>& args, CommandLineIO io, std::string_view usage,
                Print print) {
    if (!args.empty()) {
        io.err << "Usage: zarvex " << usage << "\n";
        return kExitUsage;
    }
    ShareableContent content;
    try {
        content = makeSessionCapture(nullptr).content->content();
    } catch (const ScreenCaptureError& error) {
        io.err << "zarvex: " << error.what() << "\n";
        return kExitFailure;
    }
    const auto precision = io.out.precision(10);
    print(content, io.out);
    io.out.precision(precision);
    return kExitOk;
}

}  // namespace

int runDisplays(const std::vector<std::string>& args, CommandLineIO io) {
    return listContent(args, io, "displays",
                       [](const ShareableContent& content, std::ostream& out) {
                           for (const auto& display : content.displays) {
                               out << display.id << ' ' << quoted(display.name) << ' ';
                               writeFrame(out, display.frame);
                               out << " scale " << display.pointPixelScale
                                   << (display.primary ? " primary" : "") << '\n';
                           }
                       });
}

int runWindows(const std::vector<std::string>& args, CommandLineIO io) {
    if (args.empty() && currentSessionType() == SessionType::wayland) {
        io.err << "zarvex: this desktop lets no program list its windows: zarvex record --window 0 "
                  "asks you to pick one in its dialog.\n";
        return kExitOk;
    }
    return listContent(args, io, "windows", [](const ShareableContent& content, std::ostream& out) {
        for (const auto& window : content.windows) {
            out << window.id << ' ' << quoted(window.title) << ' ';
            writeFrame(out, window.frame);
            out << " pid " << window.processID << " app " << quoted(window.applicationName) << '\n';
        }
    });
}

}  // namespace zarvex
