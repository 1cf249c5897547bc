#include "editor/style_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "render/geometry.h"

namespace zarvex {
namespace {

// Slider values are binary fractions of their range: 0.29 arrives as
// 0.28999…, whose hundredfold must still show 29.
constexpr double kTextTolerance = 1e-9;

long long truncated(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    return static_cast<long long>(
        std::trunc(value + (value < 0 ? -kTextTolerance : kTextTolerance)));
}

}  // namespace

BackgroundKind backgroundKindOf(const BackgroundStyle& background) {
    if (background.asSolid() != nullptr) {
        return BackgroundKind::solid;
    }
    if (background.asImage() != nullptr) {
        return BackgroundKind::image;
    }
    return BackgroundKind::gradients;
}

std::optional<BackgroundStyle> backgroundForTab(BackgroundKind kind,
                                                const BackgroundStyle& current) {
    switch (kind) {
        case BackgroundKind::gradients:
            if (current.asGradient() == nullptr) {
                return BackgroundStyle::gradient({{"#FF5F6D", "#FFC371"}, 45});
            }
            break;
        case BackgroundKind::solid:
            if (current.asSolid() == nullptr) {
                return BackgroundStyle::solid(kTabSolidColor);
            }
            break;
        case BackgroundKind::image:
            break;
    }
    return std::nullopt;
}

double SliderRange::clamp(double value) const {
    if (std::isnan(value)) {
        return minimum;
    }
    return std::clamp(value, minimum, maximum);
}

std::string sliderValueText(double value, ValueFormat format) {
    switch (format) {
        case ValueFormat::fraction:
            return std::to_string(truncated(value * 100)) + "%";
        case ValueFormat::points:
            return std::to_string(truncated(value));
        case ValueFormat::degrees:
            return std::to_string(truncated(value)) + "°";
        case ValueFormat::magnification: {
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", value);
            std::string shown = text;
            if (shown.ends_with('0')) {
                shown.pop_back();
            }
            return shown + "×";
        }
    }
    return {};
}

double shownAngle(const BackgroundStyle& background) {
    const GradientSpec* gradient = background.asGradient();
    return gradient != nullptr ? gradient->angle : 0;
}

std::string shownSolidColor(const BackgroundStyle& background) {
    const SolidBackground* solid = background.asSolid();
    return solid != nullptr ? solid->hex : kTabSolidColor;
}

StyleSettings withGradientAngle(StyleSettings style, double angle) {
    if (const GradientSpec* gradient = style.background.asGradient()) {
        GradientSpec changed = *gradient;
        changed.angle = angle;
        style.background = BackgroundStyle::gradient(std::move(changed));
    }
    return style;
}

StyleSettings withBubbleCorner(StyleSettings style, WebcamSpec::Corner corner) {
    style.webcam.corner = corner;
    style.webcam.positionX.reset();
    style.webcam.positionY.reset();
    return style;
}

std::optional<WebcamSpec::Corner> shownBubbleCorner(const WebcamSpec& webcam, Size canvas) {
    if (!webcam.positionX || !webcam.positionY) {
        return webcam.corner;
    }
    const Rect placed = bubbleRect(webcam, canvas);
    const double tolerance = kCornerMatchFraction * std::min(canvas.width, canvas.height);
    for (const WebcamSpec::Corner corner : allCases<WebcamSpec::Corner>()) {
        WebcamSpec atCorner = webcam;
        atCorner.corner = corner;
        atCorner.positionX.reset();
        atCorner.positionY.reset();
        const Rect there = bubbleRect(atCorner, canvas);
        if (std::abs(there.x - placed.x) <= tolerance &&
            std::abs(there.y - placed.y) <= tolerance) {
            return corner;
        }
    }
    return std::nullopt;
}

std::optional<std::string> presetNameToSave(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return std::string(text);
}

}  // namespace zarvex
