#include <gtest/gtest.h>

#include "capture/audio_capture.h"

namespace zarvex {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kTenMs = 480;  // frames

// A placement's time, skipped frames and discontinuity, for one comparison.
std::tuple<HostTime, std::size_t, bool> fields(const AudioTimeline::Placement& placement) {
    return {placement.time, placement.skipFrames, placement.discontinuity};
}

TEST(AudioTimeline, ChunksLieEndToEndWithinToleranceAndRestartAfterAGap) {
    AudioTimeline timeline;
    EXPECT_EQ(fields(timeline.place(milliseconds(1000), kTenMs)),
              std::tuple(milliseconds(1000), 0u, true));
    const int jitterMs[] = {+7, -12, +25, -29, 0, +3};
    for (int i = 0; i < 6; ++i) {
        const auto expected = milliseconds(1000 + 10 * (i + 1));
        EXPECT_EQ(fields(timeline.place(expected + milliseconds(jitterMs[i]), kTenMs)),
                  std::tuple(expected, 0u, false))
            << i;
    }
    EXPECT_EQ(fields(timeline.place(milliseconds(1500), kTenMs)),  // 430 ms lost
              std::tuple(milliseconds(1500), 0u, true));
    EXPECT_EQ(timeline.place(milliseconds(1510), kTenMs).time, milliseconds(1510));

    // A hole the server reports: the next chunk follows it, whatever it measures.
    timeline.skip(2 * kTenMs);
    EXPECT_EQ(fields(timeline.place(milliseconds(1520), kTenMs)),
              std::tuple(milliseconds(1540), 0u, true));
}

// Measurements taken at a busy moment come late; a first one can be off.
// Neither moves the timeline by itself, but a whole window that agrees does:
// the short first window sets a wrong start right after half a second.
TEST(AudioTimeline, FollowsAWindowOfEvidenceNotSingleMeasurements) {
    AudioTimeline timeline;
    timeline.place(milliseconds(1000), kTenMs);
    int jumps = 0;
    for (int i = 1; i < 300; ++i) {
        const bool late = i % 17 == 0;         // a late reading now and then
        const int offsetMs = late ? 200 : 40;  // the first chunk was read 40 ms early
        const auto placement = timeline.place(milliseconds(1000 + 10 * i + offsetMs), kTenMs);
        EXPECT_EQ(placement.skipFrames, 0u);
        if (placement.discontinuity) {
            ++jumps;
            EXPECT_EQ(placement.time, milliseconds(1000 + 10 * i + 40)) << i;
            EXPECT_EQ(std::size_t(i) * kTenMs, AudioTimeline::kFirstWindowFrames) << i;
        }
    }
    EXPECT_EQ(jumps, 1);
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

TEST(AudioTimeline, BurstsStayWholeAndEndToEnd) {
    // A server with a 2 s latency delivers 2 s at once, in 168 ms packets
    // that all arrive at the same moment; each is measured by how much of the
    // burst lies after it, a few milliseconds off either way.
    AudioTimeline timeline;
    constexpr std::size_t kPacket = 8000;  // 12 packets: 2 s
    HostTime first{};
    std::size_t laid = 0;
    for (int burst = 0; burst < 5; ++burst) {
        const HostTime arrival = std::chrono::seconds(10 + 2 * burst);
        for (int packet = 0; packet < 12; ++packet) {
            const HostTime measured = arrival - audioFramesDuration((12 - packet) * kPacket) +
                                      milliseconds(packet % 3 == 0 ? 4 : -3);
            const auto placement = timeline.place(measured, kPacket);
            if (laid == 0) {
                first = placement.time;
            }
            EXPECT_EQ(placement.time, first + audioFramesDuration(laid)) << burst << "/" << packet;
            EXPECT_EQ(placement.skipFrames, 0u) << burst << "/" << packet;
            laid += kPacket;
        }
    }
}

TEST(AudioTimeline, SustainedLagIsSkippedAfterAWindow) {
    AudioTimeline timeline;
    timeline.place(milliseconds(1000), kTenMs);
    // From now on every chunk measures 40 ms earlier than the timeline places it.
    std::size_t skipped = 0;
    int firstSkip = -1;
    HostTime previousEnd = milliseconds(1010);
    for (int i = 1; i < 1000; ++i) {
        const HostTime placedWithoutSkip = previousEnd;
        const auto placement = timeline.place(milliseconds(1000 + 10 * i - 40), kTenMs);
        EXPECT_EQ(placement.time, placedWithoutSkip) << "never overlaps, never leaves a gap";
        EXPECT_FALSE(placement.discontinuity);
        if (placement.skipFrames > 0 && firstSkip < 0) {
            firstSkip = i;
        }
        skipped += placement.skipFrames;
        previousEnd = placement.time + audioFramesDuration(kTenMs - placement.skipFrames);
    }
    EXPECT_EQ(skipped, 40u * 48) << "exactly the lag, once";
    // After the first window of evidence, not before.
    EXPECT_EQ(firstSkip * kTenMs, AudioTimeline::kFirstWindowFrames);
    // Realigned with the measurements.
    EXPECT_EQ(timeline.place(milliseconds(1000 + 10 * 1000 - 40), kTenMs).time,
              milliseconds(1000 + 10 * 1000 - 40));
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
            // Up to two windows' worth of drift (6 ms) may build up beyond
            // the tolerance before the lag is skipped.
            EXPECT_LE(std::chrono::abs(placement.time - keptMeasured),
                      AudioTimeline::kDefaultTolerance + milliseconds(7))
                << "rate " << rate << " chunk " << i;
            if (i > 0) {
                EXPECT_GE(placement.time, previousEnd) << "rate " << rate << " chunk " << i;
            }
            previousEnd = placement.time + audioFramesDuration(kept);
        }
    }
}

TEST(CapturedAudioChunk, EndTimeCountsFramesNotSamples) {
    const float samples[960] = {};
    CapturedAudioChunk chunk;
    chunk.time = milliseconds(100);
    chunk.samples = samples;
    EXPECT_EQ(chunk.frameCount(), 480u);
    EXPECT_EQ(chunk.endTime(), milliseconds(110));
}

}  // namespace
}  // namespace zarvex
