#include "render/style_instruction.h"

#include <algorithm>
#include <cmath>
#include <mutex>

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
                   screen.base, area);
    }
    return screen;
}

struct StyleInstruction::Lazy {
    std::once_flag once;
    Image background;  // as given
    std::optional<Prepared> prepared;
};

StyleInstruction::StyleInstruction(Parameters parameters)
    : timeRange_(parameters.timeRange),
      style_(std::move(parameters.style)),
      screenTrackID_(parameters.screenTrackID),
      webcamTrackID_(parameters.webcamTrackID),
      canvas_(parameters.canvas),
      clicks_(std::move(parameters.clicks)),
      screenSize_(parameters.screenSize),
      zoom_(std::move(parameters.zoom)),
      lazy_(std::make_shared<Lazy>()) {
    std::vector<TrackID> required{screenTrackID_};
    if (webcamTrackID_) {
        required.push_back(*webcamTrackID_);
    }
    requiredSourceTrackIDs_ = std::move(required);
    lazy_->background = std::move(parameters.background);
}

StyleInstruction::Parameters StyleInstruction::parameters() const {
    return {timeRange_,        style_,  screenTrackID_, webcamTrackID_, canvas_,
            lazy_->background, clicks_, screenSize_,    zoom_};
}

const StyleInstruction::Prepared& StyleInstruction::prepared() const {
    // An exception leaves the flag unset, so the next use tries again.
    std::call_once(lazy_->once, [this] {
        Prepared prepared;
        const PixelRect area = canvasPixels(canvas_);
        prepared.background = lazy_->background.extent() == area
                                  ? lazy_->background
                                  : backgroundOnCanvas(lazy_->background, area);
        prepared.screen = prepareScreen(style_, canvas_, screenSize_, prepared.background);
        if (webcamTrackID_ && !style_.webcam.hidden) {
            prepared.bubble = prepareBubble(style_.webcam, canvas_);
        }
        lazy_->prepared = std::move(prepared);
    });
    return *lazy_->prepared;
}

}  // namespace zarvex
