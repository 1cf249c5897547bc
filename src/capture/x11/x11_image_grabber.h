#pragma once

// Internal to the X11 backend: reads pixels of windows and pixmaps, through
// shared memory where the server allows it (the server writes straight into
// our memory), else through plain GetImage replies.

#include <cstdint>
#include <vector>

#include "capture/x11/x11_connection.h"
#include "capture/x11/x11_geometry.h"

namespace zarvex::x11 {

class ImageGrabber {
  public:
    explicit ImageGrabber(X11Connection& connection);
    ~ImageGrabber();
    ImageGrabber(const ImageGrabber&) = delete;
    ImageGrabber& operator=(const ImageGrabber&) = delete;

    // Pixels of one rectangle: 32 bits each, rows top to bottom.
    struct Piece {
        PixelRect rect;
        const std::uint8_t* data = nullptr;
        int stride = 0;
    };

    // Reads the rectangles (drawable coordinates, inside the drawable) of a
    // drawable of depth 24 or 32, all requests sent before the first reply is
    // awaited. The pieces point into memory of the grabber and stay valid
    // until the next read. False when the server refused (the drawable is gone
    // or smaller than asked); the pieces are then unusable.
    bool read(xcb_drawable_t drawable, const std::vector<PixelRect>& rects,
              std::vector<Piece>& pieces);

    bool usesSharedMemory() const { return mode_ != Mode::plain; }

  private:
    enum class Mode { memfd, sysv, plain };

    void ensureCapacity(std::size_t bytes);
    bool attachMemfd(std::size_t bytes);
    bool attachSysv(std::size_t bytes);
    void release();
    bool readPlain(xcb_drawable_t drawable, const std::vector<PixelRect>& rects,
                   std::vector<Piece>& pieces);

    X11Connection& connection_;
    Mode mode_ = Mode::plain;
    bool sharedMemoryAvailable_ = false;
    std::uint32_t segment_ = 0;
    std::uint8_t* memory_ = nullptr;
    std::size_t capacity_ = 0;
    std::vector<XcbPointer<xcb_get_image_reply_t>> replies_;
};

}  // namespace zarvex::x11
