#include "media/video_frame.h"
#include "media/media_time.h"

#include <thread>

#include <gtest/gtest.h>

namespace zarvex {
namespace {

TEST(MediaTime, OrderAndConversion) {
    EXPECT_EQ((MediaTime{1, 60}), (MediaTime{10, 600}));
    EXPECT_LT((MediaTime{1, 60}), (MediaTime{11, 600}));
    EXPECT_LT(MediaTime::invalid(), MediaTime::zero());
    EXPECT_EQ(MediaTime::fromSeconds(1.5), (MediaTime{900, 600}));
    EXPECT_FALSE(MediaTime::fromSeconds(std::nan("")).isValid());
}

TEST(VideoFrame, AllocatesAlignedPlanes) {
    const VideoFrame bgra = VideoFrame::allocate(PixelFormat::bgra, 7, 3);
    EXPECT_GE(bgra.stride[0], 28);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bgra.data[0]) % 64, 0u);
    const VideoFrame yuv = VideoFrame::allocate(PixelFormat::i420, 6, 4);
    EXPECT_GE(yuv.stride[1], 3);
    EXPECT_GT(yuv.data[2], yuv.data[1]);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(yuv.data[1]) % 64, 0u);
}

TEST(FramePool, ReusesReleasedFramesAcrossThreadsAndFramesOutliveIt) {
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
}

}  // namespace
}  // namespace zarvex
