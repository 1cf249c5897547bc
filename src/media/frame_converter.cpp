#include "media/frame_converter.h"

#include "media/ffmpeg.h"
#include "media/yuv.h"

namespace zarvex {
namespace {

int swsColorspace(YuvMatrix matrix) {
    return matrix == YuvMatrix::bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601;
}

}  // namespace

struct FrameConverter::Scalers {
    SwsContext* context = nullptr;  // owned; sws_getCachedContext reuses or replaces it
    // Output buffers are recycled: a steady stream of frames does not allocate.
    std::unique_ptr<FramePool> bgraPool;
    std::unique_ptr<FramePool> i420Pool;
    ~Scalers() { sws_freeContext(context); }

    VideoFrame acquire(PixelFormat format, int width, int height) {
        std::unique_ptr<FramePool>& pool = format == PixelFormat::bgra ? bgraPool : i420Pool;
        if (!pool || pool->width() != width || pool->height() != height) {
            pool = std::make_unique<FramePool>(format, width, height);
        }
        return pool->acquire();
    }
};

FrameConverter::FrameConverter() : scalers_(std::make_unique<Scalers>()) {}
FrameConverter::~FrameConverter() = default;

VideoFrame FrameConverter::toBgra(const VideoFrame& frame) {
    if (frame.format == PixelFormat::bgra) {
        return frame;
    }
    VideoFrame result = scalers_->acquire(PixelFormat::bgra, frame.width, frame.height);
    convertRegionToBgra(frame, 0, 0, frame.width, frame.height, result.data[0], result.stride[0]);
    return result;
}

VideoFrame FrameConverter::toI420(const VideoFrame& frame, int width, int height, ColorTags color) {
    if (frame.format == PixelFormat::i420 && frame.width == width && frame.height == height &&
        frame.color == color) {
        return frame;
    }
    // The per-frame path of recording: same-size sRGB to BT.709 limited range,
    // through our own kernel (several times faster than swscale here).
    if (frame.format == PixelFormat::bgra && frame.width == width && frame.height == height &&
        color == ColorTags{YuvMatrix::bt709, YuvRange::limited}) {
        VideoFrame result = scalers_->acquire(PixelFormat::i420, width, height);
        result.color = color;
        convertToI420(frame, result);
        return result;
    }
    // swscale converts RGB to YUV with any matrix but keeps the matrix of YUV
    // input, so YUV with other tags goes through RGB first.
    const VideoFrame source =
        frame.format == PixelFormat::i420 && frame.color != color ? toBgra(frame) : frame;
    const bool fromRgb = source.format == PixelFormat::bgra;
    scalers_->context = sws_getCachedContext(
        scalers_->context, source.width, source.height,
        fromRgb ? AV_PIX_FMT_BGRA : AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_YUV420P,
        // Same-size conversion only changes colour: a box average for chroma is
        // enough there and cheaper than bicubic.
        source.width == width && source.height == height ? SWS_BILINEAR : SWS_BICUBIC, nullptr,
        nullptr, nullptr);
    if (scalers_->context == nullptr) {
        throw MediaError("Could not set up the pixel converter");
    }
    const int* coefficients = sws_getCoefficients(swsColorspace(color.matrix));
    const int fullRange = color.range == YuvRange::full ? 1 : 0;
    sws_setColorspaceDetails(scalers_->context, coefficients, fromRgb ? 1 : fullRange, coefficients,
                             fullRange, 0, 1 << 16, 1 << 16);

    VideoFrame result = scalers_->acquire(PixelFormat::i420, width, height);
    result.color = color;
    const std::uint8_t* const sourcePlanes[4] = {source.data[0], source.data[1], source.data[2],
                                                 nullptr};
    const int sourceStrides[4] = {source.stride[0], source.stride[1], source.stride[2], 0};
    std::uint8_t* const planes[4] = {result.data[0], result.data[1], result.data[2], nullptr};
    const int strides[4] = {result.stride[0], result.stride[1], result.stride[2], 0};
    sws_scale(scalers_->context, sourcePlanes, sourceStrides, 0, source.height, planes, strides);
    return result;
}

}  // namespace zarvex
