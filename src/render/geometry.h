#pragma once

#include <optional>

#include "model/geometry.h"
#include "model/project.h"
#include "model/style.h"

// Layout rules of a styled frame. Everything here is in canvas pixels with the
// origin at the canvas's bottom-left corner and y pointing up; the flip to
// memory rows (top to bottom) happens only where pixels are touched.
namespace zarvex {

// Output size for an aspect preset: the smallest rectangle of the preset's
// ratio containing the screen, passed through evenPixelSize.
Size canvasSize(AspectPreset aspect, Size screenSize);

// The webcam bubble's square: custom centre when both position fractions are
// present (kept inside the canvas), otherwise the corner with its margin.
Rect bubbleRect(const WebcamSpec& webcam, Size canvas);

// Where the screen video goes on the canvas.
struct ScreenLayout {
    Rect contentRect;         // the canvas inset by the padding
    Rect screenRect;          // the fitted video, centred in contentRect
    double scale = 0;         // screen pixels → canvas pixels
    double cornerRadius = 0;  // capped at half the shorter side of screenRect
};

// Nothing when the screen cannot be placed (empty or non-finite sizes, or a
// padding that leaves no content area).
std::optional<ScreenLayout> layoutScreen(const StyleSettings& style, Size canvas, Size screenSize);

// One expanding click ring at a given time.
struct RippleRing {
    Point center;
    double outerRadius = 0;
    double innerRadius = 0;  // never negative
    double opacity = 0;
};

inline constexpr double kRippleSeconds = 0.45;

// The ring a click draws at `now`, or nothing outside the 0 ≤ now − t ≤ 0.45 s
// window. Click positions are fractions of the screen with y growing downwards.
std::optional<RippleRing> rippleAt(const RecordedClick& click, double now, const Rect& screenRect);

// Sides beyond this are not rendered: no frame that large can be allocated.
inline constexpr int kMaxCanvasSide = 1 << 15;

// The whole pixels of a canvas, (0, 0, W, H) with each side truncated; empty
// when a side is below 1 or above kMaxCanvasSide.
PixelRect canvasPixels(Size canvas);

}  // namespace zarvex
