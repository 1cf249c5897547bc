#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "capture/clock.h"
#include "media/video_frame.h"

namespace zarvex {

// Camera picture formats are named by their four-character codes (the same
// values in V4L2 and libyuv).
constexpr std::uint32_t fourCharCode(char a, char b, char c, char d) {
    return std::uint32_t(std::uint8_t(a)) | std::uint32_t(std::uint8_t(b)) << 8 |
           std::uint32_t(std::uint8_t(c)) << 16 | std::uint32_t(std::uint8_t(d)) << 24;
}

inline constexpr std::uint32_t kFourccYuyv = fourCharCode('Y', 'U', 'Y', 'V');
inline constexpr std::uint32_t kFourccUyvy = fourCharCode('U', 'Y', 'V', 'Y');
inline constexpr std::uint32_t kFourccNv12 = fourCharCode('N', 'V', '1', '2');
inline constexpr std::uint32_t kFourccNv21 = fourCharCode('N', 'V', '2', '1');
inline constexpr std::uint32_t kFourccI420 = fourCharCode('Y', 'U', '1', '2');
inline constexpr std::uint32_t kFourccYv12 = fourCharCode('Y', 'V', '1', '2');
inline constexpr std::uint32_t kFourccRgb24 = fourCharCode('R', 'G', 'B', '3');  // R, G, B bytes
inline constexpr std::uint32_t kFourccBgr24 = fourCharCode('B', 'G', 'R', '3');  // B, G, R bytes
inline constexpr std::uint32_t kFourccMjpeg = fourCharCode('M', 'J', 'P', 'G');
inline constexpr std::uint32_t kFourccJpeg = fourCharCode('J', 'P', 'E', 'G');

bool isConvertibleCameraFormat(std::uint32_t fourcc);
bool isCompressedCameraFormat(std::uint32_t fourcc);

// One way a camera can deliver pictures. framesPerSecond is 0 when the camera
// does not say.
struct CameraMode {
    std::uint32_t fourcc = 0;
    int width = 0;
    int height = 0;
    double framesPerSecond = 0;
    bool operator==(const CameraMode&) const = default;
};

inline constexpr int kPreferredCameraWidth = 1280;
inline constexpr int kPreferredCameraHeight = 720;
inline constexpr double kSmoothCameraFramesPerSecond = 24;

// The mode to capture in: among the convertible ones, those that fit within
// the preferred size (else the smallest there is); then smooth motion (at least
// kSmoothCameraFramesPerSecond, or unknown) before size, size before a raw
// format (which costs no decoding), and that before a higher frame rate.
// Nothing when no mode is convertible.
std::optional<CameraMode> chooseCameraMode(std::span<const CameraMode> modes,
                                           int maxWidth = kPreferredCameraWidth,
                                           int maxHeight = kPreferredCameraHeight);

// How one captured picture lies in its buffer. bytesPerLine is that of the
// first plane (planar formats have chroma rows of half that); it is ignored
// for compressed formats.
struct CameraImageLayout {
    std::uint32_t fourcc = 0;
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;
};

// The colour conventions of a format when the driver states none: JPEG
// pictures are full-range BT.601, raw YUV limited-range BT.601, and RGB
// converts to limited-range BT.601.
ColorTags defaultCameraColorTags(std::uint32_t fourcc);

// Converts one picture into `out`, an I420 frame whose size is the picture's
// rounded down to even sides (odd edges are cropped). Returns false, leaving
// `out` unspecified, when the data is shorter than the layout needs, the
// layout is inconsistent, or a compressed picture cannot be decoded (cameras
// send broken pictures now and then, mostly just after starting).
bool convertCameraImage(const CameraImageLayout& layout, std::span<const std::uint8_t> data,
                        VideoFrame& out);

// The host time of a camera picture: its kernel timestamp when the driver
// stamps on the monotonic clock and the stamp is plausible (not in the
// future and at most a second old), otherwise the time it was dequeued.
HostTime cameraFrameTime(std::optional<HostTime> monotonicStamp, HostTime dequeuedAt);

}  // namespace zarvex
