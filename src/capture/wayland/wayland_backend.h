#pragma once

// The Wayland backends of the capture ports: displays from the desktop
// toolkit's screens, screen streams through the desktop's screen-cast portal
// and PipeWire. This header carries no Qt or PipeWire types: the application
// and the command line wire these to the ports. A Wayland session records no
// clicks (it gives no global pointer events), so there is no input monitor.

#include <functional>
#include <memory>
#include <string>

#include "capture/clock.h"
#include "capture/screen_capture.h"
#include "capture/shareable_content.h"
#include "capture/wayland/picked_windows.h"
#include "capture/wayland/screencast_portal.h"

namespace zarvex {

// Where the tokens that restore the user's choice in the desktop's dialog are
// kept, one per source type. Called on the thread that starts a capture.
struct RestoreTokenStore {
    std::function<std::string(CastSourceType)> load;               // empty: none kept
    std::function<void(CastSourceType, const std::string&)> save;  // empty token: forget
};

struct WaylandOptions {
    const Clock* clock = &systemClock();
    RestoreTokenStore tokens;
    // Windows picked in the desktop's chooser: a window target names one of
    // them, and its recording takes over the cast started when it was picked.
    std::shared_ptr<PickedWindows> pickedWindows;
};

// Displays are the toolkit's screens: their output names, logical geometry and
// device-pixel ratios. The only windows listed are `picked` ones (the desktop's
// own chooser picks them). Needs the Qt GUI application object; made on its
// thread, it follows screen changes there and may be read from any one thread
// at a time.
std::unique_ptr<ShareableContentSource> makeWaylandShareableContent(
    std::shared_ptr<PickedWindows> picked = nullptr);

// The identifier of the display with this output name (stable while it is
// connected; never 0).
DisplayID waylandDisplayID(const std::string& outputName);

// Starting a stream runs the portal session (the desktop's dialog unless a
// kept token restores the choice) and throws what ScreenCastPortal throws.
// The stream of a display is the cast stream whose position and size are the
// display's; a kept token that restores another display is dropped and the
// user asked again.
std::unique_ptr<ScreenCaptureService> makeWaylandScreenCapture(const WaylandOptions& options = {});

}  // namespace zarvex
