#pragma once

#include <memory>

#include "capture/input_monitor.h"
#include "capture/screen_capture.h"
#include "capture/session_type.h"
#include "capture/shareable_content.h"
#include "capture/wayland/picked_windows.h"
#include "capture/x11/x11_backend.h"
#include "flow/flow_ports.h"
#include "model/preferences.h"

class QObject;

namespace zarvex {

// The capture backends of this desktop session, picked once by its type: the
// X11 ones, or in a Wayland session (also with Xwayland's DISPLAY) the
// toolkit's screens and the screen-cast portal, with no click monitor.
struct SessionCapture {
    std::shared_ptr<void> toolkit;  // the GUI application object made for them, if any
    std::unique_ptr<ShareableContentSource> content;
    std::unique_ptr<ScreenCaptureService> screenCapture;  // null when only content was asked for
    std::unique_ptr<InputMonitor> inputMonitor;           // null: no clicks are recorded
    // Wayland: the windows picked in the desktop's dialog (pickWindow()).
    std::shared_ptr<PickedWindows> pickedWindows;
};

// For the command line, on its main thread. In a Wayland session the Qt GUI
// application object the screens need is made when the process has none.
// With `preferences` the screen capture is made too, keeping the desktop's
// restore tokens there. Throws ScreenCaptureError.
SessionCapture makeSessionCapture(Preferences* preferences);

// In a Wayland session, where the desktop's dialog picks a window (or a kept
// token picks the one chosen before): the picked window, listed by `capture`'s
// content and recorded by its screen capture. Throws what the portal throws.
WindowID pickWindow(SessionCapture& capture, Preferences& preferences, bool showsCursor);

// In a Wayland session Qt draws through the compositor (falling back to
// Xwayland), unless QT_QPA_PLATFORM chooses. Call before the application
// object is made.
void preferWaylandToolkit();

// The desktop application's capture backends, picked once by the session type.
struct DesktopCapture {
    SessionType session = SessionType::x11;
    std::unique_ptr<ShareableContentSource> uiContent;       // read on the main thread
    std::unique_ptr<ShareableContentSource> captureContent;  // read by the recording's thread
    std::unique_ptr<ScreenCaptureService> screenCapture;
    std::unique_ptr<InputMonitor> inputMonitor;  // null: no clicks are recorded
    // The desktop's window chooser; null where windows are picked on the
    // selection's overlays (X11).
    std::unique_ptr<WindowChooser> windowChooser;
};

// Made on the main thread of a running Qt GUI application. Recordings start
// on their own thread: the desktop's restore tokens are read there from a copy
// taken now and written back to `preferences` by queued calls to `mainThread`
// (dropped once it is gone). `x11` serves an X11 session. Throws
// ScreenCaptureError when the X display cannot be opened.
DesktopCapture makeDesktopCapture(Preferences& preferences, QObject& mainThread,
                                  const X11Options& x11);

}  // namespace zarvex
