#include "render/placement.h"

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

Image scratchImage(std::vector<std::uint8_t>& buffer, const PixelRect& extent) {
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

void placeSource(const VideoFrame& source, const PixelBox& region, const PixelRect& placed,
                 const PixelRect& visible, Image& target, ScratchBuffers& scratch) {
    if (visible.isEmpty() || region.width <= 0 || region.height <= 0) {
        return;
    }
    scalePicture(
        source, region, placed.width, placed.height,
        {visible.x - placed.x, placed.maxY() - visible.maxY(), visible.width, visible.height},
        target.mutablePixel(visible.x, visible.maxY() - 1), target.stride(), scratch.scale);
}

void placeWindow(const VideoFrame& source, const SourceWindow& window, const PixelRect& placed,
                 const PixelRect& visible, Image& target, ScratchBuffers& scratch) {
    if (visible.isEmpty()) {
        return;
    }
    scaleWindow(
        source, window, placed.width, placed.height,
        {visible.x - placed.x, placed.maxY() - visible.maxY(), visible.width, visible.height},
        target.mutablePixel(visible.x, visible.maxY() - 1), target.stride(), scratch.scale);
}

}  // namespace zarvex
