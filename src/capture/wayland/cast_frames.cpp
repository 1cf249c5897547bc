#include "capture/wayland/cast_frames.h"

#include "capture/frame_fill.h"

#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale_argb.h>

#include <algorithm>
#include <cmath>

namespace zarvex::wayland {
namespace {

int rounded(double value) {
    return static_cast<int>(std::lround(value));
}

void fillBlackOutside(VideoFrame& frame, const PixelRect& keep) {
    const int w = frame.width;
    const int h = frame.height;
    fillBlack(frame, {0, 0, w, keep.y});
    fillBlack(frame, {0, keep.maxY(), w, h - keep.maxY()});
    fillBlack(frame, {0, keep.y, keep.x, keep.height});
    fillBlack(frame, {keep.maxX(), keep.y, w - keep.maxX(), keep.height});
}

// Converts width × height picture pixels starting at `in` into premultiplied
// BGRA at `out`.
void convertPixels(const std::uint8_t* in, int inStride, CastPixelFormat format, bool opaque,
                   std::uint8_t* out, int outStride, int width, int height) {
    const bool swapped = format == CastPixelFormat::rgbx || format == CastPixelFormat::rgba;
    const bool hasAlpha = format == CastPixelFormat::bgra || format == CastPixelFormat::rgba;
    if (swapped) {
        libyuv::ABGRToARGB(in, inStride, out, outStride, width, height);
        in = out;
        inStride = outStride;
    }
    if (opaque || !hasAlpha) {
        copyOpaque(in, inStride, out, outStride, width, height);
    } else if (swapped) {
        libyuv::ARGBAttenuate(out, outStride, out, outStride, width, height);
    } else {
        libyuv::ARGBAttenuate(in, inStride, out, outStride, width, height);
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
