#include "media/video_decoder.h"

#include <gtest/gtest.h>

#include "media_fixtures.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::readCounter;
using testing::TempDir;

// One screen movie for the whole suite: 6 s at 60 fps (360 frames), keyframes every 2 s.
class VideoDecoderTest : public ::testing::Test {
  protected:
    static const std::filesystem::path& movie() {
        static const TempDir dir;
        static const std::filesystem::path path = [] {
            testing::ScreenMovieOptions options;
            options.frameCount = 360;
            options.microphone = options.systemAudio = false;
            testing::writeScreenMovie(dir / "screen.mov", options);
            return dir / "screen.mov";
        }();
        return path;
    }

    static int counterAt(VideoDecoder& decoder, MediaTime time) {
        const auto frame = decoder.frameAt(time);
        return frame ? readCounter(frame->image) : -2;
    }
};

TEST_F(VideoDecoderTest, ShowsTheLastFrameAtOrBeforeEachTimeAtAnyRateAndRejectsOtherTracks) {
    VideoDecoder decoder(movie(), 0);
    EXPECT_EQ(counterAt(decoder, {0, 60}), 0);
    EXPECT_EQ(counterAt(decoder, {1, 120}), 0);         // half-way to frame 1
    EXPECT_EQ(counterAt(decoder, {1, 60}), 1);          // exactly on frame 1
    EXPECT_EQ(counterAt(decoder, {35999, 36000}), 59);  // just before frame 60
    EXPECT_EQ(counterAt(decoder, {60, 60}), 60);
    EXPECT_EQ(counterAt(decoder, {359, 60}), 359);
    EXPECT_EQ(counterAt(decoder, {100, 1}), 359);  // past the end: the last frame
    EXPECT_FALSE(decoder.frameAt(MediaTime::invalid()).has_value());
    // Frames carry their exact time and the stream's tags.
    const auto frame = decoder.frameAt(MediaTime::fromSeconds(2.51));
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->time, (MediaTime{150, 60}));
    EXPECT_EQ(frame->image.format, PixelFormat::i420);
    EXPECT_EQ(frame->image.width, 320);
    EXPECT_EQ(frame->image.height, 240);
    EXPECT_EQ(frame->image.color, (ColorTags{YuvMatrix::bt709, YuvRange::limited}));

    // Walking forward at 60 fps never seeks.
    VideoDecoder walking(movie(), 0);
    for (int k = 0; k < 360; ++k) {
        ASSERT_EQ(counterAt(walking, {k, 60}), k);
    }
    EXPECT_EQ(walking.seekCount(), 0);
    // Export at a lower output rate skips frames but stays inside one keyframe
    // interval between requests: still no seek.
    VideoDecoder halfRate(movie(), 0);
    for (int k = 0; k < 360; k += 7) {
        ASSERT_EQ(counterAt(halfRate, {k, 60}), k);
    }
    EXPECT_EQ(halfRate.seekCount(), 0);

    // It seeks backwards and to jump far ahead.
    VideoDecoder seeking(movie(), 0);
    EXPECT_EQ(counterAt(seeking, {300, 60}), 300);  // far from the start: seeks
    EXPECT_EQ(seeking.seekCount(), 1);
    EXPECT_EQ(counterAt(seeking, {30, 60}), 30);  // backwards
    EXPECT_EQ(counterAt(seeking, {31, 60}), 31);
    EXPECT_EQ(seeking.seekCount(), 2);
    EXPECT_EQ(counterAt(seeking, {250, 60}), 250);  // past two keyframes: seeks
    EXPECT_EQ(seeking.seekCount(), 3);
    EXPECT_EQ(counterAt(seeking, {250, 60}), 250);  // the same time again: no work
    EXPECT_EQ(counterAt(seeking, {249, 60}), 249);  // one frame back
    EXPECT_EQ(seeking.seekCount(), 4);

    // A variable frame rate shows each frame until the next.
    TempDir dir;
    testing::ScreenMovieOptions options;
    options.frameTimes = {0.0, 0.1, 0.15, 0.5, 1.25, 1.26, 3.0};
    options.microphone = false;
    options.systemAudio = false;
    testing::writeScreenMovie(dir / "vfr.mov", options);

    VideoDecoder vfr(dir / "vfr.mov", 0);
    // In order, then backwards.
    const std::vector<std::pair<double, int>> expected{{0.0, 0},  {0.0999, 0}, {0.1, 1}, {0.49, 2},
                                                       {1.0, 3},  {1.255, 4},  {2.9, 5}, {3.0, 6},
                                                       {0.12, 1}, {2.0, 5}};
    for (const auto& [seconds, index] : expected) {
        const auto frame = vfr.frameAt(MediaTime::fromSeconds(seconds, 90000));
        EXPECT_EQ(frame ? readCounter(frame->image) : -2, index) << seconds;
    }

    // Time ranges: duration and intersection.
    const TimeRange a{{0, 600}, {1200, 600}};
    EXPECT_EQ(a.duration(), (MediaTime{2, 1}));
    EXPECT_EQ(a.intersection({{1, 2}, {3, 1}}), (TimeRange{{1, 2}, {2, 1}}));
    EXPECT_EQ(a.intersection({{5, 1}, {6, 1}}).duration(), MediaTime::zero());
    EXPECT_TRUE(a.contains({0, 1}));
    EXPECT_FALSE(a.contains({2, 1}));
    EXPECT_EQ((TimeRange{{1, 3}, {1, 2}}).duration(), (MediaTime{1, 6}));

    // What is not a video track is rejected, with FFmpeg's text.
    TempDir otherDir;
    testing::ScreenMovieOptions tenFrames;
    tenFrames.frameCount = 10;
    tenFrames.systemAudio = false;
    testing::writeScreenMovie(otherDir / "screen.mov", tenFrames);
    for (const auto& [file, track] :
         {std::pair{"screen.mov", 1}, {"screen.mov", 7}, {"missing.mov", 0}}) {
        EXPECT_THROW(VideoDecoder(otherDir / file, track), MediaError) << file << " " << track;
    }
    // The reader's errors carry FFmpeg's text.
    testing::writeText(otherDir / "garbage.mov", std::string(10000, 'x'));
    for (const auto& [file, text] :
         {std::pair{"missing.mov", "missing.mov: No such file or directory"},
          std::pair{"garbage.mov", "Invalid data found when processing input"}}) {
        const auto error = testing::thrown<MediaError>([&] { readMovieInfo(otherDir / file); });
        EXPECT_NE(std::string(error.value().what()).find(text), std::string::npos) << error->what();
        EXPECT_LT(error->code(), 0);
    }
}

}  // namespace
}  // namespace zarvex
