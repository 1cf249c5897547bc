// The screen recorder on fake capture services writing real movies.

#include "capture/screen_recorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "capture/errors.h"
#include "recording_fakes.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::afterT0;
using testing::colourAt;
using testing::kDisplay;
using testing::kT0;
using testing::kWindow;

constexpr std::uint32_t kRed = 0xffff0000;
constexpr std::uint32_t kGreen = 0xff00ff00;
constexpr std::uint32_t kBlue = 0xff0000ff;
constexpr std::uint32_t kOwnProcess = 99;

class ScreenRecorderTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    std::filesystem::path movie = dir / "screen.mov";
    testing::FakeShareableContent content = testing::oneDisplayDesktop();
    testing::FakeScreenCapture capture;
    testing::FakeAudioSources audio;
    testing::ManualClock clock;
    ScreenRecorder recorder{
        CaptureServices{&content, &capture, nullptr, audio.factory(), &clock, kOwnProcess}};

    void start(const CaptureTarget& target = DisplayTarget{kDisplay}, bool mic = false,
               bool systemAudio = false) {
        recorder.start(target, movie, mic, systemAudio, true, kT0);
    }

    // Stops at `seconds` after T0 and returns what stop() threw ("" when nothing).
    std::string stopAt(double seconds) {
        clock.time = afterT0(seconds);
        return testing::thrownText([&] { EXPECT_EQ(recorder.stop(), movie); });
    }
};

TEST_F(ScreenRecorderTest, WritesOnlyCompleteFramesFromT0AndHoldsTheLastUntilStop) {
    start();
    EXPECT_EQ(capture.filter->excludedProcessIDs, std::vector<std::uint32_t>{kOwnProcess});
    EXPECT_TRUE(capture.configuration->showsCursor);
    capture.deliverFrame(afterT0(-0.2), kRed);  // queued before the recording began
    capture.deliverFrame(afterT0(0.0), kGreen);
    for (FrameStatus status : {FrameStatus::idle, FrameStatus::blank, FrameStatus::suspended,
                               FrameStatus::started, FrameStatus::stopped}) {
        // Pictures that come with a status other than complete are not shown.
        VideoFrame image = VideoFrame::allocate(PixelFormat::bgra, 320, 240);
        capture.deliver(ScreenFrame{status, image, afterT0(0.5)});
    }
    capture.deliverFrame(afterT0(1.0), kBlue);
    ASSERT_EQ(stopAt(3.0), "");
    EXPECT_FALSE(capture.running());

    const TrackInfo track = testing::onlyH264Track(movie, 320, 240);
    EXPECT_NEAR(track.contentRange.start.seconds(), 0, 0.002);
    EXPECT_GE(track.contentRange.end.seconds(), 2.99);
    EXPECT_EQ(colourAt(movie, 0.0), 0x00ff00u);
    EXPECT_EQ(colourAt(movie, 0.9), 0x00ff00u);
    EXPECT_EQ(colourAt(movie, 1.0), 0x0000ffu);
    EXPECT_EQ(colourAt(movie, 2.95), 0x0000ffu);
}

TEST_F(ScreenRecorderTest, AudioTracksFollowTheVideoMicrophoneFirstAndStartAtT0) {
    start(DisplayTarget{kDisplay}, true, true);
    auto& mic = audio[AudioSource::microphone];
    auto& system = audio[AudioSource::systemAudio];
    capture.deliverFrame(afterT0(0.0));
    // Chunks of 100 ms from 50 ms before T0 on: the part before T0 is cut off.
    for (int i = 0; i < 10; ++i) {
        mic.deliverTone(afterT0(-0.05 + i * 0.1), 4800, testing::kMicrophoneTone);
        system.deliverTone(afterT0(-0.05 + i * 0.1), 4800, testing::kSystemAudioTone);
    }
    ASSERT_EQ(stopAt(1.0), "");

    const MovieInfo info = readMovieInfo(movie);
    ASSERT_EQ(info.tracks.size(), 3u);
    EXPECT_EQ(info.tracks[0].kind, TrackKind::video);
    const double tones[] = {testing::kMicrophoneTone, testing::kSystemAudioTone};
    for (int i = 0; i < 2; ++i) {
        const TrackInfo& track = info.tracks[i + 1];
        EXPECT_EQ(std::tuple(track.codec, track.sampleRate, track.channels),
                  std::tuple("aac", 48000, 2));
        EXPECT_NEAR(track.contentRange.start.seconds(), 0, 0.03);
        const auto samples = testing::trackSamples(movie, track.index, 0.2, 0.5);
        const double other = tones[1 - i];
        EXPECT_GT(testing::tonePower(samples, tones[i]), 100 * testing::tonePower(samples, other));
    }
}

// A source that delivers nothing still has its track, silent from T0 to the
// end, so every recording has the same tracks.
TEST_F(ScreenRecorderTest, TrackCountFollowsTheSwitchesEvenWithoutADevice) {
    audio.missing = {AudioSource::microphone};
    start(DisplayTarget{kDisplay}, true, false);
    EXPECT_FALSE(audio.made(AudioSource::microphone));
    EXPECT_FALSE(audio.made(AudioSource::systemAudio));
    capture.deliverFrame(afterT0(0.0));
    ASSERT_EQ(stopAt(0.5), "");
    const MovieInfo info = readMovieInfo(movie);
    ASSERT_EQ(info.tracks.size(), 2u);
    EXPECT_NEAR(info.tracks[1].contentRange.start.seconds(), 0, 0.03);
    EXPECT_NEAR(info.tracks[1].contentRange.end.seconds(), 0.5, 0.03);
    const auto samples = testing::trackSamples(movie, info.tracks[1].index, 0.1, 0.3);
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 0.0f);
}

// The latest picture always reaches the movie, also one that found the
// encoder's queue full; while the screen stands still its picture is repeated
// every quarter second (what a crash leaves reaches close to its moment); and a
// recorder that goes away unstopped finishes its movie.
TEST_F(ScreenRecorderTest, LatestPictureRepeatsAndAnUnstoppedRecorderFinishesItsMovie) {
    auto local = std::make_unique<ScreenRecorder>(
        CaptureServices{&content, &capture, nullptr, audio.factory(), &clock, kOwnProcess});
    local->start(DisplayTarget{kDisplay}, movie, false, false, true, kT0);
    for (int i = 0; i < 40; ++i) {  // faster than the encoder takes them
        capture.deliverFrame(afterT0(i / 1000.0), i == 39 ? kBlue : kRed);
    }
    clock.time = afterT0(1.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // housekeeping runs
    clock.time = afterT0(2.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    local.reset();

    const auto times = testing::frameTimes(movie);
    ASSERT_GE(times.size(), 3u);
    EXPECT_NEAR(times[times.size() - 2], 1.0, 0.002);  // the repeat while still
    EXPECT_NEAR(times.back(), 2.0, 0.002);
    EXPECT_EQ(colourAt(movie, 2.0), 0x0000ffu);
    EXPECT_EQ(colourAt(movie, 0.039), 0x0000ffu);
}

TEST_F(ScreenRecorderTest, TargetsThatAreNotOnScreenFailBeforeAnythingIsWritten) {
    for (const CaptureTarget& target :
         {CaptureTarget{DisplayTarget{8}}, CaptureTarget{WindowTarget{kWindow + 1}}}) {
        ScreenRecorder failing{CaptureServices{&content, &capture, nullptr, {}, &clock, 1}};
        EXPECT_THROW(failing.start(target, movie, true, true, true, kT0), RecorderError);
        EXPECT_FALSE(std::filesystem::exists(movie));
        EXPECT_THROW(failing.stop(), RecorderError);
    }
    content.unreachable = true;
    EXPECT_THROW(start(), ScreenCaptureError);
    EXPECT_EQ(stopAt(1), "Recording failed: Writer was never started.");
}

TEST_F(ScreenRecorderTest, WriterThatCannotStartFailsWithItsMessage) {
    movie = dir / "missing" / "screen.mov";
    const auto error = testing::thrown<RecorderError>([&] { start(); });
    EXPECT_EQ(error.value().kind(), RecorderError::Kind::writerFailed);
    EXPECT_NE(error->payload().find("screen.mov"), std::string::npos) << error->what();
    EXPECT_EQ(capture.starts, 0);
}

TEST_F(ScreenRecorderTest, StreamThatFailsKeepsWhatWasCapturedAndReportsItsError) {
    start();
    capture.deliverFrame(afterT0(0.0), kGreen);
    capture.deliverFrame(afterT0(1.0), kBlue);
    EXPECT_FALSE(recorder.captureFailed());
    capture.stopWithError(std::make_exception_ptr(ScreenCaptureError("The X server went away.")));
    EXPECT_TRUE(recorder.captureFailed());
    EXPECT_EQ(stopAt(5.0), "The X server went away.");

    const MovieInfo info = readMovieInfo(movie);
    EXPECT_EQ(colourAt(movie, 0.5), 0x00ff00u);
    EXPECT_EQ(colourAt(movie, 1.0), 0x0000ffu);
    // The movie ends where capture did, not at the stop.
    EXPECT_LT(info.duration.seconds(), 1.5);
}

TEST_F(ScreenRecorderTest, WithoutAFrameFromT0OnThereIsNoMovie) {
    start();
    capture.deliverFrame(afterT0(-0.1));
    EXPECT_EQ(stopAt(1.0), "Recording failed: No frames were captured.");
    EXPECT_FALSE(std::filesystem::exists(movie));
}

TEST_F(ScreenRecorderTest, StreamThatFailsBeforeAnyFrameLeavesNoMovie) {
    start();
    capture.stopWithError(std::make_exception_ptr(ScreenCaptureError("Display unplugged.")));
    EXPECT_EQ(stopAt(1.0), "Display unplugged.");
    EXPECT_FALSE(std::filesystem::exists(movie));
}

}  // namespace
}  // namespace zarvex
