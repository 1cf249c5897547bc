#pragma once

#include <algorithm>

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
