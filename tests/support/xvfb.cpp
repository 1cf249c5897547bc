#include "xvfb.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>

#include "process.h"

namespace zarvex::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// True once the window manager on `display` maps a window that asks to be
// mapped. A window manager announces itself (_NET_SUPPORTING_WM_CHECK) before
// it has finished starting, and openbox drops a map request that arrives in
// between: the client's window (trayer's panel, say) then never shows. So a
// probe window is mapped, and mapped again, until the manager shows it.
bool windowManagerMapsWindows(const std::string& display,
                              std::chrono::steady_clock::time_point deadline) {
    struct Disconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    const std::unique_ptr<xcb_connection_t, Disconnect> connection(
        xcb_connect(display.c_str(), nullptr));
    if (xcb_connection_has_error(connection.get())) {
        return false;
    }
    xcb_connection_t* c = connection.get();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t probe = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    bool viewable = false;
    while (!viewable && std::chrono::steady_clock::now() < deadline) {
        xcb_map_window(c, probe);
        xcb_flush(c);
        for (int i = 0; i < 10 && !viewable; ++i) {
            std::this_thread::sleep_for(milliseconds(20));
            const std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> reply(
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, probe), nullptr),
                &std::free);
            viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        }
    }
    xcb_destroy_window(c, probe);
    xcb_flush(c);
    return viewable;
}

}  // namespace

Xvfb::Xvfb(int width, int height)
    : process_({"Xvfb", "-displayfd", "1", "-screen", "0",
                std::to_string(width) + "x" + std::to_string(height) + "x24", "+extension",
                "Composite", "-nolisten", "tcp", "-noreset", "-br"},
               // Xvfb tries display numbers until one is free and complains
               // about each taken one: its stderr is noise.
               {.quiet = true}) {
    // Xvfb writes its display number once it accepts clients.
    const auto number = process_.readLine(seconds(30));
    if (!number || number->empty()) {
        throw std::runtime_error("Xvfb did not start");
    }
    display_ = ":" + *number;
    // Tests on this server are X11 sessions, also when run from a Wayland
    // desktop (whose WAYLAND_DISPLAY would pick the Wayland backends).
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("XDG_SESSION_TYPE", "x11", 1);
}

std::string runXClient(const Xvfb& server, const std::vector<std::string>& argv) {
    std::vector<std::string> command{"env", "DISPLAY=" + server.display()};
    command.insert(command.end(), argv.begin(), argv.end());
    const ProcessResult result = runProcess(command);
    if (result.exitCode != 0) {
        throw std::runtime_error(argv.front() + " failed: " + result.err);
    }
    return result.out;
}

WindowManager::WindowManager(const Xvfb& server)
    : process_({"openbox", "--sm-disable"},
               // Its own configuration and cache folders, apart from other tests'.
               {.environment = {{"DISPLAY", server.display()},
                                {"HOME", home_.path().string()},
                                {"XDG_CONFIG_HOME", (home_ / "config").string()},
                                {"XDG_CACHE_HOME", (home_ / "cache").string()}},
                .quiet = true}) {
    const auto deadline = std::chrono::steady_clock::now() + seconds(30);
    const auto running = [&] {
        const ProcessResult check = runProcess(
            {"xprop", "-display", server.display(), "-root", "_NET_SUPPORTING_WM_CHECK"});
        return check.exitCode == 0 && check.out.find("window id") != std::string::npos &&
               windowManagerMapsWindows(server.display(), deadline);
    };
    if (!eventually(running, seconds(30), milliseconds(50))) {
        throw std::runtime_error("openbox did not start");
    }
}

TrayHost::TrayHost(const Xvfb& server)
    : process_({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                "24", "--SetDockType", "true", "--transparent", "false", "--tint", "0x2b2d33"},
               {.environment = {{"DISPLAY", server.display()}}, .quiet = true}) {
    // trayer maps its panel once it manages the tray.
    const auto panelShown = [&] {
        return runProcess({"env", "DISPLAY=" + server.display(), "xdotool", "search",
                           "--onlyvisible", "--class", "trayer"})
                   .exitCode == 0;
    };
    if (!eventually(panelShown, seconds(30), milliseconds(50))) {
        throw std::runtime_error("trayer did not start");
    }
}

std::vector<std::string> TestWindow::arguments(const std::string& helperPath,
                                               const Options& options) {
    const std::string geometry = std::to_string(options.width) + "x" +
                                 std::to_string(options.height) + "+" + std::to_string(options.x) +
                                 "+" + std::to_string(options.y);
    std::vector<std::string> argv{helperPath,    "--geometry",  geometry,
                                  "--color",     options.color, "--title",
                                  options.title, "--class",     options.applicationClass};
    if (options.processID) {
        argv.insert(argv.end(), {"--pid", std::to_string(*options.processID)});
    }
    if (options.overrideRedirect) {
        argv.push_back("--override-redirect");
    }
    if (options.wallpaper) {
        argv.push_back("--wallpaper");
    }
    if (!options.windowType.empty()) {
        argv.insert(argv.end(), {"--type", options.windowType});
    }
    if (options.opacity) {
        argv.insert(argv.end(), {"--opacity", std::to_string(*options.opacity)});
    }
    return argv;
}

TestWindow::TestWindow(const std::string& helperPath, const Xvfb& server, const Options& options)
    : process_(arguments(helperPath, options), {.environment = server.environment()}) {
    const auto line = process_.readLine(seconds(30));
    if (!line) {
        throw std::runtime_error("the test window did not appear");
    }
    id_ = static_cast<std::uint32_t>(std::stoul(*line));
}

void TestWindow::command(const std::string& line) {
    process_.write(line + "\n");
    const auto answer = process_.readLine(seconds(30));
    if (answer != "ok") {
        throw std::runtime_error("test window command failed: " + line);
    }
}

}  // namespace zarvex::testing
