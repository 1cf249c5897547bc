#include "media/video_frame.h"
#include "media/frame_converter.h"
#include "media/media_time.h"

#include <cstring>
#include <thread>

#include <gtest/gtest.h>

namespace zarvex {
namespace {

VideoFrame solidBgra(int width, int height, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, height);
    const std::uint8_t pixel[4] = {b, g, r, 255};
    for (int i = 0; i < width * height; ++i) {
        std::memcpy(frame.row(0, i / width) + 4 * (i % width), pixel, 4);
    }
    return frame;
}

constexpr ColorTags kBt709{YuvMatrix::bt709, YuvRange::limited};

constexpr ColorTags kBt601{YuvMatrix::bt601, YuvRange::limited};

TEST(Frames, PoolReusesConverterConvertsScalesAndPassesThroughTimesOrder) {
    VideoFrame survivor;
    {
        FramePool pool(PixelFormat::bgra, 64, 32);
        std::uint8_t* first = nullptr;
        {
            VideoFrame a = pool.acquire();
            first = a.data[0];
            VideoFrame copy = a;  // the view keeps the buffer
        }
        EXPECT_EQ(pool.acquire().data[0], first);

        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&pool] {
                for (int i = 0; i < 200; ++i) {
                    pool.acquire().data[0][0] = 1;
                }
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        survivor = pool.acquire();
    }
    survivor.data[0][0] = 7;
    EXPECT_EQ(survivor.data[0][0], 7);

    // Media times: order and conversion.
    EXPECT_EQ((MediaTime{1, 60}), (MediaTime{10, 600}));
    EXPECT_LT((MediaTime{1, 60}), (MediaTime{11, 600}));
    EXPECT_LT(MediaTime::invalid(), MediaTime::zero());
    EXPECT_EQ(MediaTime::fromSeconds(1.5), (MediaTime{900, 600}));
    EXPECT_FALSE(MediaTime::fromSeconds(std::nan("")).isValid());

    // The converter converts between matrices, scales, and passes matching frames through.
    FrameConverter converter;
    const VideoFrame red = solidBgra(16, 8, 0, 0, 255);
    const VideoFrame as601 = converter.toI420(red, 16, 8, kBt601);
    EXPECT_EQ(as601.color, kBt601);
    EXPECT_NEAR(as601.row(0, 0)[0], 81, 1);  // red's luma under BT.601
    const VideoFrame as709 = converter.toI420(as601, 16, 8, kBt709);
    EXPECT_EQ(as709.color, kBt709);
    EXPECT_NEAR(as709.row(0, 0)[0], 63, 2);
    EXPECT_NEAR(converter.toI420(red, 16, 8, kBt709).row(0, 4)[7], 63, 1);

    const VideoFrame back = converter.toBgra(as709);
    EXPECT_EQ(back.format, PixelFormat::bgra);
    const std::uint8_t* p = back.row(0, 3) + 4 * 5;
    EXPECT_NEAR(p[2], 255, 4);
    EXPECT_NEAR(p[1], 0, 4);
    EXPECT_NEAR(p[0], 0, 4);
    EXPECT_EQ(p[3], 255);

    // Matching frames pass through; others are scaled.
    const VideoFrame yuv = converter.toI420(solidBgra(64, 48, 10, 200, 30), 64, 48, kBt709);
    EXPECT_EQ(converter.toI420(yuv, 64, 48, kBt709).data[0], yuv.data[0]);
    const VideoFrame bgra = solidBgra(4, 4, 1, 2, 3);
    EXPECT_EQ(converter.toBgra(bgra).data[0], bgra.data[0]);

    const VideoFrame small = converter.toI420(yuv, 32, 24, kBt709);
    EXPECT_EQ(small.width, 32);
    EXPECT_EQ(small.height, 24);
    EXPECT_NEAR(small.row(0, 12)[16], yuv.row(0, 24)[32], 1);
}

}  // namespace
}  // namespace zarvex
