#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "media/media_time.h"
#include "model/project.h"
#include "model/style.h"
#include "model/zoom.h"
#include "render/bubble.h"
#include "render/geometry.h"
#include "render/image.h"
#include "render/layers.h"

namespace zarvex {

// Identifies a track of a composition; 0 is no track.
using TrackID = std::int32_t;
inline constexpr TrackID kInvalidTrackID = 0;

struct MediaTimeRange {
    MediaTime start;
    MediaTime duration;
    bool operator==(const MediaTimeRange&) const = default;
};

// What the player and the export hand a compositor for each output frame. The
// compositor draws only the kinds it knows and reports any other as an error.
class VideoCompositionInstruction {
  public:
    virtual ~VideoCompositionInstruction() = default;

    virtual const MediaTimeRange& timeRange() const = 0;
    virtual bool enablePostProcessing() const = 0;
    virtual bool containsTweening() const = 0;
    // The tracks whose frames a request must carry (when present at that time).
    virtual const std::optional<std::vector<TrackID>>& requiredSourceTrackIDs() const = 0;
    virtual TrackID passthroughTrackID() const = 0;
};

// The screen-dependent layers of a styled frame, prepared for one screen size.
struct ScreenLayers {
    ScreenLayout layout;
    PixelRect placed;  // the fitted screen's whole pixels
    MaskLayer mask;    // its rounded corners, within the canvas
    Image base;        // the background with the screen's shadow, canvas-sized
};

// Builds the screen layers for screen frames of `screenSize`; nothing when the
// screen cannot be placed on the canvas.
std::optional<ScreenLayers> prepareScreen(const StyleSettings& style, Size canvas, Size screenSize,
                                          const Image& background);

// Everything the style compositor needs for every frame of a composition.
// Immutable. All that does not depend on frame content (the background on the
// canvas, the screen's shadow over it, the screen's corner mask, the bubble's
// mask and shadow) is prepared once, on first use or by prepare(), and every
// frame only reads it, from any number of threads at once. Construction only
// copies the parameters, so a style edit on the main thread stays cheap; the
// preparation (about 6 ms for a 1920 × 1080 canvas, 40 ms for 3840 × 2160)
// happens on whichever worker draws the first frame. Copies share the prepared
// layers. Preparing throws std::bad_alloc when memory runs out (and is tried
// again on the next use).
class StyleInstruction final : public VideoCompositionInstruction {
  public:
    struct Parameters {
        MediaTimeRange timeRange;
        StyleSettings style;  // absolute lengths in this canvas's pixels
        TrackID screenTrackID = kInvalidTrackID;
        std::optional<TrackID> webcamTrackID;
        Size canvas;                        // the output frame size (even, whole pixels)
        Image background;                   // makeBackground(style.background, canvas), shared
        std::vector<RecordedClick> clicks;  // times on the composition's timeline
        // Size of the screen frames the requests will carry; frames of another
        // size are still drawn correctly, but their layers are built per frame.
        Size screenSize;
        // Magnified stretches on the composition's timeline, as mendedSegments
        // leaves them; none draws every frame unmagnified.
        std::vector<ZoomSegment> zoom;
    };

    explicit StyleInstruction(Parameters parameters);

    const MediaTimeRange& timeRange() const override { return timeRange_; }
    bool enablePostProcessing() const override { return false; }
    bool containsTweening() const override { return true; }
    const std::optional<std::vector<TrackID>>& requiredSourceTrackIDs() const override {
        return requiredSourceTrackIDs_;
    }
    TrackID passthroughTrackID() const override { return kInvalidTrackID; }

    const StyleSettings& style() const { return style_; }
    TrackID screenTrackID() const { return screenTrackID_; }
    const std::optional<TrackID>& webcamTrackID() const { return webcamTrackID_; }
    Size canvas() const { return canvas_; }
    const Image& background() const { return prepared().background; }
    const std::vector<RecordedClick>& clicks() const { return clicks_; }
    Size screenSize() const { return screenSize_; }
    const std::vector<ZoomSegment>& zoom() const { return zoom_; }
    // The magnification at `seconds` on the composition's timeline.
    ZoomView zoomAt(double seconds) const { return zarvex::zoomAt(zoom_, seconds); }

    // Prepared layers, read by the compositor.
    const std::optional<ScreenLayers>& screenLayers() const { return prepared().screen; }
    const std::optional<BubbleLayers>& bubbleLayers() const { return prepared().bubble; }

    // Prepares the layers now (on the calling thread) unless already done.
    void prepare() const { prepared(); }
    // The parameters it was built from (with the background as given).
    Parameters parameters() const;

  private:
    struct Prepared {
        Image background;  // exactly the canvas's pixels
        std::optional<ScreenLayers> screen;
        std::optional<BubbleLayers> bubble;
    };
    struct Lazy;

    const Prepared& prepared() const;

    MediaTimeRange timeRange_;
    std::optional<std::vector<TrackID>> requiredSourceTrackIDs_;
    StyleSettings style_;
    TrackID screenTrackID_;
    std::optional<TrackID> webcamTrackID_;
    Size canvas_;
    std::vector<RecordedClick> clicks_;
    Size screenSize_;
    std::vector<ZoomSegment> zoom_;
    std::shared_ptr<Lazy> lazy_;
};

}  // namespace zarvex
