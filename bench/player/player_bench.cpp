// The player against its targets, run by hand:
//
//   build/<dir>/bench/player/player_bench [WORK_DIR] [--runs N]
//
// On a private 1920 × 1080 Xvfb with openbox and a PulseAudio daemon (a null
// sink: the sound is really played, at the sink's pace):
//  1. Playback: `zarvex play` of a 20 s 1920 × 1080 screen-like recording at
//     60 fps with a 1280 × 720 webcam at 30 fps and two audio tracks, default
//     style, in a 1280 × 720 view, to the end. Figures: frames handed over
//     within one 60 Hz refresh of their audio-clock time (target ≥ 99 %),
//     pictures painted on time and how long after their time, the A/V offset
//     at hand-over against the position Qt reports as heard (target ≤ 20 ms),
//     and the CPU time per second of playback.
//  2. A style edit while paused on that recording: from setStyle to the new
//     picture painted, in views of 1280 × 720 and 1920 × 1080 (target median
//     ≤ 16.7 ms).
//  3. Exact seeks to random times of a 1920 × 1080 recording made by
//     `zarvex record` (of the same desktop playing in `zarvex play`): from
//     seek to the picture of that time painted (targets: median ≤ 150 ms,
//     worst ≤ 300 ms).
//  4. A/V as seen and heard: `zarvex record` of the A/V rig (a flash at the
//     instant each beep is heard) gives a recording whose beeps and flashes
//     coincide; `zarvex play` plays it while `zarvex record` records the
//     player's window and the system audio. The offsets from flash to beep in
//     that second recording, less those of the first, are the player's
//     (target ≤ 20 ms). `--av` runs this part alone.
// Recordings are made once and kept in WORK_DIR (default
// /tmp/zarvex-player-bench). The machine is shared: the load is printed with
// the figures; rerun when it is quiet.

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "av_sync.h"
#include "child_process.h"
#include "editor/frame_view.h"
#include "media/movie_reader.h"
#include "process.h"
#include "pulse_daemon.h"
#include "render/project_document.h"
#include "screen_like_recording.h"
#include "timed_run.h"
#include "xvfb.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kPlaybackSeconds = 20;

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Spread {
    double median = 0;
    double worst = 0;
};

Spread spread(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

// Runs the Qt event loop until `done` holds (or `limit` passes); false on timeout.
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

// A document shown in a frame view, the way the editor will show it.
class Viewer {
  public:
    Viewer(const fs::path& folder, QSize size) : document_(folder) {
        view_.resize(size);
        view_.show();
        view_.setPlayer(&document_.player());
        QObject::connect(&view_, &FrameView::picturePainted, [this](double seconds) {
            painted_.push_back({seconds, Clock::now()});
        });
        bool loaded = false;
        document_.load([&] { loaded = true; });
        runUntil([&] { return loaded && !painted_.empty(); }, std::chrono::seconds(60));
        if (document_.errorMessage()) {
            std::fprintf(stderr, "cannot open %s: %s\n", folder.c_str(),
                         document_.errorMessage()->c_str());
            std::exit(1);
        }
    }
    ~Viewer() { view_.setPlayer(nullptr); }

    ProjectDocument& document() { return document_; }

    // Milliseconds from `action` to the next picture painted that shows `seconds`
    // (any new picture when nothing is given).
    double timeToPicture(const std::function<void()>& action, std::optional<double> seconds) {
        const std::size_t before = painted_.size();
        const auto start = Clock::now();
        action();
        std::optional<Clock::time_point> shown;
        runUntil(
            [&] {
                for (std::size_t i = before; i < painted_.size(); ++i) {
                    if (!seconds || std::abs(painted_[i].first - *seconds) < 1e-6) {
                        shown = painted_[i].second;
                        return true;
                    }
                }
                return false;
            },
            std::chrono::seconds(10));
        return shown ? milliseconds(*shown - start) : 10000;
    }

  private:
    ProjectDocument document_;
    FrameView view_;
    std::vector<std::pair<double, Clock::time_point>> painted_;
};

void measureStyleEdits(const fs::path& folder, QSize size) {
    Viewer viewer(folder, size);
    ProjectDocument& document = viewer.document();
    viewer.timeToPicture([&] { document.player().seek(MediaTime::fromSeconds(5)); }, 5.0);
    std::vector<double> times;
    for (int i = 0; i < 40; ++i) {
        StyleSettings style = document.style();
        style.paddingFraction = i % 2 == 0 ? 0.09 : 0.07;
        style.cornerRadius = 16 + i % 5;
        times.push_back(viewer.timeToPicture([&] { document.setStyle(style); }, std::nullopt));
    }
    const Spread result = spread(times);
    std::printf("  view %dx%d: median %.1f ms, worst %.1f ms (target median <= 16.7 ms)\n",
                size.width(), size.height(), result.median, result.worst);
}

void measureSeeks(const fs::path& folder, QSize size) {
    Viewer viewer(folder, size);
    const double duration = viewer.document().duration().seconds();
    std::mt19937 random(20250601);
    std::uniform_real_distribution<double> pick(0, duration - 0.1);
    std::vector<double> times;
    for (int i = 0; i < 40; ++i) {
        // Whole frames of the 60 fps grid, as the editor's scrubber mostly lands.
        const double target = std::round(pick(random) * 600) / 600;
        times.push_back(viewer.timeToPicture(
            [&] { viewer.document().player().seek(MediaTime::fromSeconds(target)); },
            MediaTime::fromSeconds(target).seconds()));
    }
    const Spread result = spread(times);
    std::printf("  view %dx%d: median %.1f ms, worst %.1f ms (targets <= 150 / 300 ms)\n",
                size.width(), size.height(), result.median, result.worst);
}

// The lines `zarvex play --stats` printed.
std::string readAll(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Flash-to-beep offsets of a recording made with system audio only.
std::vector<double> heardAfterSeen(const fs::path& folder) {
    const fs::path movie = folder / "screen.mov";
    const MovieInfo info = readMovieInfo(movie);
    return testing::offsets(
        testing::flashTimes(movie),
        testing::soundOnsets(movie, info.tracksOf(TrackKind::audio).back().index));
}

// Prints the offsets (sound after picture, ms) and returns their median.
double printOffsets(const char* name, const std::vector<double>& offsets) {
    std::printf("  %s: %zu beeps, sound after picture (ms)", name, offsets.size());
    for (const double offset : offsets) {
        std::printf(" %+.1f", offset * 1000);
    }
    const double median = spread(offsets).median * 1000;
    std::printf("; median %+.1f\n", median);
    return median;
}

// `zarvex record ARGS…` to its end; the folder it made, or nothing.
std::optional<fs::path> record(const std::map<std::string, std::string>& environment,
                               std::vector<std::string> arguments,
                               const std::function<void()>& meanwhile) {
    arguments.insert(arguments.begin(), {ZARVEX_BINARY, "record", "--no-mic", "--no-cursor"});
    testing::ChildProcess recorder(arguments, {.environment = environment});
    meanwhile();
    const auto folder = recorder.readLine(std::chrono::seconds(60));
    for (int wait = 0; wait < 100 && !recorder.exited(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const int exitCode = recorder.stop();
    if (exitCode != 0 || !folder) {
        std::fprintf(stderr, "zarvex record ended with %d\n", exitCode);
        return std::nullopt;
    }
    return fs::path(*folder);
}

// What `zarvex COMMAND` prints, run in `environment`.
std::string zarvexOutput(const std::map<std::string, std::string>& environment,
                         const std::string& command) {
    std::vector<std::string> arguments{"env"};
    for (const auto& [name, value] : environment) {
        arguments.push_back(name + "=" + value);
    }
    arguments.insert(arguments.end(), {ZARVEX_BINARY, command});
    return testing::runProcess(arguments).out;
}

int measureHeardAndSeen(const fs::path& work,
                        const std::map<std::string, std::string>& environment) {
    using namespace std::chrono_literals;
    constexpr int kBeeps = 10;
    const fs::path source = work / "Beeps and flashes";
    if (!fs::exists(source / kProjectFileName)) {
        std::printf("Recording %s with zarvex record…\n", source.filename().c_str());
        // The rig's window in the top-left quarter of the display, recorded alone.
        const std::string display = zarvexOutput(environment, "displays");
        const std::string region = display.substr(0, display.find(' ')) + ":0,0,960,540";
        const auto made = record(environment, {"--region", region, "--seconds", "16"}, [&] {
            std::this_thread::sleep_for(3s);
            testing::ChildProcess rig(
                {ZARVEX_AV_SYNC_RIG, "--sink", testing::PulseDaemon::kSinkName, "--size", "960x540",
                 "--beeps", std::to_string(kBeeps), "--interval", "1", "--latency", "200"},
                {.environment = environment, .quiet = true});
            while (rig.readLine(20s)) {
            }
            rig.stop();
        });
        if (!made) {
            std::fprintf(stderr, "zarvex record failed\n");
            return 1;
        }
        fs::rename(*made, source);
    }
    const double recorded = printOffsets("the recording played", heardAfterSeen(source));

    testing::ChildProcess player(
        {ZARVEX_BINARY, "play", source.string(), "--size", "1280x720", "--paused", "--exit-at-end"},
        {.environment = environment, .quiet = true});
    // The player's window, as `zarvex windows` lists it: "ID \"TITLE\" …".
    std::string title;
    title.append(1, '"').append(source.filename().string()).append(1, '"');
    std::string window;
    for (int attempt = 0; attempt < 100 && window.empty(); ++attempt) {
        std::this_thread::sleep_for(100ms);
        std::istringstream lines(zarvexOutput(environment, "windows"));
        for (std::string line; std::getline(lines, line);) {
            if (line.find(title) != std::string::npos) {
                window = line.substr(0, line.find(' '));
            }
        }
    }
    if (window.empty()) {
        std::fprintf(stderr, "the player's window did not appear\n");
        return 1;
    }
    const auto played = record(environment, {"--window", window, "--seconds", "19"}, [&] {
        std::this_thread::sleep_for(2s);
        testing::runProcess(
            {"env", "DISPLAY=" + environment.at("DISPLAY"), "xdotool", "key", "space"});
    });
    player.stop();
    if (!played) {
        std::fprintf(stderr, "zarvex record of the player failed\n");
        return 1;
    }
    const double shown = printOffsets("its playback, recorded", heardAfterSeen(*played));
    std::printf("  the player's own offset: %+.1f ms (target within 20 ms)\n", shown - recorded);
    return 0;
}

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    using namespace zarvex;
    fs::path work = "/tmp/zarvex-player-bench";
    int runs = 2;
    bool avOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (std::string(argv[i]) == "--av") {
            avOnly = true;
        } else {
            work = argv[i];
        }
    }
    fs::create_directories(work);
    const fs::path screenLike = work / "Screen-like 20 s";
    if (!fs::exists(screenLike / kProjectFileName)) {
        std::printf("Writing %s…\n", screenLike.filename().c_str());
        bench::writeRecording(screenLike, bench::Scenario::typical, 1920, 1080, kPlaybackSeconds);
    }

    testing::Xvfb server(1920, 1080);
    testing::WindowManager windowManager(server);
    testing::PulseDaemon sound;
    const std::vector<std::string> environment{
        "DISPLAY=" + server.display(), "QT_QPA_PLATFORM=xcb", "PULSE_SERVER=" + sound.server(),
        "XDG_DATA_HOME=" + (work / "data").string(), "HOME=" + (work / "home").string()};
    fs::create_directories(work / "home");
    const std::map<std::string, std::string> childEnvironment{
        {"DISPLAY", server.display()},
        {"QT_QPA_PLATFORM", "xcb"},
        {"PULSE_SERVER", sound.server()},
        {"XDG_DATA_HOME", (work / "data").string()},
        {"HOME", (work / "home").string()}};
    const auto heardAndSeen = [&] {
        std::printf("\n4. A/V as seen and heard, %d beeps (load %s):\n", 10,
                    bench::loadAverage().c_str());
        return measureHeardAndSeen(work, childEnvironment);
    };
    if (avOnly) {
        return heardAndSeen();
    }

    std::printf(
        "\n1. Playback of 20 s of 1920x1080 at 60 fps, webcam 1280x720, two audio tracks, "
        "in a 1280x720 view:\n");
    for (int i = 0; i < runs; ++i) {
        std::printf("  run %d (load %s)\n", i + 1, bench::loadAverage().c_str());
        const bench::Run played = bench::run({ZARVEX_BINARY, "play", screenLike.string(), "--size",
                                              "1280x720", "--exit-at-end", "--stats"},
                                             environment, work / "play.txt");
        std::istringstream lines(readAll(work / "play.txt"));
        for (std::string line; std::getline(lines, line);) {
            std::printf("    %s\n", line.c_str());
        }
        std::printf("    CPU %.2f s per second of playback (%.1f s in all, %.1f s wall)%s\n",
                    played.cpuSeconds / kPlaybackSeconds, played.cpuSeconds, played.seconds,
                    played.exitCode == 0 ? "" : "  (FAILED)");
    }

    // A recording made by the recorder, of the same desktop playing.
    const fs::path recorded = work / "Recorded 1080p";
    if (!fs::exists(recorded / kProjectFileName)) {
        std::printf("\nRecording %s with zarvex record…\n", recorded.filename().c_str());
        testing::ChildProcess player(
            {ZARVEX_BINARY, "play", screenLike.string(), "--size", "1920x1080"},
            {.environment = {{"DISPLAY", server.display()},
                             {"QT_QPA_PLATFORM", "xcb"},
                             {"PULSE_SERVER", sound.server()},
                             {"XDG_DATA_HOME", (work / "data").string()}},
             .quiet = true});
        const testing::ProcessResult made = testing::runProcess(
            {"env", "DISPLAY=" + server.display(), "PULSE_SERVER=" + sound.server(),
             "HOME=" + (work / "home").string(), ZARVEX_BINARY, "record", "--seconds", "20",
             "--no-mic", "--no-system-audio"});
        std::string folder = made.out;
        folder.erase(folder.find_last_not_of("\n") + 1);
        if (made.exitCode != 0 || folder.empty()) {
            std::fprintf(stderr, "zarvex record failed: %s\n", made.err.c_str());
            return 1;
        }
        fs::rename(folder, recorded);
    }

    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("PULSE_SERVER", sound.server().c_str(), 1);
    setenv("XDG_DATA_HOME", (work / "data").c_str(), 1);
    int qtArgc = 1;
    char name[] = "player_bench";
    char* qtArgv[] = {name, nullptr};
    QApplication application(qtArgc, qtArgv);

    std::printf("\n2. Style edit while paused, 1920x1080 recording (load %s):\n",
                bench::loadAverage().c_str());
    measureStyleEdits(screenLike, {1280, 720});
    measureStyleEdits(screenLike, {1920, 1080});

    std::printf("\n3. Exact seeks to 40 random times of the zarvex record recording (load %s):\n",
                bench::loadAverage().c_str());
    measureSeeks(recorded, {1280, 720});
    measureSeeks(recorded, {1920, 1080});
    std::printf("   and of the screen-like recording:\n");
    measureSeeks(screenLike, {1280, 720});
    return heardAndSeen();
}
