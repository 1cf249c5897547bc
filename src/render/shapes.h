#pragma once

#include <vector>

#include "render/geometry.h"
#include "render/image.h"

// Anti-aliased shapes and the Gaussian blur, on coverage planes. Coverage is
// analytic: a pixel's value is its centre's signed distance to the shape's
// edge, shifted by half a pixel and clamped to 0...1 (exact along straight
// edges).
namespace zarvex {

// One float per whole pixel of `extent` (y up), rows from the top down.
struct AlphaPlane {
    IntRect extent;
    std::vector<float> values;

    explicit AlphaPlane(const IntRect& area = {});
    float* row(int fromTop) { return values.data() + std::size_t(fromTop) * extent.width; }
    const float* row(int fromTop) const {
        return values.data() + std::size_t(fromTop) * extent.width;
    }
    // Value of the pixel at canvas (x, y); 0 outside.
    float at(int x, int y) const;
};

// Signed distance from (px, py) to a rounded rectangle's outline (negative
// inside), for a rectangle centred at (cx, cy) with half sizes hw, hh and a
// corner radius already limited to 0 ≤ r ≤ min(hw, hh).
double roundedRectDistance(double px, double py, double cx, double cy, double hw, double hh,
                           double r);

// Coverage of the rounded rectangle times `alpha`, over rect's pixels grown by
// one, limited to `clip`. The radius is clamped to 0...half the shorter side.
AlphaPlane roundedRectCoverage(const Rect& rect, double radius, double alpha, const IntRect& clip);

// Gaussian blur with standard deviation `sigma` pixels. The result's extent is
// the input's grown by the kernel's reach, so the blur spreads beyond it. Small
// sigmas use a sampled Gaussian kernel, larger ones three box blurs (the
// standard approximation, within a few percent of the Gaussian); sigma ≤ 0
// returns the input unchanged. Sigmas above kMaxBlurSigma act as kMaxBlurSigma.
AlphaPlane gaussianBlur(const AlphaPlane& plane, double sigma);
inline constexpr double kMaxBlurSigma = 256;

// How far gaussianBlur spreads a plane, in whole pixels, for `sigma`.
int blurReach(double sigma);

// Coverage rounded to bytes, rows from the top.
std::vector<std::uint8_t> coverageBytes(const AlphaPlane& plane);

// The rounded-rectangle generator: `color` (unpremultiplied) over the
// anti-aliased rounded rectangle, transparent elsewhere; extent = the rect's
// pixels grown by one on every side.
Image roundedRectImage(const Rect& rect, double radius, const Color& color);

}  // namespace zarvex
