#pragma once

#include <cstdint>
#include <vector>

#include "render/geometry.h"
#include "render/image.h"

// Prepared, picture-independent parts of a styled frame: coverage masks and
// blurred shadows, rasterised once and then only read.
namespace zarvex {

// Anti-aliased coverage of a rounded rectangle over whole pixels.
struct MaskLayer {
    IntRect extent;
    std::vector<std::uint8_t> coverage;  // extent.width per row, rows from the top
    // Per row, the columns [first, second) (relative to extent.x) that are
    // fully covered; the shape is convex so they are one run.
    std::vector<std::pair<int, int>> fullRuns;

    const std::uint8_t* row(int fromTop) const {
        return coverage.data() + std::size_t(fromTop) * extent.width;
    }
};

// The mask of rect with `radius`, over rect's whole pixels within `clip`.
MaskLayer makeMask(const Rect& rect, double radius, const IntRect& clip);

// Black at some opacity, blurred: the drop shadow of a rounded rectangle.
struct ShadowLayer {
    IntRect extent;
    std::vector<std::uint8_t> alpha;  // rows from the top

    const std::uint8_t* row(int fromTop) const {
        return alpha.data() + std::size_t(fromTop) * extent.width;
    }
};

// The rounded rectangle in black at `opacity`, blurred with `sigma`, keeping
// only what falls inside `clip`.
ShadowLayer makeShadow(const Rect& rect, double radius, double opacity, double sigma,
                       const IntRect& clip);

// target = shadow over target.
void drawShadow(const ShadowLayer& shadow, Image& target);

// target = (picture × mask) over under, inside the mask's extent (which must
// lie inside all three images). `picture` and `under` may be `target` itself.
// `pictureOpaque` promises every picture pixel has alpha 255 (decoded I420),
// which spares looking.
void drawMasked(const Image& picture, const MaskLayer& mask, const Image& under, Image& target,
                bool pictureOpaque);

}  // namespace zarvex
