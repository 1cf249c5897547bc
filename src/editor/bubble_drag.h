#pragma once

#include <optional>

#include "model/geometry.h"
#include "model/style.h"

// The rules of the webcam bubble on the preview, without widgets. View
// coordinates are the preview's points with y growing downward.
namespace zarvex {

inline constexpr double kBubbleDragMinimumDistance = 10;  // points before a drag starts
inline constexpr double kBubbleDragInterval = 0.04;       // seconds between applied moves
inline constexpr double kBubbleOutlineWidth = 1.5;
inline constexpr double kBubbleOutlineHoverOpacity = 0.5;
inline constexpr double kBubbleOutlineDragOpacity = 0.9;
inline constexpr int kBubbleOutlineFadeMs = 150;

// `canvas` scaled to fit `view` with its aspect kept, centred; empty when
// either is empty.
Rect fittedRect(Size canvas, const Rect& view);

// The bubble's square in view coordinates: bubbleRect on the canvas (y up)
// scaled by video width ÷ canvas width and flipped into the video rectangle.
Rect bubbleViewRect(const WebcamSpec& webcam, Size canvas, const Rect& video);

// The bubble's outline: its corner radius for a side of `side` points.
double bubbleOutlineRadius(const WebcamSpec& webcam, double side);

// The custom centre (positionX, positionY) for the pointer at `pointer`:
// the pointer as fractions of the video rectangle, clamped so the whole
// bubble stays on the canvas, y measured from the bottom. Nothing when the
// canvas or the rectangle has no width.
std::optional<Point> draggedBubbleCentre(Point pointer, const Rect& video, Size canvas,
                                         double sizeFraction);

// Lets through at most one move per kBubbleDragInterval of the clock given;
// the final position of a drag always passes.
class BubbleDragThrottle {
  public:
    bool admit(double nowSeconds, bool final);
    void reset() { last_.reset(); }

  private:
    std::optional<double> last_;
};

}  // namespace zarvex
