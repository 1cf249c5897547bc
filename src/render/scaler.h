#pragma once

#include <cstdint>
#include <vector>

#include "media/video_frame.h"

namespace zarvex {

// A rectangle of memory pixels: x and y from the top-left corner.
struct PixelBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Working memory of scalePicture, reused between calls.
struct ScaleScratch {
    std::vector<std::uint8_t> row;
    std::vector<std::uint8_t> planeRows[3];
    std::vector<std::uint8_t> converted;
    std::vector<std::uint8_t> halves[2];
    std::vector<std::int32_t> columns;
    std::vector<std::uint16_t> weights;
};

// Scales `region` of `source` (BGRA, or I420 read with its colour tags) to a
// virtual dstWidth × dstHeight picture and writes its part `clip` as BGRA rows
// to `dst`. Bilinear between pixel centres; a picture shrunk to half or less is
// first reduced by exact 2:1 box steps so every source pixel counts. A uniform
// picture stays exactly uniform (libyuv's ARGB filter of this generation loses
// up to 2 levels, alpha included, which is why this exists).
void scalePicture(const VideoFrame& source, const PixelBox& region, int dstWidth, int dstHeight,
                  const PixelBox& clip, std::uint8_t* dst, int dstStride, ScaleScratch& scratch);

// A part of a picture in pixels from its top-left corner; its edges may fall
// between pixels.
struct SourceWindow {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const SourceWindow&) const = default;
};

// Like scalePicture, for `window` of the whole source: the window's edges map
// exactly onto the virtual picture's, so a window moving by a fraction of a
// pixel moves the picture smoothly. The filter reads the pixels around the
// window too, as far as the source reaches.
void scaleWindow(const VideoFrame& source, const SourceWindow& window, int dstWidth, int dstHeight,
                 const PixelBox& clip, std::uint8_t* dst, int dstStride, ScaleScratch& scratch);

}  // namespace zarvex
