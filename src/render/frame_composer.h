#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "render/frame_source.h"

namespace zarvex {

// Draws the styled frames of one stream (the export's, the player's) one
// after another, reusing the frame before: only the parts of the canvas that
// change are drawn again (where the screen picture differs from the last one,
// mapped through a steady zoom; the whole screen while a zoom moves; the
// bubble when the webcam picture is new, the click ripples visible in either
// frame); the rest is copied. A frame drawn like the last one is that
// frame again. The pixels always come out exactly as composeFrame() draws
// them. One composer per thread; frames may jump in time (a seek just draws
// more).
class FrameComposer {
  public:
    FrameComposer();
    ~FrameComposer();
    FrameComposer(const FrameComposer&) = delete;
    FrameComposer& operator=(const FrameComposer&) = delete;

    // The frame for `sources`, from `pool` (BGRA or I420 of the render size).
    CompositionResult compose(const VideoComposition& videoComposition,
                              const SourceFrameSet& sources, FramePool& pool);

    // The share of the canvas drawn for the last frame: 0 when it was the
    // frame before again, 1 when drawn whole.
    double lastDrawnShare() const { return lastDrawnShare_; }

  private:
    struct Last;
    std::optional<std::vector<PixelRect>> changedAreas(const VideoComposition& videoComposition,
                                                       const SourceFrameSet& sources,
                                                       const FramePool& pool) const;

    std::unique_ptr<Last> last_;
    VideoFrame canvas_;  // the last frame as BGRA, for I420 output
    double lastDrawnShare_ = 1;
};

// The rows and columns in which two pictures of the same size and format
// differ, as a box from the top-left; nothing when they are equal.
std::optional<PixelBox> changedBox(const VideoFrame& a, const VideoFrame& b);

}  // namespace zarvex
