#pragma once

#include <cstdint>
#include <vector>

#include "render/geometry.h"
#include "render/image.h"

// Prepared, picture-independent parts of a styled frame: coverage masks and
// blurred shadows, rasterised once and then only read.
namespace zarvex {

// Anti-aliased coverage of a rounded rectangle over whole pixels, kept only
// where it is partial: per row, the shape is convex, so the fully covered
// pixels are one run [first, last) with partial ones on either side.
struct MaskLayer {
    struct Row {
        int first = 0;
        int last = 0;
        std::size_t offset = 0;  // into `partial`: first bytes, then width − last
    };

    PixelRect extent;
    std::vector<Row> rows;  // from the top
    std::vector<std::uint8_t> partial;

    // Coverage 0...255 of canvas pixel (x, y); 0 outside the extent.
    std::uint8_t coverageAt(int x, int y) const;
};
// The mask of rect with `radius`, over rect's whole pixels within `clip`.
MaskLayer makeMask(const Rect& rect, double radius, const PixelRect& clip);

// Black at some opacity, blurred: the drop shadow of a rounded rectangle.
struct ShadowLayer {
    PixelRect extent;
    std::vector<std::uint8_t> alpha;  // rows from the top

    const std::uint8_t* row(int fromTop) const {
        return alpha.data() + std::size_t(fromTop) * extent.width;
    }
};

// The rounded rectangle in black at `opacity`, blurred with `sigma`, keeping
// only what falls inside `clip`.
ShadowLayer makeShadow(const Rect& rect, double radius, double opacity, double sigma,
                       const PixelRect& clip);

// target = shadow over target, inside `clip` only.
void drawShadow(const ShadowLayer& shadow, Image& target, const PixelRect& clip);

// target = (picture × mask) over under, inside the mask's extent (which must
// lie inside all three images). `picture` and `under` may be `target` itself.
// `pictureOpaque` promises every picture pixel has alpha 255 (decoded I420),
// which spares looking. Only pixels inside `clip` are drawn; each comes out
// the same as when drawing everything.
void drawMasked(const Image& picture, const MaskLayer& mask, const Image& under, Image& target,
                bool pictureOpaque, const PixelRect& clip);

}  // namespace zarvex
