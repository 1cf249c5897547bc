#pragma once

#include <cstdint>

#include "media/video_frame.h"

// Conversions between premultiplied BGRA (composed frames, screen grabs) and
// decoder/encoder I420. Written here rather than taken from libyuv because its BT.709
// limited-range kernels clamp the blue coefficient (pure blue decodes to 243).
namespace zarvex {

// Converts a premultiplied BGRA frame to I420 with BT.709 limited-range
// coefficients (what the encoder is told), treating the pixels as composed over
// black. Sizes must match; odd trailing columns and rows share chroma.
void convertToI420(const VideoFrame& bgra, VideoFrame& i420);
// The same for a region only: `x` and `y` (from the top-left) even, the
// region inside both frames; its pixels come out as convertToI420 makes them.
void convertRegionToI420(const VideoFrame& bgra, VideoFrame& i420, int x, int y, int width,
                         int height);

// Converts `region` (x, y from the top-left, width, height) of an I420 or BGRA
// frame into opaque BGRA rows at `dst`, honouring the frame's colour tags
// (BT.601 or BT.709, limited or full range). Each pixel takes the chroma
// sample of its 2 × 2 block.
void convertRegionToBgra(const VideoFrame& source, int x, int y, int width, int height,
                         std::uint8_t* dst, int dstStride);

// Converts pixels [x, x + width) of one I420 row (`y`) into BGRA at `out`; `u`
// and `v` are the chroma rows serving it, indexed like the plane (x / 2).
void convertRowToBgra(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, int x,
                      int width, std::uint8_t* out, const ColorTags& tags);

}  // namespace zarvex
