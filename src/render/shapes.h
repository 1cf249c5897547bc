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
    PixelRect extent;
    std::vector<float> values;

    explicit AlphaPlane(const PixelRect& area = {});
    float* row(int fromTop) { return values.data() + std::size_t(fromTop) * extent.width; }
    const float* row(int fromTop) const {
        return values.data() + std::size_t(fromTop) * extent.width;
    }
    // Value of the pixel at canvas (x, y); 0 outside.
    float at(int x, int y) const;
};

// A rounded rectangle whose radius is clamped to 0...half its shorter side
// (a non-finite radius counts as 0).
class RoundedRect {
  public:
    RoundedRect(const Rect& rect, double radius);

    const Rect& rect() const { return rect_; }
    double radius() const { return radius_; }
    // Coverage of the pixel whose centre is (px, py): 0...1.
    double coverage(double px, double py) const;

  private:
    Rect rect_;
    double radius_;
    double cx_, cy_, hw_, hh_;
};

// Coverage of the rounded rectangle times `alpha`, over rect's pixels grown by
// one, limited to `clip`. The radius is clamped to 0...half the shorter side.
AlphaPlane roundedRectCoverage(const Rect& rect, double radius, double alpha,
                               const PixelRect& clip);

// Gaussian blur with standard deviation `sigma` pixels. The result's extent is
// the input's grown by the kernel's reach, so the blur spreads beyond it. Small
// sigmas use a sampled Gaussian kernel, larger ones three box blurs (the
// standard approximation, within a few percent of the Gaussian); sigma ≤ 0
// returns the input unchanged. Sigmas above kMaxBlurSigma act as kMaxBlurSigma.
AlphaPlane gaussianBlur(const AlphaPlane& plane, double sigma);
inline constexpr double kMaxBlurSigma = 256;

// How far gaussianBlur spreads a plane, in whole pixels, for `sigma`.
int blurReach(double sigma);

// The blur of the interval [lo, hi] on a line of pixels: the values of pixels
// [first, first + count), each the blurred share of its cell that the interval
// covers. Blurring a rectangle is the product of two of these.
std::vector<float> blurredSpan(double lo, double hi, int first, int count, double sigma);

// gaussianBlur(roundedRectCoverage(rect, radius, alpha, ...), sigma) over the
// pixels of `area` only, computed from the rectangle's two blurred spans less
// its blurred corner cut-outs (blurring is linear), so it costs little more
// than writing the result. Rows from the top of `area`.
AlphaPlane blurredRoundedRect(const Rect& rect, double radius, double alpha, double sigma,
                              const PixelRect& area);

// Coverage rounded to bytes, rows from the top.
std::vector<std::uint8_t> coverageBytes(const AlphaPlane& plane);

// The rounded-rectangle generator: `color` (unpremultiplied) over the
// anti-aliased rounded rectangle, transparent elsewhere; extent = the rect's
// pixels grown by one on every side.
Image roundedRectImage(const Rect& rect, double radius, const Color& color);

}  // namespace zarvex
