#pragma once

// Internal to the X11 backend: what the server says about displays and
// windows, in root-window pixels.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "capture/x11/x11_connection.h"
#include "capture/x11/x11_geometry.h"

namespace zarvex::x11 {

// Pixels per point of the display with this output name.
using ScaleForOutput = std::function<double(const std::string& outputName)>;

// RandR monitors, primary first (the first is primary when the server names
// none); each display's id is its first output's id.
// Monitors without an output (made-up ones) are left out. Without RandR the
// whole root window is one display whose id is the root window's.
std::vector<MonitorGeometry> readMonitors(X11Connection& connection, const ScaleForOutput& scale);

// Selects RandR's screen and output change events on the root window; false
// when the server has no RandR.
bool selectMonitorChanges(X11Connection& connection);

struct ClientWindow {
    xcb_window_t id = XCB_WINDOW_NONE;
    std::uint32_t processID = 0;
    std::string title;
    std::string applicationName;
    PixelRect frame;  // the window's inside, root pixels
    int layer = kNormalWindowLayer;
    double alpha = 1;
};

// Viewable application windows, front to back: the window manager's stacking
// list, else its client list, else (no window manager) the root's mapped,
// non-override-redirect children.
std::vector<ClientWindow> readClientWindows(X11Connection& connection);

// The inside of any existing window in root pixels, mapped or not.
std::optional<PixelRect> windowPixelFrame(X11Connection& connection, xcb_window_t window);

// A child of the root window, bottom to top in `readTopLevels`.
struct TopLevel {
    xcb_window_t id = XCB_WINDOW_NONE;
    PixelRect outer;  // including the border, root pixels
    int border = 0;
    bool viewable = false;
    bool inputOnly = false;
};

std::vector<TopLevel> readTopLevels(X11Connection& connection);

// The process owning a top-level window: its own _NET_WM_PID, else that of
// the client window a window manager's frame holds; 0 when neither says.
std::uint32_t topLevelProcessID(X11Connection& connection, xcb_window_t window);

}  // namespace zarvex::x11
