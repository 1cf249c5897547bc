#pragma once

// Pixel work both screen-stream backends share, on premultiplied BGRA frames.

#include <cstdint>

#include "media/video_frame.h"
#include "model/geometry.h"

namespace zarvex {

// Copies 32-bit pixels and makes each one opaque (whatever their fourth byte
// says). `source` may be `destination`.
void copyOpaque(const std::uint8_t* source, int sourceStride, std::uint8_t* destination,
                int destinationStride, int width, int height);

// Opaque black over `rect` (clipped to the frame).
void fillBlack(VideoFrame& frame, const PixelRect& rect);

}  // namespace zarvex
