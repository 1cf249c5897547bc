#pragma once

#include <memory>

#include "media/video_frame.h"

namespace zarvex {

// Converts frames between BGRA and I420, between YUV colour tags, and between
// sizes. Keeps its scaler set-up between calls, so one converter per stream of
// frames is cheap; not thread-safe (one per thread).
class FrameConverter {
  public:
    FrameConverter();
    ~FrameConverter();
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;

    // Opaque premultiplied BGRA of the same size; YUV is read by its tags. A
    // BGRA frame is returned as it is (same pixels).
    VideoFrame toBgra(const VideoFrame& frame);

    // I420 of the given size carrying `color`: BGRA is read as sRGB, I420 with
    // other tags is converted through RGB, other sizes are scaled (bicubic). A
    // frame already in that form is returned as it is (same pixels).
    VideoFrame toI420(const VideoFrame& frame, int width, int height, ColorTags color);

  private:
    struct Scalers;
    std::unique_ptr<Scalers> scalers_;
};

}  // namespace zarvex
