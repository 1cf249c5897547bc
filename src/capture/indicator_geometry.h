#pragma once

// Where the countdown badge, the recording frame and the camera preview go,
// and how they look, in global points (y down, as ShareableDisplay::frame).
// No toolkit here: the windows that show them only apply these numbers.

#include <functional>
#include <optional>

#include "capture/records.h"
#include "capture/shareable_content.h"
#include "model/geometry.h"

namespace zarvex {

// The countdown badge.
inline constexpr double kCountdownBadgeSize = 180;
inline constexpr double kCountdownBadgeRadius = 36;
inline constexpr double kCountdownBadgeAlpha = 0.55;  // black
inline constexpr double kCountdownDigitSize = 96;

// The display a countdown is shown on: the main (first) display for a window
// target, else the target's display, else the main one; null without displays.
const ShareableDisplay* countdownDisplay(const CaptureTarget& target,
                                         const std::vector<ShareableDisplay>& displays);

// A rectangle of `size` centred on `area`.
Rect centredIn(const Rect& area, Size size);

// The recording frame: a red outline 2.5 points wide at 0.85, drawn inside the
// frame window's edge (inset 1.25 to the line's middle). For a region or a
// window the window is grown 3 points on every side, so the line lies wholly
// outside the recorded rectangle; for a display it hugs the display's edges.
inline constexpr double kFrameLineWidth = 2.5;
inline constexpr double kFrameLineInset = 1.25;
inline constexpr double kFrameAlpha = 0.85;
inline constexpr double kFrameOutset = 3;
// How often the frame of a window target follows the window.
inline constexpr int kFrameFollowIntervalMs = 250;

using WindowFrameLookup = std::function<std::optional<Rect>(WindowID)>;

// The frame window's rectangle for a target; nothing when its display or
// window cannot be found.
std::optional<Rect> indicatorFrame(const CaptureTarget& target, const ShareableContent& content,
                                   const WindowFrameLookup& windowFrame);

// The path of the outline's middle inside a frame window of `size`.
Rect frameOutline(Size size);

// The camera preview: a 160-point circle 24 points in from the right and
// bottom edges of the usable area of the screen under the pointer.
inline constexpr double kCameraPreviewSize = 160;
inline constexpr double kCameraPreviewMargin = 24;
inline constexpr double kCameraPreviewBorder = 2;
inline constexpr double kCameraPreviewBorderAlpha = 0.9;  // white

Rect cameraPreviewFrame(const Rect& usableArea);

// A rectangle grown by `d` on every side.
inline Rect grownBy(const Rect& rect, double d) {
    return rect.insetBy(-d, -d);
}

}  // namespace zarvex
