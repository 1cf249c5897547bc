#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace zarvex {

// Pixel layouts that cross module boundaries.
//  - bgra: 32-bit premultiplied B, G, R, A bytes in memory (libyuv calls it
//    "ARGB"); one plane.
//  - i420: planar 8-bit Y, U, V with 2×2 chroma subsampling (yuv420p); three
//    planes; width and height even.
enum class PixelFormat { bgra, i420 };

// How YUV values map to RGB. RGB frames are sRGB and ignore this.
enum class YuvMatrix { bt601, bt709 };
enum class YuvRange { limited, full };

struct ColorTags {
    YuvMatrix matrix = YuvMatrix::bt709;
    YuvRange range = YuvRange::limited;
    bool operator==(const ColorTags&) const = default;
};

// A picture in memory, rows top to bottom. A frame either owns its pixels
// (through `storage`) or views pixels owned elsewhere; copying a VideoFrame
// copies the view, not the pixels.
struct VideoFrame {
    PixelFormat format = PixelFormat::bgra;
    int width = 0;
    int height = 0;
    std::array<std::uint8_t*, 3> data{};
    std::array<int, 3> stride{};
    ColorTags color;
    std::shared_ptr<void> storage;

    bool empty() const { return width <= 0 || height <= 0 || data[0] == nullptr; }
    int planeCount() const { return format == PixelFormat::bgra ? 1 : 3; }
    std::uint8_t* row(int plane, int y) const {
        return data[plane] + std::ptrdiff_t(y) * stride[plane];
    }

    // A new frame owning zeroed (transparent / black-ish) pixels; rows are
    // 64-byte aligned for SIMD kernels.
    static VideoFrame allocate(PixelFormat format, int width, int height);
};

// Recycles frames of one format and size so steady per-frame work does not
// allocate. Thread-safe. A frame returns to the pool when the last copy of it
// is released; frames outliving the pool are simply freed.
class FramePool {
  public:
    FramePool(PixelFormat format, int width, int height);
    ~FramePool();
    FramePool(const FramePool&) = delete;
    FramePool& operator=(const FramePool&) = delete;

    VideoFrame acquire();

    PixelFormat format() const { return format_; }
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    struct Shared;
    PixelFormat format_;
    int width_;
    int height_;
    std::shared_ptr<Shared> shared_;
};

}  // namespace zarvex
