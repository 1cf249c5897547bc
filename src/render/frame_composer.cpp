#include "render/frame_composer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "media/yuv.h"
#include "render/zoom.h"

namespace zarvex {
namespace {

// Past this share of the canvas, drawing everything costs no more.
constexpr double kDrawWholeShare = 0.5;
// How far beyond its own scaled box a changed source pixel can reach on the
// canvas: the bilinear filter's neighbours, rounding, and the 2:1 steps of a
// large reduction.
constexpr int kScaleReach = 3;

const VideoFrame* frameOf(const SourceFrameSet& set, TrackID id) {
    for (const SourceFrame& source : set.frames) {
        if (source.trackID == id && !source.frame.empty()) {
            return &source.frame;
        }
    }
    return nullptr;
}

std::shared_ptr<const VideoCompositionInstruction> instructionAt(
    const VideoComposition& videoComposition, MediaTime time) {
    const VideoCompositionInstruction* found = videoComposition.instructionAt(time);
    for (const auto& instruction : videoComposition.instructions) {
        if (instruction.get() == found) {
            return instruction;
        }
    }
    return nullptr;
}

// First and last differing byte of two rows; nothing when equal.
std::optional<std::pair<int, int>> differingBytes(const std::uint8_t* a, const std::uint8_t* b,
                                                  int length) {
    if (std::memcmp(a, b, std::size_t(length)) == 0) {
        return std::nullopt;
    }
    int first = 0;
    while (a[first] == b[first]) {
        ++first;
    }
    int last = length - 1;
    while (a[last] == b[last]) {
        --last;
    }
    return std::make_pair(first, last);
}

// Grows `box` (from the top-left) to hold columns [x0, x1] of row y.
void include(std::optional<PixelBox>& box, int x0, int x1, int y0, int y1) {
    if (!box) {
        box = PixelBox{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
        return;
    }
    const int left = std::min(box->x, x0);
    const int top = std::min(box->y, y0);
    const int right = std::max(box->x + box->width - 1, x1);
    const int bottom = std::max(box->y + box->height - 1, y1);
    *box = {left, top, right - left + 1, bottom - top + 1};
}

// Merges overlapping rectangles, so no pixel is drawn twice.
std::vector<PixelRect> merged(std::vector<PixelRect> areas) {
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < areas.size() && !changed; ++i) {
            for (std::size_t j = i + 1; j < areas.size(); ++j) {
                if (areas[i].intersects(areas[j])) {
                    areas[i] = areas[i].united(areas[j]);
                    areas.erase(areas.begin() + std::ptrdiff_t(j));
                    changed = true;
                    break;
                }
            }
        }
    }
    return areas;
}

void copyPlanes(const VideoFrame& from, VideoFrame& to) {
    for (int plane = 0; plane < to.planeCount(); ++plane) {
        const int rows = plane == 0 ? to.height : (to.height + 1) / 2;
        const int bytes = plane == 0 ? (to.format == PixelFormat::bgra ? 4 * to.width : to.width)
                                     : (to.width + 1) / 2;
        for (int y = 0; y < rows; ++y) {
            std::memcpy(to.row(plane, y), from.row(plane, y), std::size_t(bytes));
        }
    }
}

}  // namespace

std::optional<PixelBox> changedBox(const VideoFrame& a, const VideoFrame& b) {
    std::optional<PixelBox> box;
    if (a.format == PixelFormat::bgra) {
        for (int y = 0; y < a.height; ++y) {
            if (const auto bytes = differingBytes(a.row(0, y), b.row(0, y), 4 * a.width)) {
                include(box, bytes->first / 4, bytes->second / 4, y, y);
            }
        }
        return box;
    }
    for (int y = 0; y < a.height; ++y) {
        if (const auto bytes = differingBytes(a.row(0, y), b.row(0, y), a.width)) {
            include(box, bytes->first, bytes->second, y, y);
        }
    }
    // A chroma sample serves a 2 × 2 block of pixels.
    const int chromaWidth = (a.width + 1) / 2;
    for (int y = 0; y < (a.height + 1) / 2; ++y) {
        for (int plane = 1; plane <= 2; ++plane) {
            if (const auto bytes = differingBytes(a.row(plane, y), b.row(plane, y), chromaWidth)) {
                include(box, 2 * bytes->first, std::min(a.width - 1, 2 * bytes->second + 1), 2 * y,
                        std::min(a.height - 1, 2 * y + 1));
            }
        }
    }
    return box;
}

struct FrameComposer::Last {
    std::shared_ptr<const VideoCompositionInstruction> instruction;
    SourceFrameSet sources;
    VideoFrame output;
};

FrameComposer::FrameComposer() = default;
FrameComposer::~FrameComposer() = default;

std::optional<std::vector<PixelRect>> FrameComposer::changedAreas(
    const VideoComposition& videoComposition, const SourceFrameSet& sources,
    const FramePool& pool) const {
    if (!last_ || last_->output.format != pool.format() || last_->output.width != pool.width() ||
        last_->output.height != pool.height() ||
        videoComposition.instructionAt(sources.compositionTime) != last_->instruction.get()) {
        return std::nullopt;
    }
    const auto* style = dynamic_cast<const StyleInstruction*>(last_->instruction.get());
    if (style == nullptr) {
        return std::nullopt;
    }
    std::vector<PixelRect> areas;
    const std::optional<ScreenLayers>& layers = style->screenLayers();
    const VideoFrame* before = frameOf(last_->sources, style->screenTrackID());
    const VideoFrame* now = frameOf(sources, style->screenTrackID());
    if ((before == nullptr) != (now == nullptr)) {
        return std::nullopt;
    }
    // While the magnification moves, the whole screen picture changes; while
    // it holds still, a changed source area maps through it.
    const ZoomView viewBefore = style->zoomAt(last_->sources.compositionTime.seconds());
    const ZoomView view = style->zoomAt(sources.compositionTime.seconds());
    if (now != nullptr && (now->data[0] != before->data[0] || view != viewBefore)) {
        if (!layers || now->format != before->format || now->width != before->width ||
            now->height != before->height ||
            Size{double(now->width), double(now->height)} != style->screenSize()) {
            return std::nullopt;
        }
        if (view != viewBefore) {
            areas.push_back(layers->mask.extent);
        } else if (view.scale != 1) {
            if (const std::optional<PixelBox> box = changedBox(*before, *now)) {
                areas.push_back(reachOfChange(*box, zoomWindow(view, now->width, now->height),
                                              layers->placed, kScaleReach)
                                    .intersection(layers->mask.extent));
            }
        } else if (const std::optional<PixelBox> box = changedBox(*before, *now)) {
            const PixelRect& placed = layers->placed;
            const double kx = double(placed.width) / now->width;
            const double ky = double(placed.height) / now->height;
            const int x0 = placed.x + int(std::floor(box->x * kx)) - kScaleReach;
            const int x1 = placed.x + int(std::ceil((box->x + box->width) * kx)) + kScaleReach;
            const int y0 =
                placed.maxY() - int(std::ceil((box->y + box->height) * ky)) - kScaleReach;
            const int y1 = placed.maxY() - int(std::floor(box->y * ky)) + kScaleReach;
            areas.push_back(PixelRect{x0, y0, x1 - x0, y1 - y0}.intersection(layers->mask.extent));
        }
    }
    const std::optional<BubbleLayers>& bubble = style->bubbleLayers();
    if (bubble && style->webcamTrackID()) {
        const VideoFrame* faceBefore = frameOf(last_->sources, *style->webcamTrackID());
        const VideoFrame* face = frameOf(sources, *style->webcamTrackID());
        if ((faceBefore == nullptr) != (face == nullptr)) {
            areas.push_back(bubbleExtent(*bubble));  // shadow and face come or go
        } else if (face != nullptr && face->data[0] != faceBefore->data[0]) {
            areas.push_back(bubble->mask.extent);
        }
    }
    if (layers && style->style().ripplesEnabled()) {
        for (const RecordedClick& click : style->clicks()) {
            for (const auto& [time, shown] : {std::pair{last_->sources.compositionTime, viewBefore},
                                              std::pair{sources.compositionTime, view}}) {
                if (const std::optional<RippleRing> ring =
                        rippleInView(click, time.seconds(), layers->layout.screenRect, shown)) {
                    const double r = ring->outerRadius;
                    areas.push_back(
                        PixelRect::covering({ring->center.x - r, ring->center.y - r, 2 * r, 2 * r})
                            .grownBy(1));
                }
            }
        }
    }
    const PixelRect canvas = canvasPixels(style->canvas());
    std::vector<PixelRect> clipped;
    for (const PixelRect& area : areas) {
        if (const PixelRect inside = area.intersection(canvas); !inside.isEmpty()) {
            clipped.push_back(inside);
        }
    }
    return merged(std::move(clipped));
}

CompositionResult FrameComposer::compose(const VideoComposition& videoComposition,
                                         const SourceFrameSet& sources, FramePool& pool) {
    CompositionRequest request;
    request.videoCompositionInstruction = videoComposition.instructionAt(sources.compositionTime);
    request.compositionTime = sources.compositionTime;
    request.sourceFrames = sources.frames;
    request.renderContext = &pool;
    const auto* style = dynamic_cast<const StyleInstruction*>(request.videoCompositionInstruction);
    const PixelRect canvas{0, 0, pool.width(), pool.height()};
    if (style == nullptr || canvasPixels(style->canvas()) != canvas) {
        // Not ours to draw: the compositor reports why.
        last_.reset();
        return StyleCompositor().startVideoCompositionRequest(request);
    }
    std::optional<std::vector<PixelRect>> areas = changedAreas(videoComposition, sources, pool);
    if (areas && areas->empty()) {
        // Drawn like the last frame: that frame again.
        lastDrawnShare_ = 0;
        last_->sources = sources;
        return last_->output;
    }
    double drawn = 0;
    if (areas) {
        for (const PixelRect& area : *areas) {
            drawn += double(area.width) * area.height;
        }
        if (drawn > kDrawWholeShare * canvas.width * canvas.height) {
            areas.reset();
        }
    }
    if (!areas) {
        drawn = double(canvas.width) * canvas.height;
        areas = std::vector<PixelRect>{canvas};
    }
    VideoFrame output;
    try {
        output = pool.acquire();
    } catch (const std::bad_alloc&) {
    }
    if (output.empty()) {
        return CompositionError::noOutputFrame();
    }
    const bool whole = drawn == double(canvas.width) * canvas.height;
    if (!whole) {
        copyPlanes(last_->output, output);
    }
    const bool bgra = pool.format() == PixelFormat::bgra;
    if (!bgra && (canvas_.width != canvas.width || canvas_.height != canvas.height)) {
        canvas_ = VideoFrame::allocate(PixelFormat::bgra, canvas.width, canvas.height);
    }
    Image target(bgra ? output : canvas_, 0, 0);
    const StyleCompositor compositor;
    for (const PixelRect& area : *areas) {
        compositor.drawRegion(request, target, area);
    }
    if (!bgra) {
        // After all areas are drawn: a chroma block may straddle two of them.
        for (const PixelRect& area : *areas) {
            const int top = canvas.height - area.maxY();
            const int x0 = area.x & ~1;
            const int y0 = top & ~1;
            const int x1 = std::min(canvas.width, (area.maxX() + 1) & ~1);
            const int y1 = std::min(canvas.height, (top + area.height + 1) & ~1);
            convertRegionToI420(canvas_, output, x0, y0, x1 - x0, y1 - y0);
        }
    }
    if (!last_) {
        last_ = std::make_unique<Last>();
    }
    last_->instruction = instructionAt(videoComposition, sources.compositionTime);
    last_->sources = sources;
    last_->output = output;
    lastDrawnShare_ = drawn / (double(canvas.width) * canvas.height);
    return output;
}

}  // namespace zarvex
