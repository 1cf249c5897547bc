#pragma once

#include <memory>

#include "capture/input_monitor.h"
#include "capture/screen_capture.h"
#include "capture/shareable_content.h"
#include "model/preferences.h"

namespace zarvex {

// The capture backends of this desktop session, picked once by its type: the
// X11 ones, or in a Wayland session (also with Xwayland's DISPLAY) the
// toolkit's screens and the screen-cast portal, with no click monitor.
struct SessionCapture {
    std::shared_ptr<void> toolkit;  // the GUI application object made for them, if any
    std::unique_ptr<ShareableContentSource> content;
    std::unique_ptr<ScreenCaptureService> screenCapture;  // null when only content was asked for
    std::unique_ptr<InputMonitor> inputMonitor;           // null: no clicks are recorded
};

// For the command line, on its main thread. In a Wayland session the Qt GUI
// application object the screens need is made when the process has none.
// With `preferences` the screen capture is made too, keeping the desktop's
// restore tokens there. Throws ScreenCaptureError.
SessionCapture makeSessionCapture(Preferences* preferences);

}  // namespace zarvex
