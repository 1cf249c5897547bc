#include "capture/frame_fill.h"

#include <algorithm>

namespace zarvex {
namespace {

constexpr std::uint32_t kOpaque = 0xff000000u;

}  // namespace

void copyOpaque(const std::uint8_t* source, int sourceStride, std::uint8_t* destination,
                int destinationStride, int width, int height) {
    for (int y = 0; y < height; ++y) {
        const auto* in =
            reinterpret_cast<const std::uint32_t*>(source + std::ptrdiff_t(y) * sourceStride);
        auto* out =
            reinterpret_cast<std::uint32_t*>(destination + std::ptrdiff_t(y) * destinationStride);
        // A plain loop: the compiler turns it into wide OR-and-store.
        for (int x = 0; x < width; ++x) {
            out[x] = in[x] | kOpaque;
        }
    }
}

void fillBlack(VideoFrame& frame, const PixelRect& rect) {
    const PixelRect area = rect.intersection({0, 0, frame.width, frame.height});
    for (int y = area.y; y < area.maxY(); ++y) {
        std::fill_n(reinterpret_cast<std::uint32_t*>(frame.row(0, y)) + area.x, area.width,
                    kOpaque);
    }
}

}  // namespace zarvex
