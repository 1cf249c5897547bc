#include "render/layers.h"

#include <cstring>

#include "render/pixel_ops.h"
#include "render/shapes.h"

namespace zarvex {

MaskLayer makeMask(const Rect& rect, double radius, const IntRect& clip) {
    const AlphaPlane plane =
        roundedRectCoverage(rect, radius, 1.0, IntRect::covering(rect).intersection(clip));
    MaskLayer mask;
    mask.extent = plane.extent;
    mask.coverage = coverageBytes(plane);
    mask.fullRuns.resize(std::size_t(mask.extent.height));
    for (int r = 0; r < mask.extent.height; ++r) {
        const std::uint8_t* row = mask.row(r);
        int first = 0;
        while (first < mask.extent.width && row[first] != 255) {
            ++first;
        }
        int last = first;
        while (last < mask.extent.width && row[last] == 255) {
            ++last;
        }
        mask.fullRuns[std::size_t(r)] = {first, last};
    }
    return mask;
}

ShadowLayer makeShadow(const Rect& rect, double radius, double opacity, double sigma,
                       const IntRect& clip) {
    // Shape pixels farther than the blur's reach from the clip cannot reach it.
    const int reach = blurReach(sigma);
    const AlphaPlane shape = roundedRectCoverage(rect, radius, opacity, clip.grownBy(reach));
    const AlphaPlane blurred = gaussianBlur(shape, sigma);
    ShadowLayer shadow;
    shadow.extent = blurred.extent.intersection(clip);
    if (shadow.extent.isEmpty()) {
        shadow.extent = {};
        return shadow;
    }
    AlphaPlane kept(shadow.extent);
    for (int y = shadow.extent.y; y < shadow.extent.maxY(); ++y) {
        const float* from =
            blurred.row(blurred.extent.maxY() - 1 - y) + (shadow.extent.x - blurred.extent.x);
        std::copy_n(from, shadow.extent.width, kept.row(shadow.extent.maxY() - 1 - y));
    }
    shadow.alpha = coverageBytes(kept);
    return shadow;
}

void drawShadow(const ShadowLayer& shadow, Image& target) {
    const IntRect& e = shadow.extent;
    for (int r = 0; r < e.height; ++r) {
        pixel::darken(shadow.row(r), target.mutablePixel(e.x, e.maxY() - 1 - r), e.width);
    }
}

void drawMasked(const Image& picture, const MaskLayer& mask, const Image& under, Image& target,
                bool pictureOpaque) {
    const IntRect& e = mask.extent;
    for (int r = 0; r < e.height; ++r) {
        const int y = e.maxY() - 1 - r;
        const std::uint8_t* src = picture.pixel(e.x, y);
        const std::uint8_t* base = under.pixel(e.x, y);
        std::uint8_t* dst = target.mutablePixel(e.x, y);
        const std::uint8_t* coverage = mask.row(r);
        const auto [first, last] = mask.fullRuns[std::size_t(r)];
        pixel::maskedOver(src, coverage, base, dst, first);
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
        pixel::maskedOver(src + tail, coverage + last, base + tail, dst + tail, e.width - last);
    }
}

}  // namespace zarvex
