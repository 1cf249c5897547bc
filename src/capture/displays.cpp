#include "capture/displays.h"

namespace zarvex {

double primaryDisplayHeight(const std::vector<DisplayInfo>& displays) {
    return displays.empty() ? 0.0 : displays.front().frame.height;
}

Rect flipRect(const Rect& rect, double primaryHeight) {
    return Rect{rect.x, primaryHeight - (rect.y + rect.height), rect.width, rect.height};
}

Point flipPoint(const Point& point, double primaryHeight) {
    return Point{point.x, primaryHeight - point.y};
}

std::optional<DisplayInfo> displayContaining(const Point& point,
                                             const std::vector<DisplayInfo>& displays,
                                             std::size_t mainIndex) {
    for (const auto& display : displays) {
        if (display.frame.contains(point)) {
            return display;
        }
    }
    if (mainIndex < displays.size()) {
        return displays[mainIndex];
    }
    return std::nullopt;
}

}  // namespace zarvex
