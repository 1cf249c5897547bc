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

void drawShadow(const ShadowLayer& shadow, Image& target) {
    const PixelRect& e = shadow.extent;
    for (int r = 0; r < e.height; ++r) {
        pixel::darken(shadow.row(r), target.mutablePixel(e.x, e.maxY() - 1 - r), e.width);
    }
}

void drawMasked(const Image& picture, const MaskLayer& mask, const Image& under, Image& target,
                bool pictureOpaque) {
    const PixelRect& e = mask.extent;
    for (int r = 0; r < e.height; ++r) {
        const int y = e.maxY() - 1 - r;
        const std::uint8_t* src = picture.pixel(e.x, y);
        const std::uint8_t* base = under.pixel(e.x, y);
        std::uint8_t* dst = target.mutablePixel(e.x, y);
        const MaskLayer::Row& row = mask.rows[std::size_t(r)];
        const int first = row.first;
        const int last = row.last;
        const std::uint8_t* partial = mask.partial.data() + row.offset;
        pixel::maskedOver(src, partial, base, dst, first);
        // Fully covered: the picture itself, over what is under it only where
        // it is not opaque.
        const int run = last - first;
        const std::size_t at = 4 * std::size_t(first);
        if (pictureOpaque || pixel::allOpaque(src + at, run)) {
            if (src != dst) {
                std::memcpy(dst + at, src + at, 4 * std::size_t(run));
            }
        } else {
            pixel::overInto(src + at, base + at, dst + at, run);
        }
        const std::size_t tail = 4 * std::size_t(last);
        pixel::maskedOver(src + tail, partial + first, base + tail, dst + tail, e.width - last);
    }
}

}  // namespace zarvex
