#pragma once

// Pixel rectangles on the X root window and their mapping to points. No XCB
// here, so the rules are tested without a server.

#include <algorithm>
#include <string>
#include <vector>

#include "capture/records.h"
#include "model/geometry.h"

namespace zarvex::x11 {

// The smallest rectangle holding both (an empty one counts as nothing).
PixelRect united(const PixelRect& a, const PixelRect& b);

// A display as the X server lays it out on the root window.
struct MonitorGeometry {
    DisplayID id = 0;
    std::string name;
    PixelRect pixels;  // root-window pixels
    double scale = 1;  // pixels per point
    bool primary = false;

    // A display keeps its top-left corner where its pixels start; inside it,
    // distances in points are distances in pixels divided by its scale.
    Rect pointFrame() const;
};

// The monitor holding the pixel (or point), else the first one; null without
// monitors. Monitors are listed primary first.
const MonitorGeometry* monitorAtPixel(const std::vector<MonitorGeometry>& monitors, double x,
                                      double y);
const MonitorGeometry* monitorAtPoint(const std::vector<MonitorGeometry>& monitors,
                                      const Point& point);

// Root pixels ↔ global points, through the monitor holding the position (the
// rectangle's top-left corner). Without monitors both are the identity.
Point pointFromPixel(const std::vector<MonitorGeometry>& monitors, const Point& pixel);
Rect pointRectFromPixels(const std::vector<MonitorGeometry>& monitors, const PixelRect& pixels);

// The root pixels of a display-local source rectangle in points (whole
// numbers, y down): its top-left corner mapped with the display's scale; its
// size is the stream's frame size.
PixelRect sourcePixels(const MonitorGeometry& monitor, const Rect& localPoints, int width,
                       int height);

}  // namespace zarvex::x11
