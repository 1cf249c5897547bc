// Cost of a whole recording: a 1920 × 1080 display on a private Xvfb, animated
// faster than 60 frames per second (a full-screen window changing colour every
// 8 ms), recorded with the microphone (a sine source) and the system audio (a
// tone played into a null sink of a private PulseAudio daemon) into a movie,
// against the baseline
//   ffmpeg -f x11grab -framerate 60 -video_size 1920x1080 -i :N -c:v libx264
//          -pix_fmt yuv420p -preset superfast -tune zerolatency -profile:v high
//          -b:v 8294400 out.mov
// (the same x264 settings as the recorder) and, for information, the same
// with both audio sources added (-f pulse -i mic -f pulse -i rec_sink.monitor
// -c:a aac -b:a 192k). Figures: frames written per frame expected at 60 per
// second, and CPU seconds per recorded second of the recording process and of
// the X server (shared-memory grabs make the server copy). Then the same
// screen standing still, recorded by us alone.
// Run by hand:
//   build/<dir>/bench/capture/record_bench [seconds, default 30]
// and note the machine load (printed before and after) with every figure.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "capture/pulse/pulse_audio_capture.h"
#include "capture/screen_recorder.h"
#include "capture/x11/x11_backend.h"
#include "cpu_usage.h"
#include "media/movie_reader.h"
#include "process.h"
#include "pulse_daemon.h"
#include "temp_dir.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using Seconds = std::chrono::duration<double>;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kFrameRate = 60;

struct Figures {
    double seconds = 0;  // recorded
    long frames = 0;     // written
    double clientCpu = 0;
    double serverCpu = 0;
};

long videoFrames(const std::filesystem::path& movie) {
    const auto result = testing::runProcess(
        {"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
         "stream=nb_read_packets", "-of", "csv=p=0", movie.string()});
    return result.out.empty() ? 0 : std::stol(result.out);
}

void print(const char* name, const Figures& figures) {
    std::printf(
        "%-22s %5.1f s  frames %5ld / %5.0f expected = %5.1f%%  CPU s per recorded s: "
        "process %.3f  X server %.3f  total %.3f\n",
        name, figures.seconds, figures.frames, figures.seconds * kFrameRate,
        100.0 * figures.frames / (figures.seconds * kFrameRate),
        figures.clientCpu / figures.seconds, figures.serverCpu / figures.seconds,
        (figures.clientCpu + figures.serverCpu) / figures.seconds);
}

Figures ours(const testing::Xvfb& server, const std::filesystem::path& movie, double seconds) {
    X11Options options{server.display(), {}, &systemClock()};
    auto content = makeX11ShareableContent(options);
    auto capture = makeX11ScreenCapture(options);
    const CaptureServices services{
        content.get(),  capture.get(),
        nullptr,        [](AudioSource source) { return makePulseAudioCapture(source); },
        &systemClock(), static_cast<std::uint32_t>(::getpid())};
    const DisplayID display = content->content().displays.at(0).id;
    ScreenRecorder recorder(services);
    const double clientBefore = bench::ownCpu();
    const double serverBefore = bench::processCpu(server.pid());
    const HostTime t0 = systemClock().now();
    recorder.start(DisplayTarget{display}, movie, true, true, true, t0);
    std::this_thread::sleep_for(Seconds(seconds));
    const double recorded = toSeconds(systemClock().now() - t0);
    recorder.stop();
    return {recorded, videoFrames(movie), bench::ownCpu() - clientBefore,
            bench::processCpu(server.pid()) - serverBefore};
}

// With `audio`, ffmpeg also records the microphone and the system audio as
// the recorder does; without, it is the plain video baseline.
Figures ffmpeg(const testing::Xvfb& server, const testing::PulseDaemon& pulse,
               const std::filesystem::path& movie, double seconds, bool audio) {
    std::vector<std::string> argv = {"env",         "PULSE_SERVER=" + pulse.server(),
                                     "ffmpeg",      "-nostdin",
                                     "-loglevel",   "error",
                                     "-f",          "x11grab",
                                     "-framerate",  "60",
                                     "-video_size", "1920x1080",
                                     "-i",          server.display()};
    if (audio) {
        const std::string monitor = std::string(testing::PulseDaemon::kSinkName) + ".monitor";
        argv.insert(argv.end(), {"-f", "pulse", "-i", "mic", "-f", "pulse", "-i", monitor, "-map",
                                 "0", "-map", "1", "-map", "2", "-c:a", "aac", "-b:a", "192k"});
    }
    argv.insert(argv.end(),
                {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-preset", "superfast", "-tune",
                 "zerolatency", "-profile:v", "high", "-b:v", std::to_string(kWidth * kHeight * 4),
                 "-t", std::to_string(seconds), movie.string()});
    const double clientBefore = bench::childrenCpu();
    const double serverBefore = bench::processCpu(server.pid());
    const auto result = testing::runProcess(argv);
    if (result.exitCode != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", result.err.c_str());
    }
    return {seconds, videoFrames(movie), bench::childrenCpu() - clientBefore,
            bench::processCpu(server.pid()) - serverBefore};
}

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    using namespace zarvex;
    const double seconds = argc > 1 ? std::stod(argv[1]) : 30.0;
    std::printf("load before: %s", testing::runProcess({"uptime"}).out.c_str());
    testing::TempDir dir;
    testing::Xvfb server(kWidth, kHeight);
    testing::PulseDaemon pulse({"module-sine-source source_name=mic rate=48000 frequency=440"});
    pulse.runClient({"pactl", "set-default-source", "mic"});
    testing::ScopedEnv pulseServer("PULSE_SERVER", pulse.server());
    testing::runProcess(
        {"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
         "sine=frequency=1000:sample_rate=48000:duration=" + std::to_string(int(3 * seconds + 30)),
         "-ac", "2", (dir / "tone.wav").string()});
    testing::ChildProcess::Options playing;
    playing.environment = {{"PULSE_SERVER", pulse.server()}};
    testing::ChildProcess player(
        {"paplay", "-d", testing::PulseDaemon::kSinkName, (dir / "tone.wav").string()}, playing);
    testing::TestWindow screen(
        ZARVEX_TEST_WINDOW, server,
        {.x = 0, .y = 0, .width = kWidth, .height = kHeight, .color = "204060"});

    screen.command("animate 8");
    const Figures recorded = ours(server, dir / "zarvex.mov", seconds);
    print("animating, zarvex", recorded);
    const Figures baseline = ffmpeg(server, pulse, dir / "ffmpeg.mov", seconds, false);
    print("animating, ffmpeg", baseline);
    print("animating, ffmpeg + audio",
          ffmpeg(server, pulse, dir / "ffmpeg-audio.mov", seconds, true));
    std::printf("ratio zarvex / ffmpeg: frames %.3f, CPU process %.2f, process + X server %.2f\n",
                double(recorded.frames) / recorded.seconds / (baseline.frames / baseline.seconds),
                (recorded.clientCpu / recorded.seconds) / (baseline.clientCpu / baseline.seconds),
                ((recorded.clientCpu + recorded.serverCpu) / recorded.seconds) /
                    ((baseline.clientCpu + baseline.serverCpu) / baseline.seconds));

    screen.command("animate 0");
    const Figures still = ours(server, dir / "still.mov", std::max(10.0, seconds / 3));
    print("static, zarvex", still);
    std::printf("load after: %s", testing::runProcess({"uptime"}).out.c_str());
    return 0;
}
