#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "child_process.h"
#include "temp_dir.h"

namespace zarvex::testing {

// A private X server for one test: Xvfb on the first free display number,
// with Composite (and MIT-SHM, XFIXES, DAMAGE, RANDR, XInput 2, XTEST) and a
// black root window. Construction returns once clients can connect;
// destruction stops it.
class Xvfb {
  public:
    explicit Xvfb(int width = 1280, int height = 720);

    // ":N", for DISPLAY or a display-name argument.
    const std::string& display() const { return display_; }
    std::map<std::string, std::string> environment() const { return {{"DISPLAY", display_}}; }
    pid_t pid() const { return process_.pid(); }

    // Stops the server now (clients see it go away); also done on destruction.
    void stop() { process_.stop(); }

  private:
    ChildProcess process_;
    std::string display_;
};

// Runs an X client (xdotool, xprop, …) against the server to completion;
// throws when it fails.
std::string runXClient(const Xvfb& server, const std::vector<std::string>& argv);

// openbox managing the server's windows until destroyed.
class WindowManager {
  public:
    explicit WindowManager(const Xvfb& server);

  private:
    TempDir home_;
    ChildProcess process_;
};

// trayer, a system tray (XEmbed) at the top right of the screen, until
// destroyed. Construction returns once it owns the tray selection.
class TrayHost {
  public:
    explicit TrayHost(const Xvfb& server);

  private:
    ChildProcess process_;
};

// A plain coloured window shown by a helper program (tests/capture/x11's
// zarvex_test_window), as another application would. It stays until the
// object is destroyed.
class TestWindow {
  public:
    struct Options {
        int x = 100;
        int y = 100;
        int width = 200;
        int height = 150;
        std::string color = "ff0000";  // RRGGBB
        std::string title = "Test window";
        std::string applicationClass = "ZarvexTest";
        // The process the window claims to belong to; nothing: the helper's.
        std::optional<std::uint32_t> processID = std::nullopt;
        bool overrideRedirect = false;
        // The EWMH window type's last word ("DOCK", "DESKTOP", …); empty: none set.
        std::string windowType = {};
        // _NET_WM_WINDOW_OPACITY as a fraction; nothing: not set (opaque).
        std::optional<double> opacity = std::nullopt;
        // Instead of a window: the desktop picture in `color`, set as
        // wallpaper tools do; id() is then its pixmap.
        bool wallpaper = false;
    };

    TestWindow(const std::string& helperPath, const Xvfb& server, const Options& options);

    std::uint32_t id() const { return id_; }
    std::uint32_t helperProcessID() const { return static_cast<std::uint32_t>(process_.pid()); }

    // Sends one command and waits until the server has applied it:
    // "color RRGGBB", "move X Y", "resize W H", "raise", "map", "unmap",
    // "animate MS" (a new colour every MS milliseconds; 0 stops), "destroy".
    void command(const std::string& line);

  private:
    static std::vector<std::string> arguments(const std::string& helperPath,
                                              const Options& options);

    ChildProcess process_;
    std::uint32_t id_ = 0;
};

}  // namespace zarvex::testing
