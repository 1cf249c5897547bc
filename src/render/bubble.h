#pragma once

#include <optional>

#include "media/video_frame.h"
#include "model/style.h"
#include "render/layers.h"
#include "render/placement.h"

namespace zarvex {

// The corner radius of a rounded-square bubble, as a fraction of its side
// (a circle's is 0.5).
inline constexpr double kBubbleRoundedCornerFraction = 0.18;

// Everything of a webcam bubble that does not depend on the webcam picture.
struct BubbleLayers {
    Rect rect;         // bubbleRect
    PixelRect placed;  // rect's whole pixels; the picture is scaled onto them
    MaskLayer mask;    // circle or rounded square, within the canvas
    ShadowLayer shadow;
};

// Nothing when the bubble has no pixel on the canvas (or a non-finite size).
std::optional<BubbleLayers> prepareBubble(const WebcamSpec& webcam, Size canvas);

// The largest centred square of a width × height picture.
PixelBox centerSquare(int width, int height);

// target = face over shadow over target: the webcam's centre square scaled
// onto the bubble, cut to its shape, not mirrored, no border. Only pixels
// inside `clip` are drawn.
void drawBubble(const BubbleLayers& bubble, const VideoFrame& webcam, Image& target,
                ScratchBuffers& scratch, const PixelRect& clip);

// The pixels the bubble draws on: its face and its shadow.
PixelRect bubbleExtent(const BubbleLayers& bubble);

// The bubble alone (shadow and face over transparency) for `style.webcam`
// on a canvas; the extent is the part of the canvas they touch.
Image renderBubble(const VideoFrame& webcamFrame, Size canvas, const StyleSettings& style);

}  // namespace zarvex
