#include "ui/blur.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zarvex {
namespace {

// Box widths whose three passes approximate a Gaussian of `sigma`.
std::array<int, 3> boxRadii(double sigma) {
    const double ideal = std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0) {
        --lower;
    }
    const int upper = lower + 2;
    const double m = std::round((12.0 * sigma * sigma - 3.0 * lower * lower - 12.0 * lower - 9.0) /
                                (-4.0 * lower - 4.0));
    std::array<int, 3> radii{};
    for (int i = 0; i < 3; ++i) {
        radii[static_cast<std::size_t>(i)] = ((i < m ? lower : upper) - 1) / 2;
    }
    return radii;
}

// One box pass over `count` pixels spaced `stride` apart, four channels each.
void boxLine(std::uint8_t* data, int count, int stride, int radius, std::vector<int>& scratch) {
    if (radius <= 0) {
        return;
    }
    scratch.assign(static_cast<std::size_t>(count) * 4, 0);
    for (int i = 0; i < count; ++i) {
        for (int c = 0; c < 4; ++c) {
            scratch[static_cast<std::size_t>(i) * 4 + c] = data[i * stride + c];
        }
    }
    const int window = 2 * radius + 1;
    std::array<int, 4> sum{};
    // Pixels beyond the ends are transparent: the window starts holding the
    // first `radius` pixels only.
    for (int i = 0; i < std::min(radius, count); ++i) {
        for (int c = 0; c < 4; ++c) {
            sum[static_cast<std::size_t>(c)] += scratch[static_cast<std::size_t>(i) * 4 + c];
        }
    }
    for (int i = 0; i < count; ++i) {
        const int entering = i + radius;
        const int leaving = i - radius - 1;
        for (int c = 0; c < 4; ++c) {
            auto& s = sum[static_cast<std::size_t>(c)];
            if (entering < count) {
                s += scratch[static_cast<std::size_t>(entering) * 4 + c];
            }
            if (leaving >= 0) {
                s -= scratch[static_cast<std::size_t>(leaving) * 4 + c];
            }
            data[i * stride + c] = static_cast<std::uint8_t>((s + window / 2) / window);
        }
    }
}

}  // namespace

QImage blurredImage(const QImage& image, double sigma) {
    if (!(sigma > 0) || image.isNull()) {
        return image;
    }
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = out.width();
    const int height = out.height();
    const auto bytesPerLine = static_cast<int>(out.bytesPerLine());
    std::uint8_t* bits = out.bits();
    std::vector<int> scratch;
    for (const int radius : boxRadii(sigma)) {
        for (int y = 0; y < height; ++y) {
            boxLine(bits + y * bytesPerLine, width, 4, radius, scratch);
        }
        for (int x = 0; x < width; ++x) {
            boxLine(bits + x * 4, height, bytesPerLine, radius, scratch);
        }
    }
    return out;
}

}  // namespace zarvex
