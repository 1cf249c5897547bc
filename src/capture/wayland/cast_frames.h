#pragma once

// Pixel work of the screen-cast streams: from the buffers a desktop shares to
// the premultiplied BGRA frames of the capture port. No PipeWire here, so the
// rules are tested without a desktop.

#include <cstdint>
#include <optional>

#include "media/video_frame.h"
#include "model/geometry.h"

namespace zarvex::wayland {

// The 32-bit layouts every desktop offers, named by their bytes in memory.
// The x layouts leave the fourth byte undefined.
enum class CastPixelFormat { bgrx, bgra, rgbx, rgba };

// One shared picture as it arrived: `data` points at its top-left pixel.
struct CastPicture {
    const std::uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
    CastPixelFormat format = CastPixelFormat::bgrx;
};

// Where a frame's pixels come from: `source` (picture pixels) is drawn into
// `destination` (frame pixels), scaled when their sizes differ; the rest of
// the frame is black.
struct CastPlacement {
    PixelRect source;
    PixelRect destination;
    bool operator==(const CastPlacement&) const = default;
};

// How a picture of pictureWidth × pictureHeight showing `contentSize` points
// fills a frame of frameWidth × frameHeight that has `pointPixelScale` pixels
// per point:
//  - with `sourceRect` (content-local points, whole numbers) the frame shows
//    the part of the content from the rectangle's top-left corner, as X11
//    streams do: a picture pixel per frame pixel when the picture's density
//    is the frame's (else scaled by their ratio); parts outside the content
//    stay black;
//  - without it, the whole picture scaled to fit the frame, centred.
CastPlacement placeCastPicture(int pictureWidth, int pictureHeight, const Size& contentSize,
                               const std::optional<Rect>& sourceRect, double pointPixelScale,
                               int frameWidth, int frameHeight);

// Draws the picture into `frame` as `placement` says. `opaque` ignores the
// picture's alpha (a whole screen is opaque whatever the fourth byte says);
// otherwise alpha is premultiplied in. `scratch` is reused between calls to
// hold converted pixels that are then scaled.
void drawCastPicture(const CastPicture& picture, const CastPlacement& placement, bool opaque,
                     VideoFrame& frame, VideoFrame& scratch);

}  // namespace zarvex::wayland
