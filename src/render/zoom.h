#pragma once

#include <optional>

#include "model/geometry.h"
#include "model/zoom.h"
#include "render/geometry.h"
#include "render/scaler.h"

// How a zoom view magnifies the placed screen. The screen keeps its rectangle
// on the canvas (frame, shadow, padding and bubble stay where they are); only
// the picture inside it is a magnified part of the source.
namespace zarvex {

// The part of a width × height screen frame that `view` shows: 1/scale of
// each side around the view's centre.
SourceWindow zoomWindow(const ZoomView& view, int width, int height);

// A click's ring as the magnified picture shows it: its centre moves with the
// picture and the ring grows by the scale. Nothing outside rippleAt's window,
// or when the centre lies outside the part shown.
std::optional<RippleRing> rippleInView(const RecordedClick& click, double now,
                                       const Rect& screenRect, const ZoomView& view);

// The canvas pixels that a change of source pixels `box` (from the top-left)
// can reach when `window` is scaled onto `placed`: the box mapped through the
// magnification, one source pixel of filter reach around it and `reach` canvas
// pixels more.
PixelRect reachOfChange(const PixelBox& box, const SourceWindow& window, const PixelRect& placed,
                        int reach);

}  // namespace zarvex
