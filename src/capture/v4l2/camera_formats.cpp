#include "capture/v4l2/camera_formats.h"

#include <libyuv.h>

#include <algorithm>
#include <tuple>

namespace zarvex {
namespace {

bool isRaw(std::uint32_t fourcc) {
    switch (fourcc) {
        case kFourccYuyv:
        case kFourccUyvy:
        case kFourccNv12:
        case kFourccNv21:
        case kFourccI420:
        case kFourccYv12:
        case kFourccRgb24:
        case kFourccBgr24:
            return true;
        default:
            return false;
    }
}

// Ranking key of a mode; larger is better.
auto rank(const CameraMode& mode) {
    const bool smooth =
        mode.framesPerSecond <= 0 || mode.framesPerSecond >= kSmoothCameraFramesPerSecond;
    return std::make_tuple(smooth, std::int64_t(mode.width) * mode.height,
                           !isCompressedCameraFormat(mode.fourcc), mode.framesPerSecond);
}

// Bytes a picture of this layout needs; 0 when the layout is inconsistent.
std::size_t requiredBytes(const CameraImageLayout& layout) {
    const std::size_t stride = std::size_t(layout.bytesPerLine);
    const std::size_t rows = std::size_t(layout.height);
    const std::size_t chromaRows = (rows + 1) / 2;
    const std::size_t width = std::size_t(layout.width);
    switch (layout.fourcc) {
        case kFourccYuyv:
        case kFourccUyvy:
            return stride >= width * 2 ? stride * rows : 0;
        case kFourccRgb24:
        case kFourccBgr24:
            return stride >= width * 3 ? stride * rows : 0;
        case kFourccNv12:
        case kFourccNv21:
            return stride >= width ? stride * rows + stride * chromaRows : 0;
        case kFourccI420:
        case kFourccYv12:
            return stride >= width ? stride * rows + 2 * (stride / 2) * chromaRows : 0;
        default:
            return 0;
    }
}

}  // namespace

bool isCompressedCameraFormat(std::uint32_t fourcc) {
    return fourcc == kFourccMjpeg || fourcc == kFourccJpeg;
}

bool isConvertibleCameraFormat(std::uint32_t fourcc) {
    return isRaw(fourcc) || isCompressedCameraFormat(fourcc);
}

std::optional<CameraMode> chooseCameraMode(std::span<const CameraMode> modes, int maxWidth,
                                           int maxHeight) {
    const CameraMode* best = nullptr;
    bool bestFits = false;
    for (const auto& mode : modes) {
        if (!isConvertibleCameraFormat(mode.fourcc) || mode.width < 2 || mode.height < 2) {
            continue;
        }
        const bool fits = mode.width <= maxWidth && mode.height <= maxHeight;
        bool better = false;
        if (best == nullptr || fits != bestFits) {
            better = best == nullptr || fits;
        } else if (fits) {
            better = rank(mode) > rank(*best);
        } else {
            // Too large all of them: the smallest picture, then the smoothest.
            const auto area = std::int64_t(mode.width) * mode.height;
            const auto bestArea = std::int64_t(best->width) * best->height;
            better = area < bestArea ||
                     (area == bestArea && std::get<0>(rank(mode)) > std::get<0>(rank(*best)));
        }
        if (better) {
            best = &mode;
            bestFits = fits;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return *best;
}

ColorTags defaultCameraColorTags(std::uint32_t fourcc) {
    return {YuvMatrix::bt601,
            isCompressedCameraFormat(fourcc) ? YuvRange::full : YuvRange::limited};
}

bool convertCameraImage(const CameraImageLayout& layout, std::span<const std::uint8_t> data,
                        VideoFrame& out) {
    const int width = layout.width & ~1;
    const int height = layout.height & ~1;
    if (width < 2 || height < 2 || out.format != PixelFormat::i420 || out.width != width ||
        out.height != height || data.empty()) {
        return false;
    }
    std::uint8_t* y = out.data[0];
    std::uint8_t* u = out.data[1];
    std::uint8_t* v = out.data[2];
    const int sy = out.stride[0];
    const int su = out.stride[1];
    const int sv = out.stride[2];

    if (isCompressedCameraFormat(layout.fourcc)) {
        // The decoder checks the picture against the size it was configured for.
        return layout.width == width && layout.height == height &&
               libyuv::MJPGToI420(data.data(), data.size(), y, sy, u, su, v, sv, width, height,
                                  width, height) == 0;
    }
    const std::size_t needed = requiredBytes(layout);
    if (needed == 0 || data.size() < needed) {
        return false;
    }
    const std::uint8_t* src = data.data();
    const int stride = layout.bytesPerLine;
    const std::size_t lumaBytes = std::size_t(stride) * std::size_t(layout.height);
    switch (layout.fourcc) {
        case kFourccYuyv:
            return libyuv::YUY2ToI420(src, stride, y, sy, u, su, v, sv, width, height) == 0;
        case kFourccUyvy:
            return libyuv::UYVYToI420(src, stride, y, sy, u, su, v, sv, width, height) == 0;
        case kFourccRgb24:
            return libyuv::RAWToI420(src, stride, y, sy, u, su, v, sv, width, height) == 0;
        case kFourccBgr24:
            return libyuv::RGB24ToI420(src, stride, y, sy, u, su, v, sv, width, height) == 0;
        case kFourccNv12:
            return libyuv::NV12ToI420(src, stride, src + lumaBytes, stride, y, sy, u, su, v, sv,
                                      width, height) == 0;
        case kFourccNv21:
            return libyuv::NV21ToI420(src, stride, src + lumaBytes, stride, y, sy, u, su, v, sv,
                                      width, height) == 0;
        case kFourccI420:
        case kFourccYv12: {
            const int chromaStride = stride / 2;
            const std::uint8_t* first = src + lumaBytes;
            const std::uint8_t* second =
                first + std::size_t(chromaStride) * std::size_t((layout.height + 1) / 2);
            const bool uFirst = layout.fourcc == kFourccI420;
            return libyuv::I420Copy(src, stride, uFirst ? first : second, chromaStride,
                                    uFirst ? second : first, chromaStride, y, sy, u, su, v, sv,
                                    width, height) == 0;
        }
        default:
            return false;
    }
}

HostTime cameraFrameTime(std::optional<HostTime> monotonicStamp, HostTime dequeuedAt) {
    constexpr HostTime kOldest = std::chrono::seconds(1);
    if (monotonicStamp && *monotonicStamp <= dequeuedAt &&
        dequeuedAt - *monotonicStamp <= kOldest) {
        return *monotonicStamp;
    }
    return dequeuedAt;
}

}  // namespace zarvex
