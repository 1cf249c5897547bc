#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/records.h"
#include "model/geometry.h"

namespace zarvex {

// Global display coordinates: points, origin at the top-left corner of the
// desktop (the primary display's top-left in the usual layouts), y down. On X11
// a display's top-left point equals its top-left pixel on the root window and
// its extent is its pixel extent divided by its pointPixelScale, as Qt maps
// screens.

// A display that can be recorded.
struct ShareableDisplay {
    DisplayID id = 0;            // stable while the display is connected (X11: the RandR output id)
    std::string name;            // the output name, as the desktop toolkit names the screen
    Rect frame;                  // global display coordinates, points
    double pointPixelScale = 1;  // pixels per point (the screen's device-pixel ratio)
    bool primary = false;
    bool operator==(const ShareableDisplay&) const = default;
};

// The stacking layer of ordinary application windows. Windows kept below
// them (the desktop) have a negative layer, windows kept above them (docks,
// panels, always-on-top windows) a positive one.
inline constexpr int kNormalWindowLayer = 0;

// An on-screen application window.
struct ShareableWindow {
    WindowID id = 0;
    std::uint32_t processID = 0;  // the owning process; 0 when the window does not say
    std::string title;            // empty when the window has none
    std::string applicationName;  // the application's class name; empty when unknown
    Rect frame;                   // global display coordinates, points
    int layer = kNormalWindowLayer;
    double alpha = 1;  // 0 (invisible) … 1 (opaque), as the window asks to be composited
    bool operator==(const ShareableWindow&) const = default;
};

// What can be recorded at one instant.
struct ShareableContent {
    std::vector<ShareableDisplay> displays;  // the primary display first
    std::vector<ShareableWindow> windows;    // on-screen windows, front to back

    const ShareableDisplay* display(DisplayID id) const;
    const ShareableWindow* window(WindowID id) const;
};

// The window system cannot be reached or does not offer what capture needs;
// what() is a one-line description for the user.
class ScreenCaptureError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Port: displays and windows of the desktop. Calls are independent snapshots;
// an implementation may be used from any one thread at a time.
class ShareableContentSource {
  public:
    virtual ~ShareableContentSource() = default;

    // Displays and on-screen windows. Throws ScreenCaptureError.
    virtual ShareableContent content() = 0;

    // The frame of any existing window, also one that is not on screen (global
    // display coordinates, points); nothing when there is no such window.
    // Throws ScreenCaptureError.
    virtual std::optional<Rect> windowFrame(WindowID id) = 0;
};

}  // namespace zarvex
