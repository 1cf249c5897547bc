#include "render/video_composition.h"

#include "render/background.h"
#include "render/geometry.h"

namespace zarvex {

const VideoCompositionInstruction* VideoComposition::instructionAt(MediaTime time) const {
    for (const auto& instruction : instructions) {
        const MediaTimeRange& range = instruction->timeRange();
        if (range.start <= time && time < addTimes(range.start, range.duration)) {
            return instruction.get();
        }
    }
    return instructions.empty() ? nullptr : instructions.back().get();
}

Size renderSizeFor(Size canvas, double scale) {
    if (scale == 1.0) {
        return canvas;
    }
    return evenPixelSize(canvas.width * scale, canvas.height * scale);
}

StyleSettings scaledStyle(const StyleSettings& style, double scale) {
    if (scale == 1.0) {
        return style;
    }
    StyleSettings scaled = style;
    scaled.cornerRadius *= scale;
    scaled.shadow.blur *= scale;
    scaled.shadow.offsetY *= scale;
    return scaled;
}

std::string backgroundCacheKey(const BackgroundStyle& background, Size canvas) {
    std::string json;
    try {
        json = compactJson(toJson(background));
    } catch (const EncodeError&) {
        // Not encodable (a non-finite angle): such backgrounds share the empty text.
    }
    const auto side = [](double value) { return std::to_string(static_cast<long long>(value)); };
    return json + "|" + side(canvas.width) + "x" + side(canvas.height);
}

Image BackgroundCache::background(const BackgroundStyle& background, Size canvas) {
    std::string key = backgroundCacheKey(background, canvas);
    if (entry_ && entry_->first == key) {
        return entry_->second;
    }
    Image image = makeBackground(background, canvas);
    entry_.emplace(std::move(key), image);
    return image;
}

VideoComposition scaledVideoComposition(const VideoComposition& composition, double scale,
                                        BackgroundCache& cache) {
    VideoComposition scaled = composition;
    if (scale == 1.0) {
        return scaled;
    }
    scaled.renderSize = renderSizeFor(composition.renderSize, scale);
    for (auto& instruction : scaled.instructions) {
        const auto* style = dynamic_cast<const StyleInstruction*>(instruction.get());
        if (style == nullptr) {
            continue;
        }
        StyleInstruction::Parameters parameters = style->parameters();
        parameters.canvas = renderSizeFor(parameters.canvas, scale);
        parameters.style = scaledStyle(parameters.style, scale);
        parameters.background = cache.background(parameters.style.background, parameters.canvas);
        instruction = std::make_shared<const StyleInstruction>(std::move(parameters));
    }
    return scaled;
}

VideoComposition makeStyledVideoComposition(const VideoCompositionSource& source, double scale,
                                            BackgroundCache& cache) {
    const Size canvas = canvasSize(source.style.aspect, source.screenSize);
    const Size renderSize = renderSizeFor(canvas, scale);

    StyleInstruction::Parameters parameters;
    parameters.timeRange = {MediaTime::zero(), source.duration};
    parameters.style = scaledStyle(source.style, scale);
    parameters.screenTrackID = source.screenTrackID;
    parameters.webcamTrackID = source.webcamTrackID;
    parameters.canvas = renderSize;
    parameters.background = cache.background(source.style.background, renderSize);
    if (source.style.ripplesEnabled()) {
        parameters.clicks = source.clicks;
    }
    parameters.screenSize = source.screenSize;
    parameters.zoom = source.zoom;

    VideoComposition composition;
    composition.renderSize = renderSize;
    composition.frameDuration = {1, 60};
    composition.instructions.push_back(
        std::make_shared<const StyleInstruction>(std::move(parameters)));
    return composition;
}

}  // namespace zarvex
