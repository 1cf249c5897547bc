#include "render/geometry.h"

#include <algorithm>
#include <cmath>

namespace zarvex {
namespace {

// Frame geometry beyond this many pixels from the origin is treated as
// unbounded; it keeps pixel rectangles inside int range.

double aspectRatio(AspectPreset aspect) {
    switch (aspect) {
        case AspectPreset::wide16x9:
            return 16.0 / 9.0;
        case AspectPreset::vertical9x16:
            return 0.5625;
        case AspectPreset::portrait4x5:
            return 0.8;
        case AspectPreset::original:
        case AspectPreset::square:
            break;
    }
    return 1;
}

}  // namespace

Size canvasSize(AspectPreset aspect, Size screenSize) {
    const double w = screenSize.width;
    const double h = screenSize.height;
    if (aspect == AspectPreset::original || w <= 0 || h <= 0) {
        return evenPixelSize(w, h);
    }
    if (aspect == AspectPreset::square) {
        return h > w ? evenPixelSize(h, h) : evenPixelSize(w, w);
    }
    const double r = aspectRatio(aspect);
    if (h <= w / r) {
        return evenPixelSize(w, w / r);
    }
    return evenPixelSize(h * r, h);
}

Rect bubbleRect(const WebcamSpec& webcam, Size canvas) {
    const double w = canvas.width;
    const double h = canvas.height;
    const double size = webcam.sizeFraction * h;
    if (webcam.positionX && webcam.positionY) {
        // Lower bound first, then the upper one: a bubble larger than the
        // canvas ends up flush with the top or right edge.
        const double x = std::min(w - size, std::max(0.0, *webcam.positionX * w - size / 2));
        const double y = std::min(h - size, std::max(0.0, *webcam.positionY * h - size / 2));
        return {x, y, size, size};
    }
    const double m = webcam.marginFraction * std::min(w, h);
    switch (webcam.corner) {
        case WebcamSpec::Corner::topLeft:
            return {m, h - m - size, size, size};
        case WebcamSpec::Corner::topRight:
            return {w - m - size, h - m - size, size, size};
        case WebcamSpec::Corner::bottomLeft:
            return {m, m, size, size};
        case WebcamSpec::Corner::bottomRight:
            break;
    }
    return {w - m - size, m, size, size};
}

std::optional<ScreenLayout> layoutScreen(const StyleSettings& style, Size canvas, Size screenSize) {
    const Rect canvasRect{0, 0, canvas.width, canvas.height};
    const double inset = std::min(canvas.width, canvas.height) * style.paddingFraction;
    ScreenLayout layout;
    layout.contentRect = canvasRect.insetBy(inset, inset);
    const double sw = screenSize.width;
    const double sh = screenSize.height;
    if (!(sw > 0) || !(sh > 0)) {
        return std::nullopt;
    }
    const double k = std::min(layout.contentRect.width / sw, layout.contentRect.height / sh);
    const double fw = sw * k;
    const double fh = sh * k;
    // A padding of half the canvas or more leaves nothing to place the video in.
    if (!(fw > 0) || !(fh > 0) || !std::isfinite(fw) || !std::isfinite(fh) ||
        !std::isfinite(layout.contentRect.midX()) || !std::isfinite(layout.contentRect.midY())) {
        return std::nullopt;
    }
    layout.scale = k;
    layout.screenRect = {layout.contentRect.midX() - fw / 2, layout.contentRect.midY() - fh / 2, fw,
                         fh};
    const double radius = std::min(style.cornerRadius, std::min(fw, fh) * 0.5);
    layout.cornerRadius = radius > 0 ? radius : 0;  // negative and NaN radii draw square corners
    return layout;
}

std::optional<RippleRing> rippleAt(const RecordedClick& click, double now, const Rect& screenRect) {
    // Composition times and click times are both rounded to doubles; a frame at
    // exactly t + 0.45 s can land a few ulps outside the window, so the ends get
    // a tolerance far below one frame.
    constexpr double kTolerance = 1e-9;
    const double dt = now - click.t;
    if (!(dt >= -kTolerance && dt <= kRippleSeconds + kTolerance)) {
        return std::nullopt;
    }
    const double p = std::clamp(dt / kRippleSeconds, 0.0, 1.0);
    const double h = screenRect.height;
    RippleRing ring;
    ring.center = {screenRect.minX() + screenRect.width * click.x,
                   screenRect.minY() + h * (1 - click.y)};
    ring.outerRadius = std::max(6.0, h * 0.012) + h * p * 0.035;
    ring.opacity = (1 - p) * 0.85;
    const double ringWidth = std::max(2.5, ring.outerRadius * 0.3);
    ring.innerRadius = std::max(ring.outerRadius - ringWidth, 0.0);
    if (!std::isfinite(ring.center.x) || !std::isfinite(ring.center.y) ||
        !std::isfinite(ring.outerRadius)) {
        return std::nullopt;
    }
    return ring;
}

PixelRect canvasPixels(Size canvas) {
    const auto fits = [](double side) { return side >= 1 && side < kMaxCanvasSide + 1; };
    if (!fits(canvas.width) || !fits(canvas.height)) {
        return {};
    }
    return {0, 0, static_cast<int>(canvas.width), static_cast<int>(canvas.height)};
}

}  // namespace zarvex
