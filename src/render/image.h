#pragma once

#include <cstdint>

#include "media/video_frame.h"
#include "model/color.h"
#include "render/geometry.h"

namespace zarvex {

// One premultiplied pixel in memory order.
struct Bgra {
    std::uint8_t b = 0;
    std::uint8_t g = 0;
    std::uint8_t r = 0;
    std::uint8_t a = 0;
    bool operator==(const Bgra&) const = default;
};

// The colour with its components clamped to 0...1 and multiplied by alpha.
Bgra premultiplied(const Color& color);

// A premultiplied sRGB BGRA raster placed on the canvas plane. `extent` is in
// canvas pixels, y up; memory rows run from the top of the extent (maxY) down.
// Copies share the pixels: an image is written only while it is being built,
// before anyone else sees it.
class Image {
  public:
    Image() = default;  // the empty image
    // Transparent pixels over `extent`; an empty extent gives the empty image.
    explicit Image(const PixelRect& extent);
    // Views a BGRA frame as an image whose bottom-left corner sits at (x, y).
    Image(VideoFrame frame, int x, int y);

    const PixelRect& extent() const { return extent_; }
    bool isEmpty() const { return extent_.isEmpty(); }
    int width() const { return extent_.width; }
    int height() const { return extent_.height; }
    int stride() const { return frame_.stride[0]; }
    const std::uint8_t* row(int fromTop) const { return frame_.row(0, fromTop); }
    std::uint8_t* mutableRow(int fromTop) { return frame_.row(0, fromTop); }
    const VideoFrame& frame() const { return frame_; }

    // Memory row holding canvas row y (counted from the bottom): the one place
    // where y-up geometry meets top-down memory.
    int rowOf(int y) const { return extent_.maxY() - 1 - y; }
    // The first byte of canvas pixel (x, y), which must lie inside the extent.
    std::uint8_t* mutablePixel(int x, int y) {
        return mutableRow(rowOf(y)) + 4 * std::ptrdiff_t(x - extent_.x);
    }
    const std::uint8_t* pixel(int x, int y) const {
        return row(rowOf(y)) + 4 * std::ptrdiff_t(x - extent_.x);
    }

    // The pixel covering canvas point (x + 0.5, y + 0.5); transparent outside.
    Bgra pixelAt(int x, int y) const;

    void fill(Bgra color);

  private:
    PixelRect extent_;
    VideoFrame frame_;
};

// Draws `image` into `target` where their extents overlap: source-over, or a
// plain copy for `replace`.
void drawImage(const Image& image, Image& target, bool replace = false);

}  // namespace zarvex
