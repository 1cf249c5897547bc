#pragma once

#include <string>
#include <vector>

#include "model/style.h"
#include "render/image.h"

namespace zarvex {

// Background raster for a canvas, built once per (background, canvas) and
// shared read-only by every frame. Its extent is canvasPixels(canvas).
//  - solid: the colour.
//  - gradient: gradientImage.
//  - image: the file decoded and scaled to fill the canvas, centred, cropped;
//    the dark grey (0.1, 0.1, 0.12) when it cannot be decoded.
Image makeBackground(const BackgroundStyle& background, Size canvas);

// Axial gradient over a W × H bitmap (canvasPixels(size)). Colours are spread
// evenly from the start point to the end point, which are the projections of
// two opposite corners on the direction `angleDegrees` (counter-clockwise from
// left→right, y up); the end colours extend beyond them. No colour gives a
// transparent image, one colour a uniform one.
Image gradientImage(const std::vector<std::string>& colors, double angleDegrees, Size size);

// The colour of the fallback behind an image background that cannot be decoded.
inline constexpr Color kMissingImageColor{0.1, 0.1, 0.12, 1};

}  // namespace zarvex
