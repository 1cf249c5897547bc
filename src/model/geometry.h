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

}  // namespace zarvex
