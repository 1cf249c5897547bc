#include "render/shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zarvex {
namespace {

// Window [i − lo, i + hi] averaged along a line; values beyond the ends are 0.
struct BoxPass {
    int lo;
    int hi;
    int size() const { return lo + hi + 1; }
};

// The three boxes whose succession approximates a Gaussian of `sigma` (the
// SVG filter effects recipe: width d = ⌊σ·3·√(2π)/4 + 0.5⌋; for even d two
// off-centre boxes and one of d + 1).
std::vector<BoxPass> boxPasses(double sigma) {
    const int d =
        static_cast<int>(std::floor(sigma * 3 * std::sqrt(2 * std::numbers::pi) / 4 + 0.5));
    if (d % 2 == 1) {
        const int h = (d - 1) / 2;
        return {{h, h}, {h, h}, {h, h}};
    }
    return {{d / 2, d / 2 - 1}, {d / 2 - 1, d / 2}, {d / 2, d / 2}};
}

// Below this the boxes get too coarse and a sampled kernel is both exact and cheap.
constexpr double kBoxSigma = 2.0;

std::vector<float> gaussianKernel(double sigma) {
    const int radius = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> kernel(2 * std::size_t(radius) + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        const double w = std::exp(-(i * i) / (2 * sigma * sigma));
        kernel[std::size_t(i + radius)] = static_cast<float>(w);
        sum += w;
    }
    for (float& w : kernel) {
        w = static_cast<float>(w / sum);
    }
    return kernel;
}

void boxLine(const float* in, float* out, int n, BoxPass box) {
    const float scale = 1.0f / static_cast<float>(box.size());
    double acc = 0;
    for (int k = 0; k <= std::min(box.hi, n - 1); ++k) {
        acc += in[k];
    }
    for (int i = 0; i < n; ++i) {
        out[i] = static_cast<float>(acc) * scale;
        if (i + box.hi + 1 < n) {
            acc += in[i + box.hi + 1];
        }
        if (i - box.lo >= 0) {
            acc -= in[i - box.lo];
        }
    }
}

// Vertical box over whole rows: the running sums are kept per column so the
// plane is read row after row.
void boxColumns(const AlphaPlane& in, AlphaPlane& out, BoxPass box, std::vector<double>& acc) {
    const int w = in.extent.width;
    const int h = in.extent.height;
    const float scale = 1.0f / static_cast<float>(box.size());
    std::fill(acc.begin(), acc.end(), 0.0);
    for (int k = 0; k <= std::min(box.hi, h - 1); ++k) {
        const float* r = in.row(k);
        for (int x = 0; x < w; ++x) {
            acc[x] += r[x];
        }
    }
    for (int y = 0; y < h; ++y) {
        float* o = out.row(y);
        for (int x = 0; x < w; ++x) {
            o[x] = static_cast<float>(acc[x]) * scale;
        }
        if (y + box.hi + 1 < h) {
            const float* add = in.row(y + box.hi + 1);
            for (int x = 0; x < w; ++x) {
                acc[x] += add[x];
            }
        }
        if (y - box.lo >= 0) {
            const float* sub = in.row(y - box.lo);
            for (int x = 0; x < w; ++x) {
                acc[x] -= sub[x];
            }
        }
    }
}

void kernelLine(const float* in, float* out, int n, const std::vector<float>& kernel) {
    const int radius = static_cast<int>(kernel.size() / 2);
    for (int i = 0; i < n; ++i) {
        float sum = 0;
        const int k0 = std::max(-radius, -i);
        const int k1 = std::min(radius, n - 1 - i);
        for (int k = k0; k <= k1; ++k) {
            sum += kernel[std::size_t(k + radius)] * in[i + k];
        }
        out[i] = sum;
    }
}

void kernelColumns(const AlphaPlane& in, AlphaPlane& out, const std::vector<float>& kernel) {
    const int radius = static_cast<int>(kernel.size() / 2);
    const int w = in.extent.width;
    const int h = in.extent.height;
    for (int y = 0; y < h; ++y) {
        float* o = out.row(y);
        std::fill(o, o + w, 0.0f);
        for (int k = std::max(-radius, -y); k <= std::min(radius, h - 1 - y); ++k) {
            const float weight = kernel[std::size_t(k + radius)];
            const float* r = in.row(y + k);
            for (int x = 0; x < w; ++x) {
                o[x] += weight * r[x];
            }
        }
    }
}

}  // namespace

AlphaPlane::AlphaPlane(const IntRect& area)
    : extent(area.isEmpty() ? IntRect{} : area),
      values(std::size_t(extent.width) * std::size_t(extent.height), 0.0f) {}

float AlphaPlane::at(int x, int y) const {
    if (x < extent.x || x >= extent.maxX() || y < extent.y || y >= extent.maxY()) {
        return 0;
    }
    return row(extent.maxY() - 1 - y)[x - extent.x];
}

double roundedRectDistance(double px, double py, double cx, double cy, double hw, double hh,
                           double r) {
    const double qx = std::abs(px - cx) - (hw - r);
    const double qy = std::abs(py - cy) - (hh - r);
    const double ox = std::max(qx, 0.0);
    const double oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

AlphaPlane roundedRectCoverage(const Rect& rect, double radius, double alpha, const IntRect& clip) {
    const IntRect pixels = IntRect::covering(rect);
    AlphaPlane plane(pixels.isEmpty() ? IntRect{} : pixels.grownBy(1).intersection(clip));
    if (plane.extent.isEmpty() || !(alpha > 0)) {
        return plane;
    }
    const double hw = rect.width / 2;
    const double hh = rect.height / 2;
    const double r = std::clamp(std::isfinite(radius) ? radius : 0.0, 0.0, std::min(hw, hh));
    const double cx = rect.midX();
    const double cy = rect.midY();
    const auto a = static_cast<float>(std::min(alpha, 1.0));
    const IntRect& e = plane.extent;
    // Columns whose centres are more than r + 1 inside both side edges see only
    // the top and bottom edges, so their coverage is one value per row.
    const int innerBegin =
        std::clamp(static_cast<int>(std::ceil(rect.minX() + r + 1)) - e.x, 0, e.width);
    const int innerEnd =
        std::clamp(static_cast<int>(std::floor(rect.maxX() - r - 1)) - e.x, innerBegin, e.width);
    for (int row = 0; row < e.height; ++row) {
        float* out = plane.row(row);
        const double py = e.maxY() - row - 0.5;
        const auto coverage = [&](int column) {
            const double d = roundedRectDistance(e.x + column + 0.5, py, cx, cy, hw, hh, r);
            return static_cast<float>(std::clamp(0.5 - d, 0.0, 1.0)) * a;
        };
        for (int column = 0; column < innerBegin; ++column) {
            out[column] = coverage(column);
        }
        const float middle =
            static_cast<float>(std::clamp(0.5 + hh - std::abs(py - cy), 0.0, 1.0)) * a;
        std::fill(out + innerBegin, out + innerEnd, middle);
        for (int column = innerEnd; column < e.width; ++column) {
            out[column] = coverage(column);
        }
    }
    return plane;
}

int blurReach(double sigma) {
    if (!(sigma > 0)) {
        return 0;
    }
    sigma = std::min(sigma, kMaxBlurSigma);
    if (sigma < kBoxSigma) {
        return static_cast<int>(std::ceil(3 * sigma));
    }
    int reach = 0;
    for (const BoxPass& box : boxPasses(sigma)) {
        reach += std::max(box.lo, box.hi);
    }
    return reach;
}

AlphaPlane gaussianBlur(const AlphaPlane& plane, double sigma) {
    if (!(sigma > 0) || plane.extent.isEmpty()) {
        return plane;
    }
    sigma = std::min(sigma, kMaxBlurSigma);
    const int reach = blurReach(sigma);
    AlphaPlane a(plane.extent.grownBy(reach));
    AlphaPlane b(a.extent);
    for (int y = 0; y < plane.extent.height; ++y) {
        std::copy_n(plane.row(y), plane.extent.width, a.row(y + reach) + reach);
    }
    const int w = a.extent.width;
    const int h = a.extent.height;
    if (sigma < kBoxSigma) {
        const std::vector<float> kernel = gaussianKernel(sigma);
        for (int y = 0; y < h; ++y) {
            kernelLine(a.row(y), b.row(y), w, kernel);
        }
        kernelColumns(b, a, kernel);
        return a;
    }
    const std::vector<BoxPass> passes = boxPasses(sigma);
    for (int y = 0; y < h; ++y) {
        // Three passes ping-pong between the row of `a` and the row of `b`.
        boxLine(a.row(y), b.row(y), w, passes[0]);
        boxLine(b.row(y), a.row(y), w, passes[1]);
        boxLine(a.row(y), b.row(y), w, passes[2]);
    }
    std::vector<double> acc(std::size_t(w), 0.0);
    boxColumns(b, a, passes[0], acc);
    boxColumns(a, b, passes[1], acc);
    boxColumns(b, a, passes[2], acc);
    return a;
}

std::vector<std::uint8_t> coverageBytes(const AlphaPlane& plane) {
    std::vector<std::uint8_t> bytes(plane.values.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(std::clamp(plane.values[i], 0.0f, 1.0f) * 255 + 0.5f);
    }
    return bytes;
}

Image roundedRectImage(const Rect& rect, double radius, const Color& color) {
    // The generator takes its radius as a 32-bit float.
    const auto radius32 = static_cast<float>(radius);
    const AlphaPlane coverage =
        roundedRectCoverage(rect, radius32, 1.0, IntRect::covering(rect).grownBy(1));
    Image image(coverage.extent);
    const Bgra c = premultiplied(color);
    for (int y = 0; y < image.height(); ++y) {
        const float* in = coverage.row(y);
        std::uint8_t* out = image.mutableRow(y);
        for (int x = 0; x < image.width(); ++x) {
            const float m = in[x];
            out[4 * x] = static_cast<std::uint8_t>(c.b * m + 0.5f);
            out[4 * x + 1] = static_cast<std::uint8_t>(c.g * m + 0.5f);
            out[4 * x + 2] = static_cast<std::uint8_t>(c.r * m + 0.5f);
            out[4 * x + 3] = static_cast<std::uint8_t>(c.a * m + 0.5f);
        }
    }
    return image;
}

}  // namespace zarvex
