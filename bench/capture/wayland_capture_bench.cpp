// The Wayland screen stream on the headless sway rig (tests/support's
// WaylandDesktop; the stand-in's cast sends 30 pictures a second) at 1280 × 720
// and 1920 × 1080, against the X11 stream on Xvfb at the same size with a
// full-screen window changing colour every 33 ms:
//  - frames kept: frames a stream delivers per second against the 30 the
//    desktop sends, and frames in a `zarvex record` movie against its length;
//  - CPU per second of recording: the capturing process alone (the stream
//    in-process, and the whole `zarvex record`); for X11 the X server's share
//    is printed beside it, since shared-memory grabs make it do the copying;
//  - delay: how long after its time stamp a frame reaches the recorder (the
//    stamp is the desktop's presentation time where its buffers carry one,
//    else the arrival; the stand-in's GStreamer node sends none).
// Run by hand as root (the rig runs sway as an unprivileged user):
//   build/<dir>/bench/capture/wayland_capture_bench [seconds, default 10]

#include <unistd.h>

#include <QGuiApplication>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "capture/wayland/wayland_backend.h"
#include "capture/x11/x11_backend.h"
#include "cpu_usage.h"
#include "ffprobe.h"
#include "wayland_desktop.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using Seconds = std::chrono::duration<double>;
constexpr double kDesktopRate = 30;

struct Counter : ScreenStreamOutput {
    std::mutex mutex;
    int frames = 0;
    double delaySum = 0;
    double delayMax = 0;
    void didOutputFrame(const ScreenFrame& frame) override {
        const double delay = toSeconds(systemClock().now() - frame.time);
        std::lock_guard lock(mutex);
        frames += frame.status == FrameStatus::complete;
        delaySum += delay;
        delayMax = std::max(delayMax, delay);
    }
    void didStopWithError(std::exception_ptr) override {}
};

// Streams the whole display for `seconds` and prints the figures (`serverPid`:
// also charge that process).
void measureStream(ScreenCaptureService& capture, ShareableContentSource& content, double seconds,
                   pid_t serverPid = 0) {
    const ShareableContent now = content.content();
    const ScreenStreamPlan plan = planScreenStream(now, DisplayTarget{now.displays.at(0).id}, true,
                                                   std::uint32_t(::getpid()));
    const ContentFilter& filter = plan.filter;
    const StreamConfiguration& configuration = plan.configuration;
    Counter counter;
    auto stream = capture.startCapture(filter, configuration, counter);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    int before = 0;
    {
        std::lock_guard lock(counter.mutex);
        before = counter.frames;
        counter.delaySum = counter.delayMax = 0;
    }
    const double cpuBefore = bench::ownCpu();
    const double serverBefore = serverPid != 0 ? bench::processCpu(serverPid) : 0;
    const auto begin = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(Seconds(seconds));
    const double elapsed = Seconds(std::chrono::steady_clock::now() - begin).count();
    const double cpu = (bench::ownCpu() - cpuBefore) / elapsed;
    const double server =
        serverPid != 0 ? (bench::processCpu(serverPid) - serverBefore) / elapsed : 0;
    stream->stopCapture();
    const int frames = counter.frames - before;
    std::printf(
        "  stream: %5.1f frames/s (%.1f%% of %g)  client %5.1f%% of a core  server %5.1f%%  "
        "stamp to recorder mean %.2f ms max %.2f ms\n",
        frames / elapsed, 100 * frames / elapsed / kDesktopRate, kDesktopRate, cpu * 100,
        server * 100, frames > 0 ? counter.delaySum / frames * 1000 : 0, counter.delayMax * 1000);
}

// `zarvex record` for `seconds` (run by `run`, a child of this process).
void measureRecord(const std::function<testing::ProcessResult()>& run, double seconds) {
    const double before = bench::childrenCpu();
    const testing::ProcessResult result = run();
    const double cpu = (bench::childrenCpu() - before) / seconds;
    if (result.exitCode != 0) {
        std::printf("  record failed: %s\n", result.err.c_str());
        return;
    }
    const std::string movie = result.out.substr(0, result.out.size() - 1) + "/screen.mov";
    const testing::ProcessResult count =
        testing::runProcess({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                             "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", movie});
    const int frames = std::atoi(count.out.c_str());
    const double length = testing::lastFrameTime(movie);
    std::printf("  record: %d frames in %.2f s (%.1f/s)  zarvex %5.1f%% of a core per second\n",
                frames, length, frames / std::max(length, 0.001), cpu * 100);
}

int inside(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "wayland");
    QGuiApplication app(argc, argv);
    measureStream(*makeWaylandScreenCapture(), *makeWaylandShareableContent(), std::stod(argv[4]));
    return 0;
}

int outside(int argc, char** argv) {
    const double seconds = argc > 1 ? std::stod(argv[1]) : 10.0;
    const std::string secondsText = std::to_string(seconds);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf("load: %s", testing::runProcess({"uptime"}).out.c_str());
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    for (const auto& [width, height] : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
        const std::string w = std::to_string(width);
        const std::string h = std::to_string(height);
        std::printf("Wayland %dx%d\n", width, height);
        {
            testing::WaylandDesktop desktop({self, ZARVEX_BINARY}, width, height);
            std::fputs(desktop.run({desktop.program(self).string(), "--inside", w, h, secondsText})
                           .out.c_str(),
                       stdout);
            measureRecord(
                [&] {
                    return desktop.run({desktop.program(ZARVEX_BINARY).string(), "record",
                                        "--seconds", secondsText, "--no-mic", "--no-system-audio"});
                },
                seconds);
        }
        std::printf("X11 on Xvfb %dx%d\n", width, height);
        testing::Xvfb server(width, height);
        testing::TestWindow screen(ZARVEX_TEST_WINDOW, server,
                                   {.x = 0, .y = 0, .width = width, .height = height});
        screen.command("animate 33");
        const X11Options options{server.display(), {}, &systemClock()};
        measureStream(*makeX11ScreenCapture(options), *makeX11ShareableContent(options), seconds,
                      server.pid());
        testing::TempDir home;
        measureRecord(
            [&] {
                return testing::runProcess(
                    {"env", "DISPLAY=" + server.display(), "HOME=" + home.path().string(),
                     "XDG_CONFIG_HOME=" + (home / ".config").string(),
                     "PULSE_SERVER=unix:" + (home / "none").string(), ZARVEX_BINARY, "record",
                     "--seconds", secondsText, "--no-mic", "--no-system-audio"});
            },
            seconds);
    }
    return 0;
}

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--inside") {
        return zarvex::inside(argc, argv);
    }
    try {
        return zarvex::outside(argc, argv);
    } catch (const std::exception& error) {  // after the rigs have been stopped
        std::fprintf(stderr, "wayland_capture_bench: %s\n", error.what());
        return 1;
    }
}
