#include "capture/x11/frame_pixels.h"

#include <libyuv/scale_argb.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zarvex::x11 {
namespace {

std::uint32_t* pixelRow(const VideoFrame& frame, int y) {
    return reinterpret_cast<std::uint32_t*>(frame.row(0, y));
}

}  // namespace

void copyPixels(const std::uint8_t* source, int sourceStride, std::uint8_t* destination,
                int destinationStride, int width, int height) {
    for (int y = 0; y < height; ++y) {
        std::memcpy(destination + std::ptrdiff_t(y) * destinationStride,
                    source + std::ptrdiff_t(y) * sourceStride, std::size_t(width) * 4);
    }
}

FitTransform fitTransform(int sourceWidth, int sourceHeight, int width, int height) {
    if (sourceWidth <= 0 || sourceHeight <= 0) {
        return {};
    }
    const double scale = std::min(double(width) / sourceWidth, double(height) / sourceHeight);
    const int fittedWidth =
        std::clamp(static_cast<int>(std::lround(sourceWidth * scale)), 1, width);
    const int fittedHeight =
        std::clamp(static_cast<int>(std::lround(sourceHeight * scale)), 1, height);
    return {scale, (width - fittedWidth) / 2, (height - fittedHeight) / 2};
}

void copyScaledToFit(const VideoFrame& source, VideoFrame& destination) {
    if (source.width == destination.width && source.height == destination.height) {
        copyPixels(source.data[0], source.stride[0], destination.data[0], destination.stride[0],
                   source.width, source.height);
        return;
    }
    const FitTransform fit =
        fitTransform(source.width, source.height, destination.width, destination.height);
    const int fittedWidth = destination.width - 2 * fit.offsetX;
    const int fittedHeight = destination.height - 2 * fit.offsetY;
    fillBlack(destination, {0, 0, destination.width, destination.height});
    libyuv::ARGBScale(source.data[0], source.stride[0], source.width, source.height,
                      destination.row(0, fit.offsetY) + std::ptrdiff_t(fit.offsetX) * 4,
                      destination.stride[0], fittedWidth, fittedHeight, libyuv::kFilterBilinear);
}

PixelRect cursorBounds(const CursorImage& cursor, int x, int y) {
    return {x - cursor.hotX, y - cursor.hotY, cursor.width, cursor.height};
}

void drawCursor(VideoFrame& frame, const CursorImage& cursor, int x, int y) {
    const PixelRect bounds = cursorBounds(cursor, x, y);
    const PixelRect area = bounds.intersection({0, 0, frame.width, frame.height});
    if (cursor.pixels.size() < std::size_t(cursor.width) * std::size_t(cursor.height)) {
        return;
    }
    for (int row = area.y; row < area.maxY(); ++row) {
        const std::uint32_t* in =
            cursor.pixels.data() + std::size_t(row - bounds.y) * std::size_t(cursor.width);
        std::uint32_t* out = pixelRow(frame, row);
        for (int column = area.x; column < area.maxX(); ++column) {
            const std::uint32_t s = in[column - bounds.x];
            const std::uint32_t inverse = 255 - (s >> 24);
            if (inverse == 255) {
                continue;
            }
            const std::uint32_t d = out[column];
            std::uint32_t result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const std::uint32_t channel =
                    ((s >> shift) & 0xff) + (((d >> shift) & 0xff) * inverse + 127) / 255;
                result |= std::min<std::uint32_t>(channel, 255) << shift;
            }
            out[column] = result;
        }
    }
}

}  // namespace zarvex::x11
