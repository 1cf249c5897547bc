#pragma once

#include <optional>
#include <string>
#include <vector>

#include "capture/records.h"
#include "model/geometry.h"

namespace zarvex {

// One display as the desktop describes it. `frame` is in desktop coordinates
// (origin at the bottom-left of the primary display, y up), in points.
struct DisplayInfo {
    DisplayID id = 0;
    Rect frame;
    double scale = 1;  // pixels per point
    std::string name;
    bool operator==(const DisplayInfo&) const = default;
};

// Desktop (y up, bottom-left origin) ↔ window-server (y down, top-left origin)
// coordinates. The same formula serves both directions: y' = H − (y + height),
// H being the height of the first display's frame (0 without displays).
double primaryDisplayHeight(const std::vector<DisplayInfo>& displays);
Rect flipRect(const Rect& rect, double primaryHeight);
Point flipPoint(const Point& point, double primaryHeight);

// The first display whose frame contains the point (desktop coordinates),
// else the main display; nothing when there are no displays.
std::optional<DisplayInfo> displayContaining(const Point& point,
                                             const std::vector<DisplayInfo>& displays,
                                             std::size_t mainIndex = 0);

}  // namespace zarvex
