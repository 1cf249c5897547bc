#include "render/bubble.h"

#include <algorithm>

namespace zarvex {
namespace {

constexpr double kShadowDrop = 0.04;
constexpr double kShadowOpacity = 0.35;
constexpr double kShadowSigma = 0.05;
// A bubble this many pixels wide is larger than any canvas many times over;
// beyond it the scaling arithmetic is no longer safe.
constexpr double kMaxBubbleSide = 1 << 16;

}  // namespace

std::optional<BubbleLayers> prepareBubble(const WebcamSpec& webcam, Size canvas) {
    BubbleLayers bubble;
    bubble.rect = bubbleRect(webcam, canvas);
    bubble.placed = PixelRect::covering(bubble.rect);
    const PixelRect area = canvasPixels(canvas);
    if (!(bubble.rect.width <= kMaxBubbleSide) || bubble.placed.intersection(area).isEmpty()) {
        return std::nullopt;
    }
    const double size = bubble.rect.width;
    const double radius =
        size * (webcam.shape == WebcamSpec::Shape::circle ? 0.5 : kBubbleRoundedCornerFraction);
    bubble.mask = makeMask(bubble.rect, radius, area);
    bubble.shadow = makeShadow(bubble.rect.offsetBy(0, -kShadowDrop * size), radius, kShadowOpacity,
                               kShadowSigma * size, area);
    return bubble;
}

PixelBox centerSquare(int width, int height) {
    const int side = std::min(width, height);
    return {(width - side) / 2, (height - side) / 2, side, side};
}

void drawBubble(const BubbleLayers& bubble, const VideoFrame& webcam, Image& target,
                ScratchBuffers& scratch, const PixelRect& clip) {
    if (webcam.empty()) {
        return;
    }
    drawShadow(bubble.shadow, target, clip);
    const PixelRect visible = bubble.mask.extent.intersection(clip);
    if (visible.isEmpty()) {
        return;
    }
    Image face = scratchImage(scratch.placed, visible);
    placeSource(webcam, centerSquare(webcam.width, webcam.height), bubble.placed, visible, face,
                scratch);
    drawMasked(face, bubble.mask, target, target, webcam.format == PixelFormat::i420, visible);
}

PixelRect bubbleExtent(const BubbleLayers& bubble) {
    return bubble.mask.extent.united(bubble.shadow.extent);
}

Image renderBubble(const VideoFrame& webcamFrame, Size canvas, const StyleSettings& style) {
    const std::optional<BubbleLayers> bubble = prepareBubble(style.webcam, canvas);
    if (!bubble || webcamFrame.empty()) {
        return Image();
    }
    const PixelRect extent = bubbleExtent(*bubble);
    Image image(extent);
    ScratchBuffers scratch;
    drawBubble(*bubble, webcamFrame, image, scratch, extent);
    return image;
}

}  // namespace zarvex
