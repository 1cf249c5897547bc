#include <gtest/gtest.h>

#include "capture/audio_capture.h"

namespace zarvex {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kTenMs = 480;  // frames

TEST(AudioTimeline, FirstChunkStartsAtItsMeasurement) {
    AudioTimeline timeline;
    const auto placement = timeline.place(milliseconds(5000), kTenMs);
    EXPECT_EQ(placement.time, milliseconds(5000));
    EXPECT_EQ(placement.skipFrames, 0u);
    EXPECT_TRUE(placement.discontinuity);
}

TEST(AudioTimeline, JitterWithinToleranceKeepsChunksEndToEnd) {
    AudioTimeline timeline;
    timeline.place(milliseconds(1000), kTenMs);
    const int jitterMs[] = {+7, -12, +25, -29, 0, +3};
    for (int i = 0; i < 6; ++i) {
        const auto expected = milliseconds(1000 + 10 * (i + 1));
        const auto placement = timeline.place(expected + milliseconds(jitterMs[i]), kTenMs);
        EXPECT_EQ(placement.time, expected) << i;
        EXPECT_EQ(placement.skipFrames, 0u);
        EXPECT_FALSE(placement.discontinuity);
    }
}

TEST(AudioTimeline, FrameCountingDoesNotAccumulateRounding) {
    // 441 frames is not a whole number of nanoseconds at 48 kHz.
    AudioTimeline timeline;
    timeline.place(HostTime(0), 441);
    AudioTimeline::Placement last;
    for (int i = 1; i <= 48000; ++i) {
        last = timeline.place(audioFramesDuration(441 * i), 441);
    }
    EXPECT_EQ(last.time, audioFramesDuration(441 * 48000));
    EXPECT_EQ(last.time, std::chrono::seconds(441));
}

TEST(AudioTimeline, GapBeyondToleranceRestartsAtTheMeasurement) {
    AudioTimeline timeline;
    timeline.place(milliseconds(1000), kTenMs);
    const auto placement = timeline.place(milliseconds(1500), kTenMs);  // 490 ms lost
    EXPECT_EQ(placement.time, milliseconds(1500));
    EXPECT_TRUE(placement.discontinuity);
    EXPECT_EQ(timeline.place(milliseconds(1510), kTenMs).time, milliseconds(1510));
}

TEST(AudioTimeline, RunningAheadSkipsTheOverlapInsteadOfGoingBack) {
    AudioTimeline timeline;
    timeline.place(milliseconds(1000), kTenMs);  // ends at 1010
    // Measured 40 ms early: 40 ms worth of frames would overlap.
    const auto placement = timeline.place(milliseconds(970), 4 * kTenMs);
    EXPECT_EQ(placement.time, milliseconds(1010));
    EXPECT_EQ(placement.skipFrames, 40u * 48);
    EXPECT_FALSE(placement.discontinuity);
    // The kept frames end where the measurement says they do.
    EXPECT_EQ(timeline.place(milliseconds(1010), kTenMs).time, milliseconds(1010));
}

TEST(AudioTimeline, ChunkEntirelyInThePastIsDroppedWhole) {
    AudioTimeline timeline;
    timeline.place(milliseconds(1000), 10 * kTenMs);  // ends at 1100
    const auto placement = timeline.place(milliseconds(900), kTenMs);
    EXPECT_EQ(placement.skipFrames, kTenMs);
    EXPECT_EQ(timeline.place(milliseconds(1100), kTenMs).time, milliseconds(1100));
}

TEST(AudioTimeline, ClockDriftStaysBoundedAndNeverOverlaps) {
    // A device clock 0.1 % fast or slow against the host clock, over 100 s of
    // 10 ms chunks.
    for (const double rate : {1.001, 0.999}) {
        AudioTimeline timeline;
        HostTime previousEnd{};
        for (std::int64_t i = 0; i < 10'000; ++i) {
            const HostTime measured(static_cast<std::int64_t>(i * 10'000'000 / rate));
            const auto placement = timeline.place(measured, kTenMs);
            const auto kept = kTenMs - placement.skipFrames;
            if (kept == 0) {
                continue;
            }
            const HostTime keptMeasured = measured + audioFramesDuration(placement.skipFrames);
            EXPECT_LE(std::chrono::abs(placement.time - keptMeasured),
                      AudioTimeline::kDefaultTolerance + milliseconds(1))
                << "rate " << rate << " chunk " << i;
            if (i > 0) {
                EXPECT_GE(placement.time, previousEnd) << "rate " << rate << " chunk " << i;
            }
            previousEnd = placement.time + audioFramesDuration(kept);
        }
    }
}

TEST(AudioChunk, EndTimeCountsFramesNotSamples) {
    const float samples[960] = {};
    AudioChunk chunk;
    chunk.time = milliseconds(100);
    chunk.samples = samples;
    EXPECT_EQ(chunk.frameCount(), 480u);
    EXPECT_EQ(chunk.endTime(), milliseconds(110));
}

}  // namespace
}  // namespace zarvex
