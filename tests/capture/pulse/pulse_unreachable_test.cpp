#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "capture/pulse/pulse_audio_capture.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::ScopedEnv;
using testing::TempDir;

TEST(PulseAudioCapture, UnreachableServerStartsDeliversNothingAndStopsAtOnce) {
    TempDir dir;
    ScopedEnv server("PULSE_SERVER", "unix:" + (dir / "no-server").string());
    for (const auto source : {AudioSource::microphone, AudioSource::systemAudio}) {
        // A short retry interval makes the capture try the dead server
        // repeatedly while the test waits.
        auto capture = makePulseAudioCapture(source, 20ms);
        std::atomic<int> chunks = 0;
        ASSERT_NO_THROW(capture->start([&](const CapturedAudioChunk&) { ++chunks; }));
        EXPECT_TRUE(capture->isRunning());
        EXPECT_EQ(capture->source(), source);
        std::this_thread::sleep_for(200ms);
        capture->stop();
        EXPECT_FALSE(capture->isRunning());
        EXPECT_EQ(chunks, 0);
    }

    // Starting twice is refused; stopping is idempotent, and prompt.
    auto capture = makePulseAudioCapture(AudioSource::microphone);
    capture->stop();  // never started
    capture->start([](const CapturedAudioChunk&) {});
    EXPECT_THROW(capture->start([](const CapturedAudioChunk&) {}), std::logic_error);
    // The default two-second retry wait must not hold up stop().
    const auto before = std::chrono::steady_clock::now();
    capture->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1500ms);
    capture->stop();
    capture->start([](const CapturedAudioChunk&) {});  // restartable
    EXPECT_TRUE(capture->isRunning());
    // The destructor stops it.
}

}  // namespace
}  // namespace zarvex
