#include <gtest/gtest.h>

#include <vector>

#include "capture/v4l2/camera_formats.h"

namespace zarvex {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kH264 = fourCharCode('H', '2', '6', '4');
constexpr std::uint32_t kGrey = fourCharCode('G', 'R', 'E', 'Y');

TEST(ChooseCameraMode, PrefersSmoothMotionThenTheLargestPictureUpTo720pThenRawPixels) {
    using Modes = std::vector<CameraMode>;
    struct Case {
        Modes modes;
        CameraMode chosen;
    };
    for (const Case& c : std::vector<Case>{
             // A typical USB camera: raw 720p over USB 2 only manages 10 frames a second.
             {{{kFourccYuyv, 640, 480, 30},
               {kFourccYuyv, 1280, 720, 10},
               {kFourccMjpeg, 1920, 1080, 30},
               {kFourccMjpeg, 1280, 720, 30},
               {kFourccMjpeg, 640, 480, 30}},
              {kFourccMjpeg, 1280, 720, 30}},
             {{{kFourccMjpeg, 1280, 720, 30}, {kFourccYuyv, 1280, 720, 30}},
              {kFourccYuyv, 1280, 720, 30}},
             {{{kFourccYuyv, 640, 480, 30}, {kFourccMjpeg, 960, 540, 30}},
              {kFourccMjpeg, 960, 540, 30}},
             {{{kFourccYuyv, 1280, 720, 7.5}, {kFourccYuyv, 640, 480, 30}},
              {kFourccYuyv, 640, 480, 30}},
             // A camera that does not state its rate is taken at its word.
             {{{kFourccYuyv, 1280, 720, 0}, {kFourccYuyv, 640, 480, 30}},
              {kFourccYuyv, 1280, 720, 0}},
             // Only larger modes: the smallest.
             {{{kFourccMjpeg, 3840, 2160, 30},
               {kFourccMjpeg, 1920, 1080, 30},
               {kFourccMjpeg, 2560, 1440, 30}},
              {kFourccMjpeg, 1920, 1080, 30}},
             // A mode that fits beats any that does not, wherever it is listed.
             {{{kFourccMjpeg, 1920, 1080, 30}, {kFourccYuyv, 320, 240, 5}},
              {kFourccYuyv, 320, 240, 5}},
             // 1280 wide but taller than 720 does not fit.
             {{{kFourccYuyv, 1280, 960, 30}, {kFourccYuyv, 1024, 576, 30}},
              {kFourccYuyv, 1024, 576, 30}},
             {{{kH264, 1280, 720, 30}, {kFourccJpeg, 640, 480, 15}}, {kFourccJpeg, 640, 480, 15}},
         }) {
        EXPECT_EQ(chooseCameraMode(c.modes), c.chosen) << c.chosen.width;
    }
    EXPECT_FALSE(chooseCameraMode({}).has_value());
    const Modes unusable = {{kH264, 1280, 720, 30}, {kGrey, 640, 480, 30}, {kFourccYuyv, 0, 0, 30}};
    EXPECT_FALSE(chooseCameraMode(unusable).has_value());
}

// A frame of the output size with every byte marked, so untouched bytes show.
VideoFrame outputFrame(int width, int height) {
    auto frame = VideoFrame::allocate(PixelFormat::i420, width, height);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? height : height / 2;
        for (int y = 0; y < rows; ++y) {
            std::fill_n(frame.row(plane, y), plane == 0 ? width : width / 2, 0x11);
        }
    }
    return frame;
}

// True when every pixel of `plane` equals `value` within `tolerance`.
bool planeIs(const VideoFrame& frame, int plane, int value, int tolerance = 0) {
    const int width = plane == 0 ? frame.width : frame.width / 2;
    const int height = plane == 0 ? frame.height : frame.height / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (std::abs(frame.row(plane, y)[x] - value) > tolerance) {
                return false;
            }
        }
    }
    return true;
}

void expectYuv(const VideoFrame& frame, int y, int u, int v, int tolerance = 0) {
    EXPECT_TRUE(planeIs(frame, 0, y, tolerance)) << "Y " << y;
    EXPECT_TRUE(planeIs(frame, 1, u, tolerance)) << "U " << u;
    EXPECT_TRUE(planeIs(frame, 2, v, tolerance)) << "V " << v;
}

// Packed 4:2:2 rows of one colour with `padding` junk bytes after each row.
Bytes packed422(std::uint32_t fourcc, int width, int height, int padding, std::uint8_t y,
                std::uint8_t u, std::uint8_t v) {
    Bytes bytes;
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width / 2; ++x) {
            const Bytes quad = fourcc == kFourccYuyv ? Bytes{y, u, y, v} : Bytes{u, y, v, y};
            bytes.insert(bytes.end(), quad.begin(), quad.end());
        }
        bytes.insert(bytes.end(), std::size_t(padding), 0xEE);
    }
    return bytes;
}

TEST(ConvertCameraImage, PackedYuvHonoursRowPaddingAndByteOrder) {
    for (const auto fourcc : {kFourccYuyv, kFourccUyvy}) {
        const auto bytes = packed422(fourcc, 8, 4, 6, 81, 90, 240);
        auto out = outputFrame(8, 4);
        ASSERT_TRUE(convertCameraImage({fourcc, 8, 4, 8 * 2 + 6}, bytes, out));
        expectYuv(out, 81, 90, 240);
    }
}

TEST(ConvertCameraImage, PlanarAndSemiPlanarChromaOrder) {
    Bytes semiPlanar(4 * 4, 100);  // Y, 4 × 4
    for (int i = 0; i < 4; ++i) {
        semiPlanar.insert(semiPlanar.end(), {50, 200});  // interleaved chroma, 2 rows × 2 pairs
    }
    Bytes planar(4 * 4, 100);
    planar.insert(planar.end(), 4, 50);   // first chroma plane
    planar.insert(planar.end(), 4, 200);  // second chroma plane
    auto out = outputFrame(4, 4);
    for (const auto& [fourcc, bytes, swapped] :
         {std::tuple{kFourccNv12, semiPlanar, false}, std::tuple{kFourccNv21, semiPlanar, true},
          std::tuple{kFourccI420, planar, false}, std::tuple{kFourccYv12, planar, true}}) {
        ASSERT_TRUE(convertCameraImage({fourcc, 4, 4, 4}, bytes, out));
        expectYuv(out, 100, swapped ? 200 : 50, swapped ? 50 : 200);
    }
}

TEST(ConvertCameraImage, RgbByteOrderAndOddSizesCropped) {
    // 5 × 3 pure red in R, G, B byte order; the output is 4 × 2.
    Bytes red;
    for (int i = 0; i < 5 * 3; ++i) {
        red.insert(red.end(), {255, 0, 0});
    }
    auto out = outputFrame(4, 2);
    ASSERT_TRUE(convertCameraImage({kFourccRgb24, 5, 3, 15}, red, out));
    expectYuv(out, 82, 90, 240, 2);  // limited-range BT.601 red
    // The same bytes read as B, G, R are blue.
    ASSERT_TRUE(convertCameraImage({kFourccBgr24, 5, 3, 15}, red, out));
    expectYuv(out, 41, 240, 110, 2);
}

TEST(ConvertCameraImage, RefusesShortOrInconsistentInput) {
    const auto yuyv = packed422(kFourccYuyv, 8, 4, 0, 81, 90, 240);
    auto out = outputFrame(8, 4);
    const std::span<const std::uint8_t> all(yuyv);
    EXPECT_FALSE(convertCameraImage({kFourccYuyv, 8, 4, 16}, all.first(all.size() - 1), out));
    EXPECT_FALSE(convertCameraImage({kFourccYuyv, 8, 4, 15}, all, out)) << "row shorter than width";
    EXPECT_FALSE(convertCameraImage({kFourccYuyv, 8, 4, 16}, {}, out));
    EXPECT_FALSE(convertCameraImage({kH264, 8, 4, 16}, all, out));
    EXPECT_FALSE(convertCameraImage({kFourccYuyv, 1, 1, 2}, all, out)) << "too small to crop";

    auto wrongSize = outputFrame(4, 4);
    EXPECT_FALSE(convertCameraImage({kFourccYuyv, 8, 4, 16}, all, wrongSize));
    auto bgra = VideoFrame::allocate(PixelFormat::bgra, 8, 4);
    EXPECT_FALSE(convertCameraImage({kFourccYuyv, 8, 4, 16}, all, bgra));

    // Planar formats need both chroma planes in full.
    Bytes planar(4 * 4 + 4 + 3, 100);
    auto small = outputFrame(4, 4);
    EXPECT_FALSE(convertCameraImage({kFourccI420, 4, 4, 4}, planar, small));
    Bytes semiPlanar(4 * 4 + 7, 100);
    EXPECT_FALSE(convertCameraImage({kFourccNv12, 4, 4, 4}, semiPlanar, small));

    // Garbage after a JPEG start marker is refused, not decoded.
    Bytes garbage(4096);
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = std::uint8_t(i * 131 + 7);
    }
    garbage[0] = 0xFF;  // a start-of-image marker and then nonsense
    garbage[1] = 0xD8;
    auto jpegOut = outputFrame(64, 48);
    EXPECT_FALSE(convertCameraImage({kFourccMjpeg, 64, 48, 0}, garbage, jpegOut));
}

TEST(CameraFrameTime, KernelStampWhenPlausibleOtherwiseTheDequeueTime) {
    const HostTime now = seconds(1000);
    EXPECT_EQ(cameraFrameTime(now - milliseconds(40), now), now - milliseconds(40));
    EXPECT_EQ(cameraFrameTime(now - seconds(1), now), now - seconds(1));
    EXPECT_EQ(cameraFrameTime(now, now), now);
    EXPECT_EQ(cameraFrameTime(std::nullopt, now), now);
    EXPECT_EQ(cameraFrameTime(now + milliseconds(1), now), now) << "in the future";
    EXPECT_EQ(cameraFrameTime(now - seconds(1) - milliseconds(1), now), now) << "stale";
    EXPECT_EQ(cameraFrameTime(HostTime(0), now), now) << "a zero stamp";
}

}  // namespace
}  // namespace zarvex
