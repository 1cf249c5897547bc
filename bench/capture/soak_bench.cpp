// A long recording: `zarvex record` of a 1920 × 1080 display on a private Xvfb
// with both audio sources (a private PulseAudio daemon: the system audio is a
// null sink's monitor, the microphone a second null sink's monitor remapped)
// while half the screen animates. Two A/V rigs (tests/e2e/av_sync_rig_main.cpp)
// flash a corner of the screen at the instant their beep is heard, one into
// each sink, every `interval` seconds. Reports
//  - for each beep the offset from its flash to its sound in the movie, and
//    the drift: the median offset of the last quarter against the first;
//  - the recording process's resident memory over time.
// Run by hand:
//   build/<dir>/bench/capture/soak_bench [seconds, default 600] [interval, default 15]

#include <sys/types.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "av_sync.h"
#include "child_process.h"
#include "media/movie_reader.h"
#include "pulse_daemon.h"
#include "temp_dir.h"
#include "xvfb.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;

// Resident memory of a process in MiB; 0 once it is gone.
double residentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024;
        }
    }
    return 0;
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

// Each beep's offset, and the drift: the median offset of the last quarter of
// the beeps against that of the first (medians, since a rig running late on
// a busy machine flashes late now and then).
void report(const char* name, const std::vector<double>& offsets) {
    std::printf("%s: %zu beeps\n", name, offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        std::printf("  beep %2zu  offset %+7.2f ms\n", i, offsets[i] * 1000);
    }
    const std::size_t quarter = offsets.size() / 4;
    if (quarter > 0) {
        const double start = median({offsets.begin(), offsets.begin() + std::ptrdiff_t(quarter)});
        const double end = median({offsets.end() - std::ptrdiff_t(quarter), offsets.end()});
        std::printf(
            "  median offset first quarter %+.2f ms, last quarter %+.2f ms, drift %+.2f ms\n",
            start * 1000, end * 1000, (end - start) * 1000);
    }
}

int run(double seconds, double interval) {
    testing::Xvfb server(1920, 1080);
    testing::PulseDaemon pulse;
    pulse.addMicrophone();
    testing::TempDir home;
    const std::map<std::string, std::string> environment{{"DISPLAY", server.display()},
                                                         {"PULSE_SERVER", pulse.server()},
                                                         {"HOME", home.path().string()}};
    testing::TestWindow animation(
        ZARVEX_TEST_WINDOW, server,
        {.x = 960, .y = 0, .width = 960, .height = 1080, .color = "204060"});
    animation.command("animate 16");

    testing::ChildProcess recorder({ZARVEX_BINARY, "record", "--seconds", std::to_string(seconds)},
                                   {.environment = environment});
    std::this_thread::sleep_for(3s);
    const int beeps = int((seconds - 10) / interval);
    auto rig = [&](const char* sink, const char* position) {
        return std::make_unique<testing::ChildProcess>(
            std::vector<std::string>{ZARVEX_AV_SYNC_RIG, "--sink", sink, "--size", "960x540",
                                     "--position", position, "--beeps", std::to_string(beeps),
                                     "--interval", std::to_string(interval), "--latency", "200"},
            testing::ChildProcess::Options{.environment = environment, .quiet = true});
    };
    auto systemRig = rig(testing::PulseDaemon::kSinkName, "0,0");
    std::this_thread::sleep_for(std::chrono::duration<double>(interval / 2));
    auto microphoneRig = rig(testing::PulseDaemon::kMicSinkName, "0,540");

    std::printf("memory of the recording process (MiB):\n");
    const auto begin = std::chrono::steady_clock::now();
    while (true) {
        const double rss = residentMiB(recorder.pid());
        const double at =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        if (rss == 0 || recorder.exited()) {
            break;
        }
        std::printf("  %6.0f s  %7.1f\n", at, rss);
        std::fflush(stdout);
        std::this_thread::sleep_for(30s);
    }
    const auto folder = recorder.readLine(60s);
    recorder.stop();
    if (!folder) {
        std::fprintf(stderr, "the recording failed\n");
        return 1;
    }
    const auto movie = std::filesystem::path(*folder) / "screen.mov";
    const MovieInfo info = readMovieInfo(movie);
    std::printf("movie: %.1f s\n", info.duration.seconds());
    report("system audio", testing::offsets(testing::flashTimes(movie, 480, 270),
                                            testing::soundOnsets(movie, info.tracks.at(2).index)));
    report("microphone", testing::offsets(testing::flashTimes(movie, 480, 810),
                                          testing::soundOnsets(movie, info.tracks.at(1).index)));
    return 0;
}

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::stod(argv[1]) : 600;
    const double interval = argc > 2 ? std::stod(argv[2]) : 15;
    return zarvex::run(seconds, interval);
}
