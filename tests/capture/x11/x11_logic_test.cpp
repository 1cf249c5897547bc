// Rules of the X11 backend that need no X server: pixel ↔ point mapping,
// server timestamps, and the pixel work on delivered frames.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "capture/x11/frame_pixels.h"
#include "capture/x11/server_time.h"
#include "capture/x11/x11_geometry.h"

namespace zarvex::x11 {
namespace {

using std::chrono::milliseconds;

std::vector<MonitorGeometry> sideBySide() {
    // A 2× laptop panel at the origin and a 1× monitor to its right.
    return {{7, "eDP-1", PixelRect{0, 0, 3024, 1964}, 2, true},
            {9, "HDMI-1", PixelRect{3024, 0, 1920, 1080}, 1, false}};
}

TEST(PixelGeometry, DisplaysKeepTheirTopLeftAndShrinkInsideByTheirScale) {
    const auto monitors = sideBySide();
    EXPECT_EQ(monitors[0].pointFrame(), (Rect{0, 0, 1512, 982}));
    EXPECT_EQ(monitors[1].pointFrame(), (Rect{3024, 0, 1920, 1080}));
    EXPECT_EQ(pointFromPixel(monitors, Point{200, 100}), (Point{100, 50}));
    EXPECT_EQ(pointFromPixel(monitors, Point{3124, 10}), (Point{3124, 10}));
    // Outside every display: the first (primary) display's rule.
    EXPECT_EQ(pointFromPixel(monitors, Point{-20, -20}), (Point{-10, -10}));
    EXPECT_EQ(pointFromPixel({}, Point{7, 9}), (Point{7, 9}));

    // Rectangles map through the display of their top-left corner; a region's
    // source pixels.
    EXPECT_EQ(pointRectFromPixels(monitors, {100, 200, 800, 600}), (Rect{50, 100, 400, 300}));
    EXPECT_EQ(pointRectFromPixels(monitors, {3100, 50, 640, 480}), (Rect{3100, 50, 640, 480}));
    EXPECT_EQ(sourcePixels(monitors[0], Rect{10, 20, 100, 50}, 200, 100),
              (PixelRect{20, 40, 200, 100}));
    EXPECT_EQ(sourcePixels(monitors[1], Rect{10, 20, 301, 201}, 300, 200),
              (PixelRect{3034, 20, 300, 200}));
}

TEST(ServerTime, SameClockMapsMillisecondsOntoTheHostClock) {
    const HostTime now = milliseconds(5'000'123);
    const ServerTime time = ServerTime::calibrated(5'000'120, now);
    EXPECT_EQ(time.offsetMs(), 0);
    EXPECT_EQ(time.toHost(5'000'100, now), milliseconds(5'000'100));
    // A press stamped a little after "now" (coarse clocks) stays after it.
    EXPECT_EQ(time.toHost(5'000'125, now), milliseconds(5'000'125));
}

TEST(ServerTime, UnwrapsAcrossTheThirtyTwoBitBoundary) {
    constexpr std::int64_t kWrap = std::int64_t{1} << 32;
    const HostTime now = milliseconds(3 * kWrap + 10);  // the server's counter just wrapped
    const ServerTime time = ServerTime::calibrated(10, now);
    EXPECT_EQ(time.toHost(0xfffffff0u, now), milliseconds(3 * kWrap - 16));
    EXPECT_EQ(time.toHost(5, now), milliseconds(3 * kWrap + 5));
    const HostTime before = milliseconds(3 * kWrap - 5);  // and just before it wraps
    EXPECT_EQ(time.toHost(2, before), milliseconds(3 * kWrap + 2));
}

TEST(ServerTime, AServerOnAnotherClockIsShiftedByItsMeasuredOffset) {
    const HostTime now = milliseconds(10'000'000);
    const ServerTime time = ServerTime::calibrated(123'456, now);
    EXPECT_NE(time.offsetMs(), 0);
    EXPECT_EQ(time.toHost(123'456, now), now);
    EXPECT_EQ(time.toHost(123'000, now), now - milliseconds(456));
    EXPECT_EQ(time.toHost(123'556, now + milliseconds(100)), now + milliseconds(100));
}

std::uint32_t pixel(const VideoFrame& frame, int x, int y) {
    std::uint32_t value = 0;
    std::memcpy(&value, frame.row(0, y) + x * 4, 4);
    return value;
}

VideoFrame filled(int width, int height, std::uint32_t value) {
    VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, height);
    for (int y = 0; y < height; ++y) {
        std::fill_n(reinterpret_cast<std::uint32_t*>(frame.row(0, y)), width, value);
    }
    return frame;
}

TEST(FramePixels, BlackFillIsClippedToTheFrame) {
    VideoFrame frame = filled(4, 4, 0xffffffff);
    fillBlack(frame, {-2, 2, 4, 10});
    EXPECT_EQ((std::array{pixel(frame, 0, 3), pixel(frame, 1, 2), pixel(frame, 2, 2),
                          pixel(frame, 0, 1)}),
              (std::array{0xff000000u, 0xff000000u, 0xffffffffu, 0xffffffffu}));
}

TEST(FramePixels, SameSizeCopiesAndOtherSizesFitCentredOnBlack) {
    VideoFrame same = filled(8, 4, 0);
    copyScaledToFit(filled(8, 4, 0xff336699), same);
    EXPECT_EQ(pixel(same, 7, 3), 0xff336699u);

    // A window grown to twice the width: half the height, bars above and below.
    VideoFrame wide = filled(40, 40, 0);
    copyScaledToFit(filled(80, 40, 0xff00ff00), wide);
    EXPECT_EQ((std::array{pixel(wide, 20, 5), pixel(wide, 20, 20), pixel(wide, 20, 34)}),
              (std::array{0xff000000u, 0xff00ff00u, 0xff000000u}));
    const FitTransform fit = fitTransform(80, 40, 40, 40);
    EXPECT_EQ(std::tuple(fit.scale, fit.offsetX, fit.offsetY), std::tuple(0.5, 0, 10));
}

TEST(FramePixels, CursorIsDrawnSourceOverAtItsHotSpotAndClipped) {
    // 3 × 2 with its hot spot at (1, 1): opaque red, half-transparent
    // (premultiplied) white, fully transparent, then a red row.
    const CursorImage cursor{
        3, 2, 1, 1, {0xffff0000, 0x80808080, 0x00000000, 0xffff0000, 0xffff0000, 0xffff0000}};
    VideoFrame frame = filled(4, 4, 0xff0000ff);  // opaque blue
    drawCursor(frame, cursor, 1, 1);
    // (1, 0) is white at half over blue.
    EXPECT_EQ((std::array{pixel(frame, 0, 0), pixel(frame, 1, 0), pixel(frame, 2, 0),
                          pixel(frame, 2, 1), pixel(frame, 1, 2)}),
              (std::array{0xffff0000u, 0xff8080ffu, 0xff0000ffu, 0xffff0000u, 0xff0000ffu}));
    EXPECT_EQ(cursorBounds(cursor, 1, 1), (PixelRect{0, 0, 3, 2}));

    // Partly off the frame: only the inside is touched (and nothing crashes).
    VideoFrame small = filled(2, 2, 0xff0000ff);
    drawCursor(small, cursor, 0, 0);
    drawCursor(small, cursor, 100, -100);
    EXPECT_EQ(pixel(small, 0, 0), 0xffff0000u);
    EXPECT_EQ(pixel(small, 1, 1), 0xff0000ffu);
}

}  // namespace
}  // namespace zarvex::x11
