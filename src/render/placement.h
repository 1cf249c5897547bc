#pragma once

#include <cstdint>
#include <vector>

#include "media/video_frame.h"
#include "render/image.h"
#include "render/scaler.h"

namespace zarvex {

// Per-frame working memory, kept per thread and reused so steady rendering
// does not allocate; it grows to the largest size seen and stays there.
struct ScratchBuffers {
    std::vector<std::uint8_t> placed;  // a scaled picture before masking
    std::vector<std::uint8_t> canvas;  // a whole BGRA frame before I420 output
    ScaleScratch scale;
};

// A transparent-or-garbage image over `extent` whose pixels live in `buffer`
// (grown as needed); valid until the buffer is next resized.
Image scratchImage(std::vector<std::uint8_t>& buffer, const PixelRect& extent);

// Scales `region` (x, y from the top-left) of `source` (BGRA or I420) so that it covers the
// whole-pixel rectangle `placed`, and writes the part inside `visible` into `target`. `visible`
// must lie inside both `placed` and the target's extent.
void placeSource(const VideoFrame& source, const PixelBox& region, const PixelRect& placed,
                 const PixelRect& visible, Image& target, ScratchBuffers& scratch);

// The same for a window of the source whose edges may fall between pixels
// (a magnified part of the picture).
void placeWindow(const VideoFrame& source, const SourceWindow& window, const PixelRect& placed,
                 const PixelRect& visible, Image& target, ScratchBuffers& scratch);

}  // namespace zarvex
