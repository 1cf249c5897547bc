#include "capture/wayland/cast_frames.h"

#include <gtest/gtest.h>

namespace zarvex::wayland {
namespace {

TEST(CastFrames, RegionsAreCutAtTheirCornerAtTheFramesSizeAndBlackOutsideTheDisplay) {
    const auto place = [](int width, int height, std::optional<Rect> region, double scale,
                          int frameWidth, int frameHeight) {
        return placeCastPicture(width, height, {100, 50}, region, scale, frameWidth, frameHeight);
    };
    // Pixel for pixel from the corner at the frame's size (301 points make 300
    // pixels), also from a picture twice as dense as the points at scale 2.
    EXPECT_EQ(place(100, 50, Rect{10, 5, 31, 21}, 1, 30, 20),
              (CastPlacement{{10, 5, 30, 20}, {0, 0, 30, 20}}));
    EXPECT_EQ(place(200, 100, Rect{10, 5, 30, 20}, 2, 60, 40),
              (CastPlacement{{20, 10, 60, 40}, {0, 0, 60, 40}}));
    // A picture at points size for a frame at scale 2 is scaled up.
    EXPECT_EQ(place(100, 50, Rect{10, 5, 30, 20}, 2, 60, 40),
              (CastPlacement{{10, 5, 30, 20}, {0, 0, 60, 40}}));
    // Past the display's edges, and wholly outside it.
    EXPECT_EQ(place(100, 50, Rect{90, 40, 20, 20}, 1, 20, 20),
              (CastPlacement{{90, 40, 10, 10}, {0, 0, 10, 10}}));
    EXPECT_EQ(place(100, 50, Rect{-10, 0, 20, 20}, 1, 20, 20),
              (CastPlacement{{0, 0, 10, 20}, {10, 0, 10, 20}}));
    EXPECT_EQ(place(100, 50, Rect{200, 0, 20, 20}, 1, 20, 20), CastPlacement{});
    // A whole picture of another shape fits, centred.
    EXPECT_EQ(place(100, 100, std::nullopt, 1, 100, 50),
              (CastPlacement{{0, 0, 100, 100}, {25, 0, 50, 50}}));
}

TEST(CastFrames, EveryLayoutBecomesPremultipliedBgra) {
    // Bytes 80 40 20 then alpha 0 (left half) or 0x80 (right half).
    std::uint32_t words[8] = {0x00204080u, 0x00204080u, 0x80204080u, 0x80204080u,
                              0x00204080u, 0x00204080u, 0x80204080u, 0x80204080u};
    VideoFrame scratch;
    const auto draw = [&](CastPixelFormat format, bool opaque, int width) {
        VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, 2);
        drawCastPicture({reinterpret_cast<std::uint8_t*>(words), 16, 4, 2, format},
                        placeCastPicture(4, 2, {4, 2}, std::nullopt, 1, width, 2), opaque, frame,
                        scratch);
        return
            [frame](int x, int y) { return reinterpret_cast<std::uint32_t*>(frame.row(0, y))[x]; };
    };
    EXPECT_EQ(draw(CastPixelFormat::bgrx, false, 4)(3, 1), 0xff204080u);
    EXPECT_EQ(draw(CastPixelFormat::rgbx, false, 4)(3, 1), 0xff804020u);
    EXPECT_EQ(draw(CastPixelFormat::bgra, true, 4)(0, 0), 0xff204080u);  // a display is opaque
    const auto window = draw(CastPixelFormat::rgba, false, 4);           // a window is not
    EXPECT_EQ(std::pair(window(0, 0), window(3, 1) >> 24), std::pair(0u, 0x80u));
    EXPECT_NEAR(int(window(3, 1) >> 16 & 0xff), 0x40, 1);  // red 0x80 at half alpha
    // Scaled into a wider frame: black bars left and right.
    const auto wide = draw(CastPixelFormat::bgrx, false, 8);
    EXPECT_EQ((std::array{wide(0, 0), wide(7, 1), wide(3, 0)}),
              (std::array{0xff000000u, 0xff000000u, 0xff204080u}));
}

}  // namespace
}  // namespace zarvex::wayland
