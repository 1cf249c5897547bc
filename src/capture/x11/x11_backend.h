#pragma once

// The X11 backends of the capture ports. This header carries no XCB types:
// the application and the command line wire these to the ports.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "capture/clock.h"
#include "capture/input_monitor.h"
#include "capture/screen_capture.h"
#include "capture/shareable_content.h"

namespace zarvex {

struct X11Options {
    // The X display to use; nothing → $DISPLAY.
    std::optional<std::string> displayName;
    // Pixels per point of the display with this RandR output name (the desktop
    // toolkit's device-pixel ratio of that screen); nothing → 1 everywhere.
    std::function<double(const std::string& outputName)> scaleForOutput;
    // Stamps frames and presses and paces streams.
    const Clock* clock = &systemClock();
};

// Each throws ScreenCaptureError when the display cannot be opened. The
// shareable-content source keeps one connection; streams and input monitors
// open their own, so each runs on its own thread without sharing.
std::unique_ptr<ShareableContentSource> makeX11ShareableContent(const X11Options& options = {});
std::unique_ptr<ScreenCaptureService> makeX11ScreenCapture(const X11Options& options = {});
std::unique_ptr<InputMonitor> makeX11InputMonitor(const X11Options& options = {});

}  // namespace zarvex
