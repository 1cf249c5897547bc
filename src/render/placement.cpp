#include "render/placement.h"

#include "render/scaler.h"
#include "render/yuv.h"

namespace zarvex {
namespace {

constexpr int kRowAlignment = 64;

int alignedStride(int width) {
    return (4 * width + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

std::uint8_t* reserve(std::vector<std::uint8_t>& buffer, std::size_t bytes) {
    // One spare alignment unit so the rows can start on a 64-byte boundary.
    if (buffer.size() < bytes + kRowAlignment) {
        buffer.resize(bytes + kRowAlignment);
    }
    auto address = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::uintptr_t aligned = (address + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    return buffer.data() + (aligned - address);
}

}  // namespace

Image scratchImage(std::vector<std::uint8_t>& buffer, const IntRect& extent) {
    if (extent.isEmpty()) {
        return Image();
    }
    VideoFrame frame;
    frame.width = extent.width;
    frame.height = extent.height;
    frame.stride[0] = alignedStride(extent.width);
    frame.data[0] = reserve(buffer, std::size_t(frame.stride[0]) * std::size_t(extent.height));
    return Image(frame, extent.x, extent.y);
}

void placeSource(const VideoFrame& source, const PixelBox& region, const IntRect& placed,
                 const IntRect& visible, Image& target, ScratchBuffers& scratch) {
    if (visible.isEmpty() || region.width <= 0 || region.height <= 0) {
        return;
    }
    std::uint8_t* dst = target.mutablePixel(visible.x, visible.maxY() - 1);
    const int clipX = visible.x - placed.x;
    const int clipY = placed.maxY() - visible.maxY();
    const bool sameSize = placed.width == region.width && placed.height == region.height;
    if (source.format == PixelFormat::i420 && sameSize) {
        convertRegionToBgra(source, region.x + clipX, region.y + clipY, visible.width,
                            visible.height, dst, target.stride());
        return;
    }
    const std::uint8_t* pixels = nullptr;
    int stride = 0;
    if (source.format == PixelFormat::bgra) {
        pixels = source.row(0, region.y) + 4 * std::ptrdiff_t(region.x);
        stride = source.stride[0];
    } else {
        // The region is converted first and scaled in BGRA: one scaler for
        // both formats, and the YUV matrix applied at source resolution.
        stride = alignedStride(region.width);
        std::uint8_t* converted =
            reserve(scratch.converted, std::size_t(stride) * std::size_t(region.height));
        convertRegionToBgra(source, region.x, region.y, region.width, region.height, converted,
                            stride);
        pixels = converted;
    }
    scaleBgra(pixels, stride, region.width, region.height, placed.width, placed.height,
              {clipX, clipY, visible.width, visible.height}, dst, target.stride(), scratch.scale);
}

}  // namespace zarvex
