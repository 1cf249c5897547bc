// CPU cost of recording a 1920 × 1080 display at up to 60 frames per second
// on a private Xvfb, with the screen animating (a full-screen window changing
// colour every 8 ms) and static, against the baseline
//   ffmpeg -f x11grab -framerate 60 -video_size 1920x1080 -i :N -f null -
// on the same screen. Frames are grabbed and dropped; encoding is not counted.
// Both the grabbing process and the X server are measured, since shared-memory
// grabs make the server do the copying. Run by hand:
//   build/<dir>/bench/capture/screen_capture_bench [seconds per phase, default 10]
// and note the machine load (printed first) with every figure.

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <thread>

#include "capture/x11/x11_backend.h"
#include "cpu_usage.h"
#include "process.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using Seconds = std::chrono::duration<double>;

using bench::childrenCpu;
using bench::ownCpu;
using bench::processCpu;

struct Counter : ScreenStreamOutput {
    std::atomic<int> frames{0};
    void didOutputFrame(const ScreenFrame& frame) override {
        frames += frame.status == FrameStatus::complete;
    }
    void didStopWithError(std::exception_ptr) override {}
};

struct Figures {
    double clientCores = 0;
    double serverCores = 0;
    double framesPerSecond = 0;
};

void print(const char* name, const Figures& figures) {
    std::printf("%-28s client %6.1f%%  X server %6.1f%%  total %6.1f%% of one core", name,
                figures.clientCores * 100, figures.serverCores * 100,
                (figures.clientCores + figures.serverCores) * 100);
    if (figures.framesPerSecond > 0) {
        std::printf("  %5.1f frames/s", figures.framesPerSecond);
    }
    std::printf("\n");
}

// `leaveOutOwnWindows` false measures the stream without the Composite
// redirection that leaving out this process's windows needs.
Figures ourStream(const std::string& display, pid_t server, double seconds,
                  bool leaveOutOwnWindows = true) {
    X11Options options{display, {}, &systemClock()};
    const ShareableContent content = makeX11ShareableContent(options)->content();
    ScreenStreamPlan plan = planScreenStream(content, DisplayTarget{content.displays.at(0).id},
                                             true, std::uint32_t(::getpid()));
    if (!leaveOutOwnWindows) {
        plan.filter.excludedProcessIDs.clear();
    }
    auto capture = makeX11ScreenCapture(options);
    Counter counter;
    auto stream = capture->startCapture(plan.filter, plan.configuration, counter);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the first frame
    const int framesBefore = counter.frames;
    const double clientBefore = ownCpu();
    const double serverBefore = processCpu(server);
    const auto begin = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(Seconds(seconds));
    const double elapsed = Seconds(std::chrono::steady_clock::now() - begin).count();
    Figures figures{(ownCpu() - clientBefore) / elapsed,
                    (processCpu(server) - serverBefore) / elapsed,
                    (counter.frames - framesBefore) / elapsed};
    stream->stopCapture();
    return figures;
}

Figures ffmpegGrab(const std::string& display, pid_t server, double seconds) {
    const double clientBefore = childrenCpu();
    const double serverBefore = processCpu(server);
    const auto begin = std::chrono::steady_clock::now();
    const auto result =
        testing::runProcess({"ffmpeg", "-nostdin", "-loglevel", "error", "-f", "x11grab",
                             "-framerate", "60", "-video_size", "1920x1080", "-i", display, "-t",
                             std::to_string(seconds), "-f", "null", "-"});
    const double elapsed = Seconds(std::chrono::steady_clock::now() - begin).count();
    if (result.exitCode != 0) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", result.err.c_str());
    }
    return {(childrenCpu() - clientBefore) / elapsed, (processCpu(server) - serverBefore) / elapsed,
            0};
}

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    using namespace zarvex;
    const double seconds = argc > 1 ? std::stod(argv[1]) : 10.0;
    std::printf("load: %s", testing::runProcess({"uptime"}).out.c_str());
    testing::Xvfb server(1920, 1080);
    const pid_t serverProcess = server.pid();
    testing::TestWindow screen(ZARVEX_TEST_WINDOW, server,
                               {.x = 0, .y = 0, .width = 1920, .height = 1080, .color = "204060"});

    print("static, zarvex", ourStream(server.display(), serverProcess, seconds));
    print("static, ffmpeg x11grab", ffmpegGrab(server.display(), serverProcess, seconds));
    screen.command("animate 8");
    const Figures ours = ourStream(server.display(), serverProcess, seconds);
    print("animating, zarvex", ours);
    print("animating, zarvex, no exclusion",
          ourStream(server.display(), serverProcess, seconds, false));
    const Figures baseline = ffmpegGrab(server.display(), serverProcess, seconds);
    print("animating, ffmpeg x11grab", baseline);
    std::printf(
        "animating ratio zarvex / ffmpeg: client %.2f, client + X server %.2f\n",
        ours.clientCores / baseline.clientCores,
        (ours.clientCores + ours.serverCores) / (baseline.clientCores + baseline.serverCores));
    return 0;
}
