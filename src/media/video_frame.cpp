#include "media/video_frame.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace zarvex {
namespace {

constexpr std::size_t kAlignment = 64;

int alignedStride(int bytes) {
    return static_cast<int>((static_cast<std::size_t>(bytes) + kAlignment - 1) / kAlignment *
                            kAlignment);
}

struct Layout {
    std::array<int, 3> stride{};
    std::array<std::size_t, 3> offset{};
    std::size_t total = 0;
};

Layout layoutFor(PixelFormat format, int width, int height) {
    Layout layout;
    if (format == PixelFormat::bgra) {
        layout.stride[0] = alignedStride(width * 4);
        layout.total = std::size_t(layout.stride[0]) * std::size_t(height);
        return layout;
    }
    const int chromaWidth = (width + 1) / 2;
    const int chromaHeight = (height + 1) / 2;
    layout.stride = {alignedStride(width), alignedStride(chromaWidth), alignedStride(chromaWidth)};
    layout.offset[1] = std::size_t(layout.stride[0]) * std::size_t(height);
    layout.offset[2] = layout.offset[1] + std::size_t(layout.stride[1]) * std::size_t(chromaHeight);
    layout.total = layout.offset[2] + std::size_t(layout.stride[2]) * std::size_t(chromaHeight);
    return layout;
}

struct AlignedFree {
    void operator()(void* p) const { std::free(p); }
};

std::shared_ptr<std::uint8_t> allocateBytes(std::size_t size) {
    void* p = std::aligned_alloc(kAlignment, (size + kAlignment - 1) / kAlignment * kAlignment);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    std::memset(p, 0, size);
    return std::shared_ptr<std::uint8_t>(static_cast<std::uint8_t*>(p), AlignedFree{});
}

VideoFrame frameOver(PixelFormat format, int width, int height, const Layout& layout,
                     std::uint8_t* base) {
    VideoFrame frame;
    frame.format = format;
    frame.width = width;
    frame.height = height;
    for (int plane = 0; plane < (format == PixelFormat::bgra ? 1 : 3); ++plane) {
        frame.data[plane] = base + layout.offset[plane];
        frame.stride[plane] = layout.stride[plane];
    }
    return frame;
}

}  // namespace

VideoFrame VideoFrame::allocate(PixelFormat format, int width, int height) {
    const Layout layout = layoutFor(format, width, height);
    auto bytes = allocateBytes(layout.total);
    VideoFrame frame = frameOver(format, width, height, layout, bytes.get());
    frame.storage = std::move(bytes);
    return frame;
}

struct FramePool::Shared {
    std::mutex mutex;
    std::vector<std::shared_ptr<std::uint8_t>> free;
    bool open = true;
};

FramePool::FramePool(PixelFormat format, int width, int height)
    : format_(format), width_(width), height_(height), shared_(std::make_shared<Shared>()) {}

FramePool::~FramePool() {
    std::lock_guard lock(shared_->mutex);
    shared_->open = false;
    shared_->free.clear();
}

VideoFrame FramePool::acquire() {
    const Layout layout = layoutFor(format_, width_, height_);
    std::shared_ptr<std::uint8_t> bytes;
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->free.empty()) {
            bytes = std::move(shared_->free.back());
            shared_->free.pop_back();
        }
    }
    if (!bytes) {
        bytes = allocateBytes(layout.total);
    }
    VideoFrame frame = frameOver(format_, width_, height_, layout, bytes.get());
    // The frame's storage hands the bytes back to the pool when released.
    std::weak_ptr<Shared> pool = shared_;
    frame.storage = std::shared_ptr<void>(bytes.get(), [bytes, pool](void*) mutable {
        if (auto shared = pool.lock()) {
            std::lock_guard lock(shared->mutex);
            if (shared->open) {
                shared->free.push_back(std::move(bytes));
            }
        }
    });
    return frame;
}

}  // namespace zarvex
