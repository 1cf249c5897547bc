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

AlphaPlane::AlphaPlane(const PixelRect& area)
    : extent(area.isEmpty() ? PixelRect{} : area),
      values(std::size_t(extent.width) * std::size_t(extent.height), 0.0f) {}

float AlphaPlane::at(int x, int y) const {
    if (x < extent.x || x >= extent.maxX() || y < extent.y || y >= extent.maxY()) {
        return 0;
    }
    return row(extent.maxY() - 1 - y)[x - extent.x];
}

RoundedRect::RoundedRect(const Rect& rect, double radius)
    : rect_(rect),
      radius_(std::clamp(std::isfinite(radius) ? radius : 0.0, 0.0,
                         std::max(0.0, std::min(rect.width, rect.height) / 2))),
      cx_(rect.midX()),
      cy_(rect.midY()),
      hw_(rect.width / 2),
      hh_(rect.height / 2) {}

double RoundedRect::coverage(double px, double py) const {
    // Signed distance to the outline (negative inside), shifted by half a pixel.
    const double qx = std::abs(px - cx_) - (hw_ - radius_);
    const double qy = std::abs(py - cy_) - (hh_ - radius_);
    const double ox = std::max(qx, 0.0);
    const double oy = std::max(qy, 0.0);
    const double d = std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius_;
    return std::clamp(0.5 - d, 0.0, 1.0);
}

AlphaPlane roundedRectCoverage(const Rect& rect, double radius, double alpha,
                               const PixelRect& clip) {
    const PixelRect pixels = PixelRect::covering(rect);
    AlphaPlane plane(pixels.isEmpty() ? PixelRect{} : pixels.grownBy(1).intersection(clip));
    if (plane.extent.isEmpty() || !(alpha > 0)) {
        return plane;
    }
    const RoundedRect shape(rect, radius);
    const double r = shape.radius();
    const auto a = static_cast<float>(std::min(alpha, 1.0));
    const PixelRect& e = plane.extent;
    // Columns whose centres are more than r + 1 inside both side edges see only
    // the top and bottom edges, so their coverage is one value per row.
    const int innerBegin =
        std::clamp(static_cast<int>(std::ceil(rect.minX() + r + 1)) - e.x, 0, e.width);
    const int innerEnd =
        std::clamp(static_cast<int>(std::floor(rect.maxX() - r - 1)) - e.x, innerBegin, e.width);
    for (int row = 0; row < e.height; ++row) {
        float* out = plane.row(row);
        const double py = e.maxY() - row - 0.5;
        for (int column = 0; column < innerBegin; ++column) {
            out[column] = static_cast<float>(shape.coverage(e.x + column + 0.5, py)) * a;
        }
        const float middle = static_cast<float>(std::clamp(
                                 0.5 + rect.height / 2 - std::abs(py - rect.midY()), 0.0, 1.0)) *
                             a;
        std::fill(out + innerBegin, out + innerEnd, middle);
        for (int column = innerEnd; column < e.width; ++column) {
            out[column] = static_cast<float>(shape.coverage(e.x + column + 0.5, py)) * a;
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

std::vector<float> blurredSpan(double lo, double hi, int first, int count, double sigma) {
    const int reach = blurReach(sigma);
    const int n = count + 2 * reach;
    std::vector<float> line(std::size_t(std::max(n, 0)));
    std::vector<float> other(line.size());
    for (int i = 0; i < n; ++i) {
        const double cell = first - reach + i;
        line[std::size_t(i)] =
            static_cast<float>(std::clamp(std::min(cell + 1, hi) - std::max(cell, lo), 0.0, 1.0));
    }
    if (reach > 0) {
        sigma = std::min(sigma, kMaxBlurSigma);
        if (sigma < kBoxSigma) {
            kernelLine(line.data(), other.data(), n, gaussianKernel(sigma));
            line.swap(other);
        } else {
            for (const BoxPass& box : boxPasses(sigma)) {
                boxLine(line.data(), other.data(), n, box);
                line.swap(other);
            }
        }
    }
    return {line.begin() + reach, line.begin() + reach + count};
}

namespace {

// Where a rounded rectangle's coverage differs from its plain rectangle's
// (the product of the two spans): around each corner, with a pixel to spare.
std::vector<PixelRect> cornerBoxes(const RoundedRect& shape) {
    const Rect& r = shape.rect();
    const double side = shape.radius() + 2;
    std::vector<PixelRect> boxes;
    for (const double x : {r.minX() - 1, r.maxX() + 1 - side}) {
        for (const double y : {r.minY() - 1, r.maxY() + 1 - side}) {
            boxes.push_back(PixelRect::covering({x, y, side, side}));
        }
    }
    return boxes;
}

bool overlapAny(const std::vector<PixelRect>& boxes) {
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
            if (!boxes[i].intersection(boxes[j]).isEmpty()) {
                return true;
            }
        }
    }
    return false;
}

AlphaPlane cropped(const AlphaPlane& plane, const PixelRect& area) {
    AlphaPlane out(area);
    const PixelRect common = plane.extent.intersection(area);
    for (int y = common.y; y < common.maxY(); ++y) {
        std::copy_n(plane.row(plane.extent.maxY() - 1 - y) + (common.x - plane.extent.x),
                    common.width, out.row(area.maxY() - 1 - y) + (common.x - area.x));
    }
    return out;
}

}  // namespace

AlphaPlane blurredRoundedRect(const Rect& rect, double radius, double alpha, double sigma,
                              const PixelRect& area) {
    const int reach = blurReach(sigma);
    AlphaPlane out(area);
    if (out.extent.isEmpty() || !(alpha > 0) || PixelRect::covering(rect).isEmpty()) {
        return out;
    }
    const auto a = static_cast<float>(std::min(alpha, 1.0));
    const RoundedRect shape(rect, radius);
    const std::vector<PixelRect> corners = cornerBoxes(shape);
    if (overlapAny(corners)) {
        // Small or nearly round shapes: their corners are most of them.
        return cropped(
            gaussianBlur(roundedRectCoverage(rect, radius, alpha, area.grownBy(reach)), sigma),
            area);
    }
    const std::vector<float> xs = blurredSpan(rect.minX(), rect.maxX(), area.x, area.width, sigma);
    const std::vector<float> ys = blurredSpan(rect.minY(), rect.maxY(), area.y, area.height, sigma);
    for (int row = 0; row < area.height; ++row) {
        const float ya = ys[std::size_t(area.height - 1 - row)] * a;
        float* values = out.row(row);
        for (int x = 0; x < area.width; ++x) {
            values[x] = xs[std::size_t(x)] * ya;
        }
    }
    const auto span = [](double lo, double hi, double cell) {
        return std::clamp(std::min(cell + 1, hi) - std::max(cell, lo), 0.0, 1.0);
    };
    for (const PixelRect& box : corners) {
        // Rectangle minus rounded rectangle near this corner, blurred.
        AlphaPlane cutOut(box);
        for (int y = box.y; y < box.maxY(); ++y) {
            float* values = cutOut.row(box.maxY() - 1 - y);
            const double cy = span(rect.minY(), rect.maxY(), y);
            for (int x = box.x; x < box.maxX(); ++x) {
                const double plain = span(rect.minX(), rect.maxX(), x) * cy;
                values[x - box.x] =
                    static_cast<float>((plain - shape.coverage(x + 0.5, y + 0.5)) * a);
            }
        }
        const AlphaPlane blurred = gaussianBlur(cutOut, sigma);
        const PixelRect common = blurred.extent.intersection(area);
        for (int y = common.y; y < common.maxY(); ++y) {
            const float* from =
                blurred.row(blurred.extent.maxY() - 1 - y) + (common.x - blurred.extent.x);
            float* to = out.row(area.maxY() - 1 - y) + (common.x - area.x);
            for (int x = 0; x < common.width; ++x) {
                to[x] -= from[x];
            }
        }
    }
    return out;
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
        roundedRectCoverage(rect, radius32, 1.0, PixelRect::covering(rect).grownBy(1));
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
