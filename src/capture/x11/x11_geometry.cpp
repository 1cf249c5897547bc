#include "capture/x11/x11_geometry.h"

#include <cmath>

namespace zarvex::x11 {

PixelRect united(const PixelRect& a, const PixelRect& b) {
    if (a.isEmpty()) {
        return b;
    }
    if (b.isEmpty()) {
        return a;
    }
    const int left = std::min(a.x, b.x);
    const int top = std::min(a.y, b.y);
    return {left, top, std::max(a.maxX(), b.maxX()) - left, std::max(a.maxY(), b.maxY()) - top};
}

Rect MonitorGeometry::pointFrame() const {
    return Rect{double(pixels.x), double(pixels.y), pixels.width / scale, pixels.height / scale};
}

const MonitorGeometry* monitorAtPixel(const std::vector<MonitorGeometry>& monitors, double x,
                                      double y) {
    for (const auto& monitor : monitors) {
        const auto& p = monitor.pixels;
        if (x >= p.x && x < p.maxX() && y >= p.y && y < p.maxY()) {
            return &monitor;
        }
    }
    return monitors.empty() ? nullptr : &monitors.front();
}

const MonitorGeometry* monitorAtPoint(const std::vector<MonitorGeometry>& monitors,
                                      const Point& point) {
    for (const auto& monitor : monitors) {
        if (monitor.pointFrame().contains(point)) {
            return &monitor;
        }
    }
    return monitors.empty() ? nullptr : &monitors.front();
}

Point pointFromPixel(const std::vector<MonitorGeometry>& monitors, const Point& pixel) {
    const MonitorGeometry* monitor = monitorAtPixel(monitors, pixel.x, pixel.y);
    if (monitor == nullptr) {
        return pixel;
    }
    const double originX = monitor->pixels.x;
    const double originY = monitor->pixels.y;
    return Point{originX + (pixel.x - originX) / monitor->scale,
                 originY + (pixel.y - originY) / monitor->scale};
}

Rect pointRectFromPixels(const std::vector<MonitorGeometry>& monitors, const PixelRect& pixels) {
    const MonitorGeometry* monitor = monitorAtPixel(monitors, pixels.x, pixels.y);
    const double scale = monitor == nullptr ? 1.0 : monitor->scale;
    const Point origin = pointFromPixel(monitors, Point{double(pixels.x), double(pixels.y)});
    return Rect{origin.x, origin.y, pixels.width / scale, pixels.height / scale};
}

PixelRect sourcePixels(const MonitorGeometry& monitor, const Rect& localPoints, int width,
                       int height) {
    return PixelRect{
        monitor.pixels.x + static_cast<int>(std::lround(localPoints.x * monitor.scale)),
        monitor.pixels.y + static_cast<int>(std::lround(localPoints.y * monitor.scale)), width,
        height};
}

}  // namespace zarvex::x11
