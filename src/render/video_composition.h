#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "media/media_time.h"
#include "render/composition.h"
#include "render/image.h"
#include "render/style_instruction.h"

namespace zarvex {

// How the frames of a composition are drawn: by the style compositor, at
// `renderSize`, one frame every `frameDuration`, following the instruction that
// covers each time. Immutable once built; shared by player and export.
struct VideoComposition {
    Size renderSize;
    MediaTime frameDuration{1, 60};
    std::vector<std::shared_ptr<const VideoCompositionInstruction>> instructions;

    // The instruction covering `time`; the last one for times past them all,
    // nothing when there are none.
    const VideoCompositionInstruction* instructionAt(MediaTime time) const;
};

// The output size for a canvas drawn at `scale`: the canvas itself at exactly
// 1.0, otherwise each side times scale truncated, at least 2 and even.
Size renderSizeFor(Size canvas, double scale);

// The style as drawn at `scale`: its absolute lengths (corner radius, shadow
// blur and offset) multiplied by it; fractions and opacities stay.
StyleSettings scaledStyle(const StyleSettings& style, double scale);

// Identifies the background raster of a (background, canvas) pair: the
// background's compact JSON text (empty when it cannot be encoded), "|", and
// the truncated canvas sides as "WxH".
std::string backgroundCacheKey(const BackgroundStyle& background, Size canvas);

// The last background drawn, with its key: a one-entry cache, so style edits
// that keep background and size never redraw it.
class BackgroundCache {
  public:
    // The background for (background, canvas), reused when the key matches the
    // last one, else drawn and kept in its place.
    Image background(const BackgroundStyle& background, Size canvas);

    const std::optional<std::pair<std::string, Image>>& entry() const { return entry_; }
    void clear() { entry_.reset(); }

  private:
    std::optional<std::pair<std::string, Image>> entry_;
};

// The same composition drawn smaller: `scale` (0 < scale ≤ 1) of its render
// size, each StyleInstruction rebuilt for the smaller canvas as the document
// builds one at that scale (lengths scaled, background drawn through `cache`
// for the new size). Other instructions are kept. Layers are prepared lazily,
// on first use.
VideoComposition scaledVideoComposition(const VideoComposition& composition, double scale,
                                        BackgroundCache& cache);

// What a styled video composition is made from.
struct VideoCompositionSource {
    StyleSettings style;
    Size screenSize;
    TrackID screenTrackID = kInvalidTrackID;
    std::optional<TrackID> webcamTrackID;
    MediaTime duration = MediaTime::zero();
    std::vector<RecordedClick> clicks;
    std::vector<ZoomSegment> zoom;
};

// One StyleInstruction over [0, duration) at the render size for `scale`, with
// the scaled style, the cached background, the clicks unless the style
// switches ripples off, and the zoom segments. Throws std::bad_alloc when memory runs out.
VideoComposition makeStyledVideoComposition(const VideoCompositionSource& source, double scale,
                                            BackgroundCache& cache);

}  // namespace zarvex
