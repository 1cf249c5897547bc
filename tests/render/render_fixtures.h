#pragma once

#include <cstdint>
#include <vector>

#include "media/video_frame.h"
#include "render/background.h"
#include "render/style_compositor.h"

// Pictures and requests for the compositor tests.
namespace zarvex::testing {

inline constexpr TrackID kScreenTrack = 1;
inline constexpr TrackID kWebcamTrack = 2;

// Opaque colours used as recognisable pictures.
inline constexpr Bgra kRed{0, 0, 255, 255};
inline constexpr Bgra kGreen{0, 255, 0, 255};
inline constexpr Bgra kBlue{255, 0, 0, 255};
inline constexpr Bgra kWhite{255, 255, 255, 255};
inline constexpr Bgra kBlack{0, 0, 0, 255};

VideoFrame solidFrame(int width, int height, Bgra color);

// A smooth, non-uniform picture (gradients in each channel), in BGRA.
VideoFrame patternFrame(int width, int height);

// The BT.709 limited-range I420 conversion of a BGRA frame.
VideoFrame toI420(const VideoFrame& bgra);

// The pixel of a frame at canvas position (x, y), y counted from the bottom.
Bgra canvasPixel(const VideoFrame& frame, int x, int y);

// Whether every channel of two colours is within `tolerance`.
bool near(Bgra a, Bgra b, int tolerance);

// The largest difference of any byte of any plane between two frames of
// equal size and format.
int maxDifference(const VideoFrame& a, const VideoFrame& b);

// A style with nothing but the screen on a solid background: no padding,
// square corners, no shadow.
StyleSettings plainStyle(const std::string& backgroundHex = "#0000FF");

struct InstructionSetup {
    StyleSettings style{};
    Size canvas{320, 180};
    Size screenSize{320, 180};
    std::vector<RecordedClick> clicks{};
    bool webcamTrack = false;
    std::vector<ZoomSegment> zoom{};
};
StyleInstruction makeInstruction(const InstructionSetup& setup);

// Runs one request; fails the test (and returns an empty frame) on an error.
VideoFrame compose(const VideoCompositionInstruction& instruction, double seconds,
                   const VideoFrame* screen, const VideoFrame* webcam = nullptr,
                   PixelFormat output = PixelFormat::bgra);

}  // namespace zarvex::testing
