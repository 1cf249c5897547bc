#include "capture/wayland/cast_frames.h"

#include <gtest/gtest.h>

#include <vector>

namespace zarvex::wayland {
namespace {

constexpr std::uint32_t kOpaqueBlack = 0xff000000u;

// A picture whose pixel (x, y) holds the word `value(x, y)`.
struct Picture {
    int width;
    int height;
    std::vector<std::uint32_t> words;
    Picture(int w, int h, std::uint32_t (*value)(int, int)) : width(w), height(h), words(w * h) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                words[y * w + x] = value(x, y);
            }
        }
    }
    CastPicture view(CastPixelFormat format) const {
        return {reinterpret_cast<const std::uint8_t*>(words.data()), width * 4, width, height,
                format};
    }
};

std::uint32_t at(const VideoFrame& frame, int x, int y) {
    return reinterpret_cast<const std::uint32_t*>(frame.row(0, y))[x];
}

TEST(CastFrames, RegionsAreCutAtTheirCornerAtTheFramesSizeAndBlackOutsideTheDisplay) {
    const Size display{100, 50};
    // Same density: a pixel for a pixel from the corner, the frame's size.
    EXPECT_EQ(placeCastPicture(100, 50, display, Rect{10, 5, 31, 21}, 1, 30, 20),
              (CastPlacement{{10, 5, 30, 20}, {0, 0, 30, 20}}));
    // A picture twice as dense as the points of a frame at scale 2.
    EXPECT_EQ(placeCastPicture(200, 100, display, Rect{10, 5, 30, 20}, 2, 60, 40),
              (CastPlacement{{20, 10, 60, 40}, {0, 0, 60, 40}}));
    // A picture at points size for a frame at scale 2: scaled up by 2.
    EXPECT_EQ(placeCastPicture(100, 50, display, Rect{10, 5, 30, 20}, 2, 60, 40),
              (CastPlacement{{10, 5, 30, 20}, {0, 0, 60, 40}}));
    // Past the display's right and bottom edges, and wholly outside it.
    EXPECT_EQ(placeCastPicture(100, 50, display, Rect{90, 40, 20, 20}, 1, 20, 20),
              (CastPlacement{{90, 40, 10, 10}, {0, 0, 10, 10}}));
    EXPECT_EQ(placeCastPicture(100, 50, display, Rect{-10, 0, 20, 20}, 1, 20, 20),
              (CastPlacement{{0, 0, 10, 20}, {10, 0, 10, 20}}));
    EXPECT_EQ(placeCastPicture(100, 50, display, Rect{200, 0, 20, 20}, 1, 20, 20), CastPlacement{});
    // A whole picture of another shape fits, centred.
    EXPECT_EQ(placeCastPicture(100, 100, display, std::nullopt, 1, 100, 50),
              (CastPlacement{{0, 0, 100, 100}, {25, 0, 50, 50}}));
}

TEST(CastFrames, EveryLayoutBecomesPremultipliedBgra) {
    // Bytes in memory B, G, R, A for the bgr layouts; R, G, B, A for the rgb ones.
    const Picture picture(4, 2, [](int x, int) -> std::uint32_t {
        return x < 2 ? 0x00204080u : 0x80204080u;  // alpha 0, then half
    });
    VideoFrame scratch;
    const auto draw = [&](CastPixelFormat format, bool opaque, int width) {
        VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, 2);
        drawCastPicture(picture.view(format),
                        placeCastPicture(4, 2, {4, 2}, std::nullopt, 1, width, 2), opaque, frame,
                        scratch);
        return frame;
    };
    EXPECT_EQ(at(draw(CastPixelFormat::bgrx, false, 4), 3, 1), 0xff204080u);
    EXPECT_EQ(at(draw(CastPixelFormat::rgbx, false, 4), 3, 1), 0xff804020u);
    EXPECT_EQ(at(draw(CastPixelFormat::bgra, true, 4), 0, 0), 0xff204080u);
    // A window's own alpha is kept, premultiplied.
    const VideoFrame translucent = draw(CastPixelFormat::rgba, false, 4);
    EXPECT_EQ(at(translucent, 0, 0), 0x00000000u);
    EXPECT_NEAR(int((at(translucent, 3, 1) >> 16) & 0xff), 0x40, 1);
    EXPECT_EQ(at(translucent, 3, 1) >> 24, 0x80u);
    // Scaled into a wider frame: black bars left and right.
    const VideoFrame wide = draw(CastPixelFormat::bgrx, false, 8);
    EXPECT_EQ(at(wide, 0, 0), kOpaqueBlack);
    EXPECT_EQ(at(wide, 7, 1), kOpaqueBlack);
    EXPECT_EQ(at(wide, 3, 0) >> 24, 0xffu);
}

}  // namespace
}  // namespace zarvex::wayland
