#include "render/style_compositor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "media/pixel_ops.h"
#include "media/yuv.h"
#include "render/placement.h"
#include "render/shapes.h"
#include "render/zoom.h"

namespace zarvex {
namespace {

ScratchBuffers& threadScratch() {
    thread_local ScratchBuffers scratch;
    return scratch;
}

std::optional<VideoFrame> newPixelBuffer(FramePool* pool, const PixelRect& area) {
    if (pool == nullptr || pool->width() != area.width || pool->height() != area.height ||
        area.isEmpty()) {
        return std::nullopt;
    }
    try {
        VideoFrame frame = pool->acquire();
        if (frame.empty()) {
            return std::nullopt;
        }
        return frame;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

void copyRows(const Image& from, Image& to, int x, int width, int y0, int y1) {
    if (width <= 0) {
        return;
    }
    for (int y = y0; y < y1; ++y) {
        std::memcpy(to.mutablePixel(x, y), from.pixel(x, y), 4 * std::size_t(width));
    }
}

// target = base inside `clip`, except inside `hole`.
void copyAround(const Image& base, const PixelRect& hole, const PixelRect& clip, Image& target) {
    const PixelRect all = target.extent().intersection(clip);
    const PixelRect inner = hole.intersection(all);
    if (inner.isEmpty()) {
        copyRows(base, target, all.x, all.width, all.y, all.maxY());
        return;
    }
    copyRows(base, target, all.x, all.width, all.y, inner.y);
    copyRows(base, target, all.x, all.width, inner.maxY(), all.maxY());
    copyRows(base, target, all.x, inner.x - all.x, inner.y, inner.maxY());
    copyRows(base, target, inner.maxX(), all.maxX() - inner.maxX(), inner.y, inner.maxY());
}

// A white disc at the ring's opacity with its inner disc cut out, over target.
void drawRing(const RippleRing& ring, Image& target, const PixelRect& clip) {
    const auto disc = [&](double radius) {
        return RoundedRect({ring.center.x - radius, ring.center.y - radius, 2 * radius, 2 * radius},
                           radius);
    };
    const RoundedRect outer = disc(ring.outerRadius);
    const RoundedRect inner = disc(ring.innerRadius);
    const PixelRect box = PixelRect::covering(outer.rect())
                              .grownBy(1)
                              .intersection(target.extent())
                              .intersection(clip);
    constexpr int kChunk = 256;
    std::array<std::uint8_t, kChunk> alpha;
    for (int y = box.y; y < box.maxY(); ++y) {
        for (int x0 = box.x; x0 < box.maxX(); x0 += kChunk) {
            const int n = std::min(kChunk, box.maxX() - x0);
            for (int i = 0; i < n; ++i) {
                const double px = x0 + i + 0.5;
                const double v =
                    ring.opacity * outer.coverage(px, y + 0.5) * (1 - inner.coverage(px, y + 0.5));
                alpha[std::size_t(i)] = static_cast<std::uint8_t>(v * 255 + 0.5);
            }
            pixel::lighten(alpha.data(), target.mutablePixel(x0, y), n);
        }
    }
}

void drawRipples(const StyleInstruction& instruction, double now, const Rect& screenRect,
                 const ZoomView& view, Image& target, const PixelRect& clip) {
    if (!instruction.style().ripplesEnabled()) {
        return;
    }
    // In list order, so later clicks end up on top.
    for (const RecordedClick& click : instruction.clicks()) {
        if (const std::optional<RippleRing> ring = rippleInView(click, now, screenRect, view)) {
            drawRing(*ring, target, clip);
        }
    }
}

void composeFrame(const StyleInstruction& instruction, const CompositionRequest& request,
                  Image& target, ScratchBuffers& scratch, const PixelRect& clip) {
    const VideoFrame* screen = request.sourceFrameByTrackID(instruction.screenTrackID());
    if (screen == nullptr) {
        copyAround(instruction.background(), {}, clip, target);
        return;
    }
    const Size screenSize{double(screen->width), double(screen->height)};
    const std::optional<ScreenLayers>* layers = &instruction.screenLayers();
    std::optional<ScreenLayers> unprepared;
    if (screenSize != instruction.screenSize()) {
        unprepared = prepareScreen(instruction.style(), instruction.canvas(), screenSize,
                                   instruction.background());
        layers = &unprepared;
    }
    if (*layers) {
        const ScreenLayers& s = **layers;
        const double now = request.compositionTime.seconds();
        const ZoomView view = instruction.zoomAt(now);
        copyAround(s.base, s.mask.extent, clip, target);
        if (view.scale == 1) {
            placeSource(*screen, {0, 0, screen->width, screen->height}, s.placed,
                        s.mask.extent.intersection(clip), target, scratch);
        } else {
            // Straight from the source's own pixels, so magnified text stays sharp.
            placeWindow(*screen, zoomWindow(view, screen->width, screen->height), s.placed,
                        s.mask.extent.intersection(clip), target, scratch);
        }
        drawMasked(target, s.mask, s.base, target, screen->format == PixelFormat::i420, clip);
        drawRipples(instruction, now, s.layout.screenRect, view, target, clip);
    } else {
        copyAround(instruction.background(), {}, clip, target);
    }
    const std::optional<BubbleLayers>& bubble = instruction.bubbleLayers();
    if (bubble && instruction.webcamTrackID()) {
        if (const VideoFrame* webcam = request.sourceFrameByTrackID(*instruction.webcamTrackID())) {
            drawBubble(*bubble, *webcam, target, scratch, clip);
        }
    }
}

}  // namespace

const VideoFrame* CompositionRequest::sourceFrameByTrackID(TrackID trackID) const {
    for (const SourceFrame& source : sourceFrames) {
        if (source.trackID == trackID && !source.frame.empty()) {
            return &source.frame;
        }
    }
    return nullptr;
}

CompositionError CompositionError::unexpectedInstruction() {
    return {kUnexpectedInstruction, "Unexpected composition instruction."};
}

CompositionError CompositionError::noOutputFrame() {
    return {kNoOutputFrame, "Could not allocate output frame."};
}

CompositionResult StyleCompositor::startVideoCompositionRequest(
    const CompositionRequest& request) const {
    const auto* instruction =
        dynamic_cast<const StyleInstruction*>(request.videoCompositionInstruction);
    if (instruction == nullptr) {
        return CompositionError::unexpectedInstruction();
    }
    const PixelRect area = canvasPixels(instruction->canvas());
    std::optional<VideoFrame> output = newPixelBuffer(request.renderContext, area);
    if (!output) {
        return CompositionError::noOutputFrame();
    }
    ScratchBuffers& scratch = threadScratch();
    if (output->format == PixelFormat::bgra) {
        Image target(*output, 0, 0);
        composeFrame(*instruction, request, target, scratch, area);
    } else {
        Image target = scratchImage(scratch.canvas, area);
        composeFrame(*instruction, request, target, scratch, area);
        convertToI420(target.frame(), *output);
    }
    return std::move(*output);
}

std::optional<CompositionError> StyleCompositor::drawRegion(const CompositionRequest& request,
                                                            Image& target,
                                                            const PixelRect& clip) const {
    const auto* instruction =
        dynamic_cast<const StyleInstruction*>(request.videoCompositionInstruction);
    if (instruction == nullptr) {
        return CompositionError::unexpectedInstruction();
    }
    composeFrame(*instruction, request, target, threadScratch(),
                 clip.intersection(canvasPixels(instruction->canvas())));
    return std::nullopt;
}

}  // namespace zarvex
