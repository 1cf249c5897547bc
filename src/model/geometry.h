#pragma once

#include <algorithm>
#include <cmath>

namespace zarvex {

// Plain geometry values. Which way y points depends on the space a value lives
// in; the code using it says so.
struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
    Size size() const { return {width, height}; }
    bool isEmpty() const { return width <= 0 || height <= 0; }

    // Half-open containment: the minimum edges are inside, the maximum edges are not.
    bool contains(Point p) const { return p.x >= x && p.x < maxX() && p.y >= y && p.y < maxY(); }

    Rect insetBy(double dx, double dy) const {
        return {x + dx, y + dy, width - 2 * dx, height - 2 * dy};
    }
    Rect offsetBy(double dx, double dy) const { return {x + dx, y + dy, width, height}; }

    bool operator==(const Rect&) const = default;
};

// A rectangle of whole pixels; like Rect, which way y points depends on the
// space it lives in.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int maxX() const { return x + width; }
    int maxY() const { return y + height; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool contains(int px, int py) const { return px >= x && px < maxX() && py >= y && py < maxY(); }
    // The common part; an empty rectangle at the origin when there is none.
    PixelRect intersection(const PixelRect& other) const {
        const int left = std::max(x, other.x);
        const int bottom = std::max(y, other.y);
        const int right = std::min(maxX(), other.maxX());
        const int top = std::min(maxY(), other.maxY());
        if (right <= left || top <= bottom) {
            return {};
        }
        return {left, bottom, right - left, top - bottom};
    }
    bool intersects(const PixelRect& other) const { return !intersection(other).isEmpty(); }
    // The smallest rectangle holding both (an empty one adds nothing).
    PixelRect united(const PixelRect& other) const {
        if (isEmpty()) {
            return other;
        }
        if (other.isEmpty()) {
            return *this;
        }
        const int left = std::min(x, other.x);
        const int bottom = std::min(y, other.y);
        return {left, bottom, std::max(maxX(), other.maxX()) - left,
                std::max(maxY(), other.maxY()) - bottom};
    }
    PixelRect offsetBy(int dx, int dy) const { return {x + dx, y + dy, width, height}; }
    PixelRect grownBy(int d) const { return {x - d, y - d, width + 2 * d, height + 2 * d}; }
    Rect toRect() const { return {double(x), double(y), double(width), double(height)}; }

    // The smallest pixel rectangle containing `rect`; empty for non-finite or
    // empty input, and limited to a range that int arithmetic cannot overflow.
    static PixelRect covering(const Rect& rect) {
        static constexpr double kLimit = 1 << 28;
        if (!(rect.width > 0) || !(rect.height > 0) || !std::isfinite(rect.maxX()) ||
            !std::isfinite(rect.maxY())) {
            return {};
        }
        const auto bound = [](double v) { return std::clamp(v, -kLimit, kLimit); };
        const int x0 = static_cast<int>(std::floor(bound(rect.minX())));
        const int y0 = static_cast<int>(std::floor(bound(rect.minY())));
        const int x1 = static_cast<int>(std::ceil(bound(rect.maxX())));
        const int y1 = static_cast<int>(std::ceil(bound(rect.maxY())));
        return {x0, y0, x1 - x0, y1 - y0};
    }

    bool operator==(const PixelRect&) const = default;
};

// Each dimension truncated toward zero; below 3 it becomes 2, otherwise it is
// rounded down to even. Canvases, render sizes and capture sizes all pass
// through this, so every frame is at least 2 × 2 with even sides.
inline Size evenPixelSize(double width, double height) {
    auto even = [](double value) {
        // Negative, NaN and tiny values all end up as 2.
        if (!(value >= 3)) {
            return 2.0;
        }
        if (value >= 1073741824.0) {
            return 1073741824.0;
        }
        const auto n = static_cast<long long>(value);
        return static_cast<double>(n & ~1LL);
    };
    return {even(width), even(height)};
}

}  // namespace zarvex
