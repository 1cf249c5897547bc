#include "editor/bubble_drag.h"

#include <algorithm>

#include "render/bubble.h"
#include "render/geometry.h"

namespace zarvex {

Rect fittedRect(Size canvas, const Rect& view) {
    if (!(canvas.width > 0 && canvas.height > 0) || view.isEmpty()) {
        return {};
    }
    const double scale = std::min(view.width / canvas.width, view.height / canvas.height);
    const double w = canvas.width * scale;
    const double h = canvas.height * scale;
    return {view.midX() - w / 2, view.midY() - h / 2, w, h};
}

Rect bubbleViewRect(const WebcamSpec& webcam, Size canvas, const Rect& video) {
    if (!(canvas.width > 0) || video.isEmpty()) {
        return {};
    }
    const double scale = video.width / canvas.width;
    const Rect bubble = bubbleRect(webcam, canvas);
    return {video.x + bubble.x * scale, video.maxY() - bubble.maxY() * scale, bubble.width * scale,
            bubble.height * scale};
}

double bubbleOutlineRadius(const WebcamSpec& webcam, double side) {
    return side * (webcam.shape == WebcamSpec::Shape::circle ? 0.5 : kBubbleRoundedCornerFraction);
}

std::optional<Point> draggedBubbleCentre(Point pointer, const Rect& video, Size canvas,
                                         double sizeFraction) {
    const double cw = canvas.width;
    const double ch = canvas.height;
    if (!(cw > 0) || !(video.width > 0) || !(video.height > 0)) {
        return std::nullopt;
    }
    const double rx = (ch * sizeFraction * 0.5) / cw;
    const double ry = sizeFraction * 0.5;
    const double fx = (pointer.x - video.minX()) / video.width;
    const double fy = (pointer.y - video.minY()) / video.height;
    return Point{std::min(1 - rx, std::max(fx, rx)), std::min(1 - ry, std::max(1 - fy, ry))};
}

bool BubbleDragThrottle::admit(double nowSeconds, bool final) {
    if (!final && last_ && nowSeconds - *last_ <= kBubbleDragInterval) {
        return false;
    }
    last_ = nowSeconds;
    return true;
}

}  // namespace zarvex
