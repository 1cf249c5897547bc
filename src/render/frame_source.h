#pragma once

#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "media/video_decoder.h"
#include "render/composition.h"
#include "render/style_compositor.h"
#include "render/video_composition.h"

namespace zarvex {

// The source pictures of a composition at one time.
struct SourceFrameSet {
    MediaTime compositionTime;
    std::vector<SourceFrame> frames;  // one per track that shows a picture then
    // Per requested track, the presentation time of the picture it shows (nothing
    // when it shows none). Two sets with equal signatures hold the same pictures.
    std::vector<std::optional<MediaTime>> signature;
};

// Gives the styled frame of a composition at any time: decodes each video
// track's picture at the matching source time and hands them to the style
// compositor. A track shows nothing outside the span it covers on the
// timeline. Decoders are opened on first use and kept, so times that move
// forward are cheap; going back seeks. One source per thread.
class CompositionFrameSource {
  public:
    explicit CompositionFrameSource(std::shared_ptr<const Composition> composition);
    ~CompositionFrameSource();
    CompositionFrameSource(const CompositionFrameSource&) = delete;
    CompositionFrameSource& operator=(const CompositionFrameSource&) = delete;

    const Composition& composition() const { return *composition_; }

    // The pictures of `trackIDs` at `time`. Throws MediaError when a movie
    // cannot be opened or decoded.
    SourceFrameSet sourceFramesAt(MediaTime time, std::span<const TrackID> trackIDs);

    // The tracks the instruction at `time` needs (its required source tracks).
    static std::vector<TrackID> requiredTracks(const VideoComposition& videoComposition,
                                               MediaTime time);

    // Draws the frame at `time` into a frame from `pool`, which must be of the
    // render size. Throws MediaError for decoding failures; compositor errors
    // come back in the result.
    CompositionResult styledFrameAt(const VideoComposition& videoComposition, MediaTime time,
                                    FramePool& pool);

  private:
    std::shared_ptr<const Composition> composition_;
    std::map<TrackID, std::unique_ptr<VideoDecoder>> decoders_;
};

// True when `later` is drawn exactly like `earlier`: the same pictures, the
// same instruction, and no click ripple visible at any time between the two
// (which would change the frame even over the same pictures).
bool drawsSameFrame(const VideoComposition& videoComposition, const SourceFrameSet& earlier,
                    const SourceFrameSet& later);

// Composes one set of source pictures (no decoding): the compositor request
// for the instruction at the set's time.
CompositionResult composeFrame(const VideoComposition& videoComposition, const SourceFrameSet& set,
                               FramePool& pool);

}  // namespace zarvex
