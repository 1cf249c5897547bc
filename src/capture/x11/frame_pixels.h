#pragma once

// Pixel work of the screen streams on premultiplied BGRA frames. No XCB here,
// so it is tested without a server.

#include <cstdint>
#include <vector>

#include "capture/frame_fill.h"
#include "capture/x11/x11_geometry.h"
#include "media/video_frame.h"

namespace zarvex::x11 {

// copyOpaque() and fillBlack() (frame_fill.h) serve here too: X leaves the
// fourth byte of 24-bit pixels undefined, and a translucent window's pixels
// are shown as the server shows them without a compositor, over black.

// Copies 32-bit pixels as they are.
void copyPixels(const std::uint8_t* source, int sourceStride, std::uint8_t* destination,
                int destinationStride, int width, int height);

// `destination` = `source` when both have the same size; otherwise the source
// scaled to fit inside, centred, with black around it.
void copyScaledToFit(const VideoFrame& source, VideoFrame& destination);

// Where the source's pixel lands in copyScaledToFit's output: the scale factor
// and offset of the fitted picture.
struct FitTransform {
    double scale = 1;
    int offsetX = 0;
    int offsetY = 0;
};
FitTransform fitTransform(int sourceWidth, int sourceHeight, int width, int height);

// A pointer image: premultiplied ARGB words (B, G, R, A bytes in memory).
struct CursorImage {
    int width = 0;
    int height = 0;
    int hotX = 0;
    int hotY = 0;
    std::vector<std::uint32_t> pixels;
};

// The frame pixels the cursor covers with its hot spot at (x, y).
PixelRect cursorBounds(const CursorImage& cursor, int x, int y);

// Draws the cursor with its hot spot at (x, y) of the frame, source over,
// clipped to the frame.
void drawCursor(VideoFrame& frame, const CursorImage& cursor, int x, int y);

}  // namespace zarvex::x11
