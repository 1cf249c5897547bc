#include "render/style_instruction.h"

#include <algorithm>
#include <cmath>

namespace zarvex {
namespace {

// At or below this opacity a shadow is invisible and is not drawn.
constexpr double kShadowOpacityThreshold = 0.01;

// A copy of the background covering exactly the canvas, transparent where the
// background does not reach.
Image backgroundOnCanvas(const Image& background, const PixelRect& area) {
    Image canvas(area);
    drawImage(background, canvas, /*replace=*/true);
    return canvas;
}

}  // namespace

std::optional<ScreenLayers> prepareScreen(const StyleSettings& style, Size canvas, Size screenSize,
                                          const Image& background) {
    const std::optional<ScreenLayout> layout = layoutScreen(style, canvas, screenSize);
    if (!layout) {
        return std::nullopt;
    }
    const PixelRect area = canvasPixels(canvas);
    ScreenLayers screen;
    screen.layout = *layout;
    screen.placed = PixelRect::covering(layout->screenRect);
    screen.mask = makeMask(layout->screenRect, layout->cornerRadius, area);
    const ShadowSpec& shadow = style.shadow;
    const bool shadowed = shadow.opacity > kShadowOpacityThreshold;  // false for NaN
    // The base is drawn on, so a shadowed one never shares the background's pixels.
    screen.base =
        shadowed || background.extent() != area ? backgroundOnCanvas(background, area) : background;
    if (shadowed) {
        drawShadow(makeShadow(layout->screenRect.offsetBy(0, -shadow.offsetY), layout->cornerRadius,
                              std::min(shadow.opacity, 1.0), shadow.blur * 0.5, area),
                   screen.base);
    }
    return screen;
}

StyleInstruction::StyleInstruction(Parameters parameters)
    : timeRange_(parameters.timeRange),
      style_(std::move(parameters.style)),
      screenTrackID_(parameters.screenTrackID),
      webcamTrackID_(parameters.webcamTrackID),
      canvas_(parameters.canvas),
      clicks_(std::move(parameters.clicks)),
      screenSize_(parameters.screenSize) {
    std::vector<TrackID> required{screenTrackID_};
    if (webcamTrackID_) {
        required.push_back(*webcamTrackID_);
    }
    requiredSourceTrackIDs_ = std::move(required);

    auto prepared = std::make_shared<Prepared>();
    const PixelRect area = canvasPixels(canvas_);
    prepared->background = parameters.background.extent() == area
                               ? std::move(parameters.background)
                               : backgroundOnCanvas(parameters.background, area);
    prepared->screen = prepareScreen(style_, canvas_, screenSize_, prepared->background);
    if (webcamTrackID_ && !style_.webcam.hidden) {
        prepared->bubble = prepareBubble(style_.webcam, canvas_);
    }
    prepared_ = std::move(prepared);
}

}  // namespace zarvex
