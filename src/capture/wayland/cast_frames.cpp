#include "capture/wayland/cast_frames.h"

#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale_argb.h>

#include <algorithm>
#include <cmath>

namespace zarvex::wayland {
namespace {

constexpr std::uint32_t kOpaque = 0xff000000u;

int rounded(double value) {
    return static_cast<int>(std::lround(value));
}

std::uint32_t* pixelRow(const VideoFrame& frame, int y) {
    return reinterpret_cast<std::uint32_t*>(frame.row(0, y));
}

void fillBlackOutside(VideoFrame& frame, const PixelRect& keep) {
    for (int y = 0; y < frame.height; ++y) {
        std::uint32_t* row = pixelRow(frame, y);
        if (y < keep.y || y >= keep.maxY()) {
            std::fill_n(row, frame.width, kOpaque);
            continue;
        }
        std::fill_n(row, std::clamp(keep.x, 0, frame.width), kOpaque);
        const int right = std::clamp(keep.maxX(), 0, frame.width);
        std::fill_n(row + right, frame.width - right, kOpaque);
    }
}

// Converts width × height picture pixels starting at `in` into premultiplied
// BGRA at `out`.
void convertPixels(const std::uint8_t* in, int inStride, CastPixelFormat format, bool opaque,
                   std::uint8_t* out, int outStride, int width, int height) {
    const bool swapped = format == CastPixelFormat::rgbx || format == CastPixelFormat::rgba;
    if (swapped) {
        libyuv::ABGRToARGB(in, inStride, out, outStride, width, height);
    } else {
        libyuv::ARGBCopy(in, inStride, out, outStride, width, height);
    }
    const bool hasAlpha = format == CastPixelFormat::bgra || format == CastPixelFormat::rgba;
    if (opaque || !hasAlpha) {
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(out + std::ptrdiff_t(y) * outStride);
            for (int x = 0; x < width; ++x) {
                row[x] |= kOpaque;
            }
        }
    } else {
        libyuv::ARGBAttenuate(out, outStride, out, outStride, width, height);
    }
}

}  // namespace

CastPlacement placeCastPicture(int pictureWidth, int pictureHeight, const Size& contentSize,
                               const std::optional<Rect>& sourceRect, double pointPixelScale,
                               int frameWidth, int frameHeight) {
    const PixelRect picture{0, 0, pictureWidth, pictureHeight};
    const PixelRect frame{0, 0, frameWidth, frameHeight};
    if (picture.isEmpty() || frame.isEmpty()) {
        return {};
    }
    if (!sourceRect) {
        const double scale =
            std::min(double(frameWidth) / pictureWidth, double(frameHeight) / pictureHeight);
        const int width = std::clamp(rounded(pictureWidth * scale), 1, frameWidth);
        const int height = std::clamp(rounded(pictureHeight * scale), 1, frameHeight);
        return {picture, {(frameWidth - width) / 2, (frameHeight - height) / 2, width, height}};
    }
    // Picture pixels per content point; the picture may be denser than the
    // points (a scaled output) or, on some desktops, sparser.
    const double densityX = contentSize.width > 0 ? pictureWidth / contentSize.width : 1.0;
    const double densityY = contentSize.height > 0 ? pictureHeight / contentSize.height : 1.0;
    const double scale = pointPixelScale > 0 ? pointPixelScale : 1.0;
    const PixelRect wanted{rounded(sourceRect->x * densityX), rounded(sourceRect->y * densityY),
                           std::max(1, rounded(frameWidth * densityX / scale)),
                           std::max(1, rounded(frameHeight * densityY / scale))};
    const PixelRect shown = wanted.intersection(picture);
    if (shown.isEmpty()) {
        return {};
    }
    // Frame pixels per picture pixel of the wanted part (1 unless the densities differ).
    const double scaleX = double(frameWidth) / wanted.width;
    const double scaleY = double(frameHeight) / wanted.height;
    const int left = rounded((shown.x - wanted.x) * scaleX);
    const int top = rounded((shown.y - wanted.y) * scaleY);
    const int right = rounded((shown.maxX() - wanted.x) * scaleX);
    const int bottom = rounded((shown.maxY() - wanted.y) * scaleY);
    return {shown, PixelRect{left, top, right - left, bottom - top}.intersection(frame)};
}

void drawCastPicture(const CastPicture& picture, const CastPlacement& placement, bool opaque,
                     VideoFrame& frame, VideoFrame& scratch) {
    const PixelRect& from = placement.source;
    const PixelRect& to = placement.destination;
    fillBlackOutside(frame, to);
    if (from.isEmpty() || to.isEmpty()) {
        return;
    }
    const std::uint8_t* in = picture.data + std::ptrdiff_t(from.y) * picture.stride + from.x * 4;
    std::uint8_t* out = frame.row(0, to.y) + std::ptrdiff_t(to.x) * 4;
    if (from.width == to.width && from.height == to.height) {
        convertPixels(in, picture.stride, picture.format, opaque, out, frame.stride[0], to.width,
                      to.height);
        return;
    }
    if (scratch.width != from.width || scratch.height != from.height) {
        scratch = VideoFrame::allocate(PixelFormat::bgra, from.width, from.height);
    }
    convertPixels(in, picture.stride, picture.format, opaque, scratch.data[0], scratch.stride[0],
                  from.width, from.height);
    libyuv::ARGBScale(scratch.data[0], scratch.stride[0], from.width, from.height, out,
                      frame.stride[0], to.width, to.height, libyuv::kFilterBilinear);
}

}  // namespace zarvex::wayland
