// The recording engine on the real backends: a private Xvfb with Composite,
// a private PulseAudio daemon with a null sink, clicks from xdotool; the
// movies checked with ffprobe and the media layer.

#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "av_sync.h"
#include "capture/pulse/pulse_audio_capture.h"
#include "capture/recording_session.h"
#include "capture/x11/x11_backend.h"
#include "counting_input_monitor.h"
#include "fake_permissions.h"
#include "ffprobe.h"
#include "media/audio_decoder.h"
#include "media/video_decoder.h"
#include "pulse_daemon.h"
#include "recording_fakes.h"
#include "temp_dir.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::TestWindow;

constexpr int kWidth = 640;
constexpr int kHeight = 360;

class RecorderE2E : public ::testing::Test {
  protected:
    testing::Xvfb server{kWidth, kHeight};
    testing::PulseDaemon pulse;
    testing::ScopedEnv pulseServer{"PULSE_SERVER", pulse.server()};
    testing::TempDir dir;
    std::filesystem::path movie = dir / "screen.mov";
    X11Options options{server.display(), {}, &systemClock()};
    std::unique_ptr<ShareableContentSource> content = makeX11ShareableContent(options);
    std::unique_ptr<ScreenCaptureService> capture = makeX11ScreenCapture(options);
    std::unique_ptr<InputMonitor> x11Monitor = makeX11InputMonitor(options);
    testing::CountingMonitor monitor{*x11Monitor};
    CaptureServices services{
        content.get(),  capture.get(),
        &monitor,       [](AudioSource source) { return makePulseAudioCapture(source); },
        &systemClock(), static_cast<std::uint32_t>(::getpid())};

    DisplayID display() { return content->content().displays.at(0).id; }

    // A tone of `frequency` Hz played into `sink` until the object goes.
    testing::ChildProcess tone(const std::string& sink, int frequency) {
        const auto file = dir / ("tone" + std::to_string(frequency) + ".wav");
        EXPECT_EQ(testing::runProcess({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                       "sine=frequency=" + std::to_string(frequency) +
                                           ":sample_rate=48000:duration=30",
                                       "-ac", "2", file.string()})
                      .exitCode,
                  0);
        return testing::ChildProcess({"paplay", "-d", sink, file.string()},
                                     {.environment = {{"PULSE_SERVER", pulse.server()}}});
    }

    // A recording session into `dir`, without a camera.
    std::unique_ptr<RecordingSession> session(const SelectionResult& options) {
        preferences.setRecordingsFolder(dir.path().string());
        return std::make_unique<RecordingSession>(services, camera, options, preferences);
    }
    MemoryKeyValueStore store;
    Preferences preferences{store};
    testing::FakePermissionAuthority permissions;
    CameraManager camera{[] { return nullptr; }, permissions};
};

// Audio that plays from before the start is in both tracks from their first
// moment, and the tracks start with the video.
TEST_F(RecorderE2E, AnimatingDisplayWithBothAudioSourcesPlayingFromBeforeT0) {
    pulse.addMicrophone();
    TestWindow animated(ZARVEX_TEST_WINDOW, server,
                        {.x = 0, .y = 0, .width = kWidth, .height = kHeight});
    animated.command("animate 50");
    auto system = tone(testing::PulseDaemon::kSinkName, int(testing::kSystemAudioTone));
    auto microphone = tone(testing::PulseDaemon::kMicSinkName, int(testing::kMicrophoneTone));
    std::this_thread::sleep_for(300ms);  // playing before the recording starts

    // Recorded for 3 s as a recording session after a countdown does:
    // prepared, then started at T0 once the audio sources deliver.
    const DisplayTarget target{display()};
    ScreenRecorder recorder(services);
    recorder.prepare(target, movie, true, true, true);
    EXPECT_TRUE(recorder.waitForAudio(5s));
    const auto end = std::chrono::steady_clock::now() + 3s;
    recorder.start(target, movie, true, true, true, systemClock().now());
    std::this_thread::sleep_until(end);
    EXPECT_EQ(recorder.stop(), movie);

    EXPECT_EQ(testing::probeStreams(movie),
              (std::vector<std::string>{"h264 640x360", "aac", "aac"}));
    const auto times = testing::probeFrameTimes(movie);
    ASSERT_GE(times.size(), 10u);
    EXPECT_NEAR(times.front(), 0.0, 0.02);
    EXPECT_GE(times.back(), 2.9);
    std::set<std::uint32_t> pixels;
    for (double t = 0.1; t < 3; t += 0.25) {
        pixels.insert(testing::pixelAt(movie, t, 100, 100).value_or(0));
    }
    EXPECT_GE(pixels.size(), 8u) << "the picture should change";

    const MovieInfo info = readMovieInfo(movie);
    const double tones[] = {testing::kMicrophoneTone, testing::kSystemAudioTone};
    for (int i = 0; i < 2; ++i) {
        const TrackInfo& track = info.tracks.at(i + 1);
        EXPECT_NEAR(track.contentRange.start.seconds(), info.tracks[0].contentRange.start.seconds(),
                    0.05)
            << i;
        for (const double from : {0.0, 1.0}) {
            const auto samples = testing::trackSamples(movie, track.index, from, 0.05);
            EXPECT_GT(testing::tonePower(samples, tones[i]), 1e-4) << i << " at " << from;
            EXPECT_GT(testing::tonePower(samples, tones[i]),
                      100 * testing::tonePower(samples, tones[1 - i]))
                << i << " at " << from;
        }
    }
}

// A 4K display animating faster than the encoder keeps up with, so pictures
// find its queue full: the change made just before the stop is the movie's
// last picture all the same.
TEST_F(RecorderE2E, MovieEndsOnTheLastPictureWhileTheEncoderIsBehind) {
    testing::Xvfb big{3840, 2160};
    const X11Options bigOptions{big.display(), {}, &systemClock()};
    const auto bigContent = makeX11ShareableContent(bigOptions);
    const auto bigCapture = makeX11ScreenCapture(bigOptions);
    const CaptureServices bigServices{bigContent.get(), bigCapture.get(),
                                      nullptr,          {},
                                      &systemClock(),   static_cast<std::uint32_t>(::getpid())};
    TestWindow animated(ZARVEX_TEST_WINDOW, big,
                        {.x = 0, .y = 0, .width = 3840, .height = 2160, .color = "400000"});
    animated.command("animate 4");
    const DisplayTarget target{bigContent->content().displays.at(0).id};

    ScreenRecorder recorder(bigServices);
    recorder.prepare(target, movie, false, false, false);
    recorder.start(target, movie, false, false, false, systemClock().now());
    std::this_thread::sleep_for(1500ms);
    animated.command("animate 0");
    animated.command("color 00ff00");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(recorder.stop(), movie);

    const auto last = testing::pixelAt(movie, testing::lastFrameTime(movie));
    ASSERT_TRUE(last);
    EXPECT_LE(int(*last >> 16), 16);
    EXPECT_GE(int(*last >> 8 & 0xff), 239);
    EXPECT_LE(int(*last & 0xff), 16);
}

// A player that shows a flash at the instant its beep is heard: the recording
// keeps the two within one frame (1/60 s) of each other, on the system audio
// and on the microphone, and so does its export.
TEST_F(RecorderE2E, BeepsAndFlashesStayTogetherInTheRecordingAndItsExport) {
    pulse.addMicrophone();
    const auto recording = session({DisplayTarget{display()}, true, true, false, false});
    // As after a countdown: the sources deliver by T0.
    recording->prepare();
    EXPECT_TRUE(recording->waitForAudio(5s));
    recording->start();
    constexpr int kBeeps = 3;
    std::vector<double> late;  // how long after its beep the rig showed each flash
    // System audio from a player with a usual output latency, the microphone
    // hearing a low-latency one.
    for (const auto& [sink, latency] : {std::pair{testing::PulseDaemon::kSinkName, "200"},
                                        std::pair{testing::PulseDaemon::kMicSinkName, "20"}}) {
        testing::ChildProcess rig(
            {ZARVEX_AV_SYNC_RIG, "--sink", sink, "--size", "640x360", "--beeps",
             std::to_string(kBeeps), "--interval", "0.7", "--latency", latency},
            {.environment = {{"DISPLAY", server.display()}, {"PULSE_SERVER", pulse.server()}}});
        EXPECT_EQ(rig.readLine(10s), "ready");
        for (int i = 0; i < kBeeps; ++i) {
            const auto beep = rig.readLine(10s);
            ASSERT_TRUE(beep.has_value());
            late.push_back(std::stod(beep->substr(beep->rfind(' ') + 1)) / 1e9);
        }
        EXPECT_EQ(rig.readLine(10s), std::nullopt);  // done
        EXPECT_EQ(rig.stop(), 0);
    }
    std::this_thread::sleep_for(300ms);
    const auto folder = recording->stop();
    const auto movie = folder / "screen.mov";
    const MovieInfo info = readMovieInfo(movie);
    const auto flashes = testing::flashTimes(movie);
    ASSERT_EQ(flashes.size(), 2u * kBeeps);
    // Beeps on the system audio (track 2) first, then on the microphone (track 1).
    std::vector<double> recorded =
        testing::offsets({flashes.begin(), flashes.begin() + kBeeps},
                         testing::soundOnsets(movie, info.tracks.at(2).index));
    const std::vector<double> microphone =
        testing::offsets({flashes.begin() + kBeeps, flashes.end()},
                         testing::soundOnsets(movie, info.tracks.at(1).index));
    recorded.insert(recorded.end(), microphone.begin(), microphone.end());
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        // A flash the rig showed late trails its sound by that much more.
        EXPECT_LE(recorded[i], 1.0 / 60) << "beep " << i;
        EXPECT_GE(recorded[i], -1.0 / 60 - late.at(i)) << "beep " << i;
    }

    const auto exported = dir / "exported.mp4";
    const auto result = testing::runProcess({"env", "HOME=" + dir.path().string(), ZARVEX_BINARY,
                                             "export", folder.string(), "-o", exported.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto exportedFlashes = testing::flashTimes(exported);
    ASSERT_EQ(exportedFlashes.size(), 2u * kBeeps);
    const std::vector<double> exportedOffsets = testing::offsets(
        exportedFlashes,
        testing::soundOnsets(exported,
                             readMovieInfo(exported).tracksOf(TrackKind::audio).at(0).index));
    for (std::size_t i = 0; i < exportedOffsets.size(); ++i) {
        // A picture shows from the export's next frame on, so each flash may
        // trail by up to a frame more than it did in the recording; the sound
        // keeps its time (to a millisecond of resampling).
        const double moved = exportedOffsets[i] - recorded[i];
        EXPECT_LE(moved, 0.001) << "export beep " << i;
        EXPECT_GE(moved, -1.0 / 60 - 0.001) << "export beep " << i;
    }
}

TEST_F(RecorderE2E, ClicksLandInEventsJsonWithFractionsAndTimes) {
    const auto recording =
        session({RegionTarget{display(), Rect{100, 100, 400, 200}}, false, false, false, true});
    recording->start();
    // The middle, the top-left corner with the right button, outside, the
    // last pixel inside.
    testing::runXClient(
        server, {"xdotool", "mousemove", "300",       "200", "click",     "1",     "mousemove",
                 "100",     "100",       "click",     "3",   "mousemove", "50",    "50",
                 "click",   "1",         "mousemove", "499", "299",       "click", "1"});
    ASSERT_TRUE(monitor.waitForPresses(4));
    const double elapsed = toSeconds(systemClock().now() - recording->sessionStart());
    const auto folder = recording->stop();

    const RecordedEvents events = readEventsFile(folder / "events.json");
    ASSERT_EQ(events.clicks.size(), 3u);
    const std::pair<double, double> positions[] = {{0.5, 0.5}, {0, 0}, {399.0 / 400, 199.0 / 200}};
    double previous = -0.002;  // X stamps presses in whole milliseconds
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(events.clicks[i].x, positions[i].first) << i;
        EXPECT_DOUBLE_EQ(events.clicks[i].y, positions[i].second) << i;
        EXPECT_GE(events.clicks[i].t, previous) << i;
        previous = events.clicks[i].t;
    }
    EXPECT_LE(previous, elapsed + 0.002);
}

}  // namespace
}  // namespace zarvex
