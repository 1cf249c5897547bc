#include "render/layers.h"

#include <cstring>

#include "media/pixel_ops.h"
#include "render/shapes.h"

namespace zarvex {

namespace {

std::uint8_t toByte(double coverage) {
    return static_cast<std::uint8_t>(coverage * 255 + 0.5);
}

}  // namespace

std::uint8_t MaskLayer::coverageAt(int x, int y) const {
    if (x < extent.x || x >= extent.maxX() || y < extent.y || y >= extent.maxY()) {
        return 0;
    }
    const Row& row = rows[std::size_t(extent.maxY() - 1 - y)];
    const int column = x - extent.x;
    if (column < row.first) {
        return partial[row.offset + std::size_t(column)];
    }
    if (column < row.last) {
        return 255;
    }
    return partial[row.offset + std::size_t(row.first + column - row.last)];
}

MaskLayer makeMask(const Rect& rect, double radius, const PixelRect& clip) {
    const RoundedRect shape(rect, radius);
    MaskLayer mask;
    mask.extent = PixelRect::covering(rect).intersection(clip);
    if (mask.extent.isEmpty()) {
        mask.extent = {};
        return mask;
    }
    const PixelRect& e = mask.extent;
    mask.rows.resize(std::size_t(e.height));
    std::vector<std::uint8_t> right;
    for (int r = 0; r < e.height; ++r) {
        const double py = e.maxY() - r - 0.5;
        const auto at = [&](int column) { return toByte(shape.coverage(e.x + column + 0.5, py)); };
        MaskLayer::Row& row = mask.rows[std::size_t(r)];
        row.offset = mask.partial.size();
        // Walk in from both sides until full coverage.
        for (std::uint8_t c = 0; row.first < e.width && (c = at(row.first)) != 255; ++row.first) {
            mask.partial.push_back(c);
        }
        row.last = e.width;
        right.clear();
        for (std::uint8_t c = 0; row.last > row.first && (c = at(row.last - 1)) != 255;
             --row.last) {
            right.push_back(c);
        }
        mask.partial.insert(mask.partial.end(), right.rbegin(), right.rend());
    }
    return mask;
}

ShadowLayer makeShadow(const Rect& rect, double radius, double opacity, double sigma,
                       const PixelRect& clip) {
    ShadowLayer shadow;
    shadow.extent = PixelRect::covering(rect).grownBy(1 + blurReach(sigma)).intersection(clip);
    if (shadow.extent.isEmpty() || !(opacity > 0)) {
        shadow.extent = {};
        return shadow;
    }
    shadow.alpha = coverageBytes(blurredRoundedRect(rect, radius, opacity, sigma, shadow.extent));
    return shadow;
}

void drawShadow(const ShadowLayer& shadow, Image& target, const PixelRect& clip) {
    const PixelRect& e = shadow.extent;
    const PixelRect area = e.intersection(clip);
    for (int y = area.y; y < area.maxY(); ++y) {
        pixel::darken(shadow.row(e.maxY() - 1 - y) + (area.x - e.x), target.mutablePixel(area.x, y),
                      area.width);
    }
}

void drawMasked(const Image& picture, const MaskLayer& mask, const Image& under, Image& target,
                bool pictureOpaque, const PixelRect& clip) {
    const PixelRect& e = mask.extent;
    const PixelRect area = e.intersection(clip);
    // Columns of the mask's rows, counted from its left edge.
    const int c0 = area.x - e.x;
    const int c1 = area.maxX() - e.x;
    for (int y = area.y; y < area.maxY(); ++y) {
        // Pointers to column `a` of this row; only columns inside `area` are
        // touched, so `picture` need only cover that.
        const auto src = [&](int a) { return picture.pixel(e.x + a, y); };
        const auto base = [&](int a) { return under.pixel(e.x + a, y); };
        const auto dst = [&](int a) { return target.mutablePixel(e.x + a, y); };
        const MaskLayer::Row& row = mask.rows[std::size_t(e.maxY() - 1 - y)];
        const int first = row.first;
        const int last = row.last;
        const std::uint8_t* partial = mask.partial.data() + row.offset;
        // Partly covered on the left: [0, first).
        if (const int a = c0, b = std::min(first, c1); a < b) {
            pixel::maskedOver(src(a), partial + a, base(a), dst(a), b - a);
        }
        // Fully covered: the picture itself, over what is under it only where
        // it is not opaque.
        if (const int a = std::max(first, c0), b = std::min(last, c1); a < b) {
            if (pictureOpaque || pixel::allOpaque(src(a), b - a)) {
                if (src(a) != dst(a)) {
                    std::memcpy(dst(a), src(a), 4 * std::size_t(b - a));
                }
            } else {
                pixel::overInto(src(a), base(a), dst(a), b - a);
            }
        }
        // Partly covered on the right: [last, width).
        if (const int a = std::max(last, c0), b = c1; a < b) {
            pixel::maskedOver(src(a), partial + first + (a - last), base(a), dst(a), b - a);
        }
    }
}

}  // namespace zarvex
