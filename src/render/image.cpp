#include "render/image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "media/pixel_ops.h"

namespace zarvex {
namespace {

std::uint8_t unitToByte(double v) {
    // NaN lands on 0 through the clamp's comparisons failing both ways.
    const double clamped = v > 0 ? std::min(v, 1.0) : 0.0;
    return static_cast<std::uint8_t>(std::lround(clamped * 255));
}

double clampUnit(double v) {
    return v > 0 ? std::min(v, 1.0) : 0.0;
}

}  // namespace

Bgra premultiplied(const Color& color) {
    const double a = clampUnit(color.alpha);
    return {unitToByte(clampUnit(color.blue) * a), unitToByte(clampUnit(color.green) * a),
            unitToByte(clampUnit(color.red) * a), unitToByte(a)};
}

Image::Image(const PixelRect& extent) {
    if (extent.isEmpty()) {
        return;
    }
    extent_ = extent;
    frame_ = VideoFrame::allocate(PixelFormat::bgra, extent.width, extent.height);
}

Image::Image(VideoFrame frame, int x, int y)
    : extent_{x, y, frame.width, frame.height}, frame_(std::move(frame)) {
    if (frame_.empty() || frame_.format != PixelFormat::bgra) {
        extent_ = {};
        frame_ = {};
    }
}

Bgra Image::pixelAt(int x, int y) const {
    if (x < extent_.x || x >= extent_.maxX() || y < extent_.y || y >= extent_.maxY()) {
        return {};
    }
    const std::uint8_t* p = pixel(x, y);
    return {p[0], p[1], p[2], p[3]};
}

void Image::fill(Bgra color) {
    for (int r = 0; r < height(); ++r) {
        std::uint8_t* p = mutableRow(r);
        for (int c = 0; c < width(); ++c) {
            std::memcpy(p + 4 * c, &color, 4);
        }
    }
}

void drawImage(const Image& image, Image& target, bool replace) {
    const PixelRect area = image.extent().intersection(target.extent());
    for (int y = area.maxY() - 1; y >= area.y; --y) {
        const std::uint8_t* src = image.pixel(area.x, y);
        std::uint8_t* dst = target.mutablePixel(area.x, y);
        if (replace) {
            std::memcpy(dst, src, 4 * std::size_t(area.width));
        } else {
            pixel::over(src, dst, area.width);
        }
    }
}

}  // namespace zarvex
