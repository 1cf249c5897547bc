#include "render/zoom.h"

#include <cmath>

namespace zarvex {

SourceWindow zoomWindow(const ZoomView& view, int width, int height) {
    const double w = width / view.scale;
    const double h = height / view.scale;
    return {view.x * width - w / 2, view.y * height - h / 2, w, h};
}

std::optional<RippleRing> rippleInView(const RecordedClick& click, double now,
                                       const Rect& screenRect, const ZoomView& view) {
    std::optional<RippleRing> ring = rippleAt(click, now, screenRect);
    if (!ring || view.scale == 1) {
        return ring;
    }
    // Fractions of the screen from its top-left, as the clicks have them.
    const double fx = (click.x - (view.x - 0.5 / view.scale)) * view.scale;
    const double fy = (click.y - (view.y - 0.5 / view.scale)) * view.scale;
    if (!(fx >= 0 && fx <= 1 && fy >= 0 && fy <= 1)) {
        return std::nullopt;
    }
    ring->center = {screenRect.minX() + screenRect.width * fx,
                    screenRect.minY() + screenRect.height * (1 - fy)};
    ring->outerRadius *= view.scale;
    ring->innerRadius *= view.scale;
    return ring;
}

PixelRect reachOfChange(const PixelBox& box, const SourceWindow& window, const PixelRect& placed,
                        int reach) {
    const double kx = placed.width / window.width;
    const double ky = placed.height / window.height;
    const double left = (box.x - 1 - window.x) * kx;
    const double right = (box.x + box.width + 1 - window.x) * kx;
    const double top = (box.y - 1 - window.y) * ky;
    const double bottom = (box.y + box.height + 1 - window.y) * ky;
    // Canvas rows grow upwards from the placed picture's bottom.
    const Rect mapped{placed.x + left, placed.maxY() - bottom, right - left, bottom - top};
    return PixelRect::covering(mapped).grownBy(reach).intersection(placed.grownBy(reach));
}

}  // namespace zarvex
