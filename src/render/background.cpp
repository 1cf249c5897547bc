#include "render/background.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "media/image_loader.h"
#include "render/scaler.h"

namespace zarvex {
namespace {

// Colours along the gradient, sampled finely enough that neighbouring
// entries differ by less than one 8-bit step.
constexpr int kGradientSteps = 4096;

std::vector<Bgra> gradientTable(const std::vector<Color>& colors) {
    std::vector<Bgra> table(kGradientSteps + 1);
    const std::size_t segments = colors.size() - 1;
    for (int i = 0; i <= kGradientSteps; ++i) {
        const double t = double(i) / kGradientSteps;
        if (segments == 0) {
            table[i] = premultiplied(colors[0]);
            continue;
        }
        const double position = t * double(segments);
        const std::size_t k = std::min(static_cast<std::size_t>(position), segments - 1);
        const double f = position - double(k);
        const Color& a = colors[k];
        const Color& b = colors[k + 1];
        table[i] =
            premultiplied({a.red + (b.red - a.red) * f, a.green + (b.green - a.green) * f,
                           a.blue + (b.blue - a.blue) * f, a.alpha + (b.alpha - a.alpha) * f});
    }
    return table;
}

Image filled(const PixelRect& area, const Color& color) {
    Image image(area);
    image.fill(premultiplied(color));
    return image;
}

Image imageFill(const VideoFrame& picture, const PixelRect& canvas) {
    const double s =
        std::max(double(canvas.width) / picture.width, double(canvas.height) / picture.height);
    // Whole-pixel scaled size, never smaller than the canvas it must cover.
    const auto scaled = [&](int side, int minimum) {
        return std::max(minimum, static_cast<int>(std::min(std::lround(side * s), 1L << 30)));
    };
    const int sw = scaled(picture.width, canvas.width);
    const int sh = scaled(picture.height, canvas.height);
    Image image(canvas);
    ScaleScratch scratch;
    scalePicture(picture, {0, 0, picture.width, picture.height}, sw, sh,
                 {(sw - canvas.width) / 2, (sh - canvas.height) / 2, canvas.width, canvas.height},
                 image.mutableRow(0), image.stride(), scratch);
    return image;
}

}  // namespace

Image gradientImage(const std::vector<std::string>& colors, double angleDegrees, Size size) {
    const PixelRect area = canvasPixels(size);
    Image image(area);
    if (image.isEmpty() || colors.empty()) {
        return image;
    }
    std::vector<Color> parsed;
    parsed.reserve(colors.size());
    for (const std::string& text : colors) {
        parsed.push_back(colorFromHex(text));
    }
    const std::vector<Bgra> table = gradientTable(parsed);

    const double w = area.width;
    const double h = area.height;
    const double theta = angleDegrees * std::numbers::pi / 180;
    const double s = std::isfinite(theta) ? std::sin(theta) : 0;
    const double c = std::isfinite(theta) ? std::cos(theta) : 1;
    const double half = (std::abs(s * h) + std::abs(c * w)) / 2;
    const double startX = w / 2 - c * half;
    const double startY = h / 2 - s * half;
    const double dx = 2 * c * half;
    const double dy = 2 * s * half;
    const double lengthSquared = dx * dx + dy * dy;
    // t of a point is its projection on start→end, 0 at start and 1 at end.
    const double tx = lengthSquared > 0 ? dx / lengthSquared : 0;
    const double ty = lengthSquared > 0 ? dy / lengthSquared : 0;
    for (int row = 0; row < area.height; ++row) {
        const double py = h - row - 0.5;  // y up
        const double rowStart = (0.5 - startX) * tx + (py - startY) * ty;
        auto* out = reinterpret_cast<Bgra*>(image.mutableRow(row));
        for (int x = 0; x < area.width; ++x) {
            const double t = std::clamp(rowStart + x * tx, 0.0, 1.0);
            out[x] = table[static_cast<std::size_t>(t * kGradientSteps + 0.5)];
        }
    }
    return image;
}

Image makeBackground(const BackgroundStyle& background, Size canvas) {
    const PixelRect area = canvasPixels(canvas);
    if (const auto* solid = background.asSolid()) {
        return filled(area, colorFromHex(solid->hex));
    }
    if (const auto* gradient = background.asGradient()) {
        return gradientImage(gradient->colors, gradient->angle, canvas);
    }
    const auto* file = background.asImage();
    if (area.isEmpty()) {
        return Image();
    }
    const std::optional<VideoFrame> picture = loadImage(file->path);
    if (!picture || picture->empty() || picture->format != PixelFormat::bgra) {
        return filled(area, kMissingImageColor);
    }
    return imageFill(*picture, area);
}

}  // namespace zarvex
