// Export speed and memory against ffmpeg, run by hand:
//
//   build/<dir>/bench/export/export_bench [WORK_DIR] [--no-4k]
//
// Makes (once, kept in WORK_DIR, default /tmp/zarvex-export-bench) 10 s
// 1920×1080 recordings of screen-like content, each with two tone tracks, a
// 1280×720 webcam and a few clicks, written as the recorder writes them (only
// changed frames): "typical" (typing, moving the pointer, scrolling in bursts,
// pauses) and "scrolling" (a document scrolling in every frame, the worst
// case); and a 3 s 3840×2160 typical one. Then, for each 1080p recording, one
// after another:
//   (a) zarvex export, default style, H.264 native (the real command);
//   (b) the floor: ffmpeg decoding the screen movie, scaling to the canvas,
//       60 fps, libx264 preset medium CRF 18 (no styling at all);
//   (c) the peer: /work/shared/bench/peer-styled-export.sh, one ffmpeg filter
//       graph drawing the same default look with its static layers built once.
//   (d) x264 alone (same settings) re-encoding (a)'s output: the encoder's own
//       time for the styled pictures, which differ from the bare screen in
//       every frame the webcam or the scaled screen moves.
// and prints frames per second, CPU time, the ratios (a)/(b) (target ≤ 1.15),
// (a)/(c) (target ≤ 0.75) and (a)/(d), and the peak resident memory of a
// 3840×2160 export (target ≤ 400 MB) beside ffmpeg's own decode and x264 at
// that size. The machine's load average is printed with the figures: other
// work on the machine skews them, so rerun when it is quiet.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "media/movie_writer.h"
#include "model/project.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;

constexpr int kFrameRate = 60;
constexpr const char* kPeerScript = "/work/shared/bench/peer-styled-export.sh";

// ---------------------------------------------------------------- screen-like pictures

std::uint32_t nextRandom(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

void fillRect(VideoFrame& frame, int x, int y, int w, int h, std::uint8_t r, std::uint8_t g,
              std::uint8_t b) {
    const int x0 = std::max(0, x), y0 = std::max(0, y);
    const int x1 = std::min(frame.width, x + w), y1 = std::min(frame.height, y + h);
    for (int row = y0; row < y1; ++row) {
        std::uint8_t* p = frame.row(0, row) + 4 * x0;
        for (int col = x0; col < x1; ++col, p += 4) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = 255;
        }
    }
}

// Lines of "words" (dark runs of random length) on a light page.
VideoFrame textPage(int width, int height, bool dark, std::uint32_t seed) {
    VideoFrame page = VideoFrame::allocate(PixelFormat::bgra, width, height);
    const std::uint8_t paper = dark ? 30 : 250;
    const std::uint8_t ink = dark ? 200 : 40;
    fillRect(page, 0, 0, width, height, paper, paper, dark ? paper : 248);
    std::uint32_t state = seed;
    for (int line = 12; line + 14 < height; line += 22) {
        int x = 16;
        const int lineEnd = width - 16 - int(nextRandom(state) % (width / 3));
        while (x < lineEnd) {
            const int word = 12 + int(nextRandom(state) % 70);
            const std::uint8_t tint = std::uint8_t(ink + nextRandom(state) % 30);
            fillRect(page, x, line, std::min(word, lineEnd - x), 12, tint, tint,
                     std::uint8_t(dark ? tint / 2 : tint + 40));
            x += word + 7;
        }
    }
    return page;
}

void blit(const VideoFrame& from, int fromY, VideoFrame& to, int x, int y, int w, int h) {
    for (int row = 0; row < h; ++row) {
        std::copy_n(from.row(0, fromY + row), 4 * w, to.row(0, y + row) + 4 * x);
    }
}

// What the screen shows at one moment; equal states give equal pictures.
struct DesktopState {
    int scroll = 0;  // document rows scrolled
    int typed = 0;   // characters typed in the terminal
    int pointerX = 0;
    int pointerY = 0;
    bool operator==(const DesktopState&) const = default;
};

// How the user behaves. `typical`: typing, then moving the pointer, scrolling
// in bursts, reading (nothing changes), typing again, as screen recordings
// mostly are. `scrolling`: everything moves in every frame (the worst case).
enum class Scenario { typical, scrolling };

bool within(double t, double from, double to) {
    return t >= from && t < to;
}

DesktopState stateAt(Scenario scenario, int index, int width, int height) {
    DesktopState state;
    double pointerTime = 0;
    for (int i = 1; i <= index; ++i) {
        const double t = i / double(kFrameRate);
        const bool all = scenario == Scenario::scrolling;
        if (all || within(t, 3.5, 5.0) || within(t, 7.0, 8.0)) {
            state.scroll += 3;
        }
        if ((all || within(t, 0, 2.0) || within(t, 8.0, 10.0)) && i % 3 == 0) {
            ++state.typed;
        }
        if (all || within(t, 2.0, 3.5) || within(t, 6.5, 7.0)) {
            pointerTime += 1.0 / kFrameRate;
        }
    }
    state.pointerX = int(width * (0.5 + 0.35 * std::sin(pointerTime * 0.9)));
    state.pointerY = int(height * (0.5 + 0.3 * std::sin(pointerTime * 1.3)));
    return state;
}

class DesktopPainter {
  public:
    DesktopPainter(int width, int height)
        : width_(width),
          height_(height),
          desktop_(VideoFrame::allocate(PixelFormat::bgra, width, height)),
          document_(textPage(width * 55 / 100, height * 6, false, 7)),
          terminal_(textPage(width * 33 / 100, height * 2, true, 11)) {
        for (int y = 0; y < height; ++y) {
            const auto shade = std::uint8_t(90 + 60 * y / height);
            fillRect(desktop_, 0, y, width, 1, shade / 2, shade, std::uint8_t(shade + 60));
        }
        // Window frames: title bars and bodies.
        fillRect(desktop_, docX() - 2, docY() - 34, document_.width + 4, docH() + 36, 210, 210,
                 214);
        fillRect(desktop_, termX() - 2, termY() - 34, terminal_.width + 4, termH() + 36, 60, 60,
                 66);
        fillRect(desktop_, 0, height - height / 30, width, height / 30, 40, 40, 48);  // task bar
    }

    VideoFrame paint(const DesktopState& state) const {
        VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width_, height_);
        std::copy_n(desktop_.data[0], std::size_t(desktop_.stride[0]) * height_, frame.data[0]);
        const int scroll = state.scroll % (document_.height - docH());
        blit(document_, scroll, frame, docX(), docY(), document_.width, docH());
        paintTerminal(state.typed, frame);
        for (int i = 0; i < 24; ++i) {
            fillRect(frame, state.pointerX, state.pointerY + i, i * 2 / 3 + 1, 1, 255, 255, 255);
        }
        return frame;
    }

  private:
    static constexpr int kLine = 22;
    static constexpr int kCell = 10;

    // Typed lines in full, the current one up to the cursor; the view follows
    // the last line.
    void paintTerminal(int typed, VideoFrame& frame) const {
        const int perLine = (terminal_.width - 32) / kCell;
        const int line = typed / perLine;
        const int visibleLines = termH() / kLine;
        const int first = std::max(0, line - visibleLines + 1);
        fillRect(frame, termX(), termY(), terminal_.width, termH(), 30, 30, 30);
        for (int l = first; l <= line; ++l) {
            const int source = (l * kLine) % (terminal_.height - kLine);
            const int width = l < line ? terminal_.width : 16 + (typed % perLine) * kCell;
            blit(terminal_, source, frame, termX(), termY() + (l - first) * kLine,
                 std::min(width, terminal_.width), kLine);
        }
    }

    int docX() const { return width_ / 20; }
    int docY() const { return height_ / 10; }
    int docH() const { return height_ * 7 / 10; }
    int termX() const { return width_ * 62 / 100; }
    int termY() const { return height_ * 3 / 10; }
    int termH() const { return height_ / 2; }

    int width_;
    int height_;
    VideoFrame desktop_;
    VideoFrame document_;
    VideoFrame terminal_;
};

VideoFrame webcamPicture(int index, int width, int height) {
    VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, height);
    const double cx = width * (0.5 + 0.05 * std::sin(index * 0.05));
    const double cy = height * (0.45 + 0.03 * std::cos(index * 0.07));
    const double radius = height * 0.3;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = frame.row(0, y);
        for (int x = 0; x < width; ++x, p += 4) {
            const double d = std::hypot(x - cx, y - cy) / radius;
            const bool face = d < 1;
            p[0] = std::uint8_t(face ? 120 : 60 + y * 80 / height);
            p[1] = std::uint8_t(face ? 150 : 70 + x * 60 / width);
            p[2] = std::uint8_t(face ? 210 : 90);
            p[3] = 255;
        }
    }
    return frame;
}

void check(MovieWriter& writer) {
    writer.finishWriting();
    if (writer.status() != MovieWriter::Status::completed) {
        std::fprintf(stderr, "fixture failed: %s\n", writer.error() ? writer.error()->what() : "?");
        std::exit(1);
    }
}

// A recording folder as the recorder leaves it: screen.mov (H.264 with the
// microphone and system-audio tracks), webcam.mov, events.json, project.json.
void writeRecording(const fs::path& folder, Scenario scenario, int width, int height,
                    double seconds) {
    fs::create_directories(folder);
    const int frames = int(seconds * kFrameRate);
    {
        MovieWriter writer(folder / kScreenFileName, MovieFileType::quickTimeMovie);
        VideoWriterInput& video =
            writer.addVideoInput(VideoSettings::recordingH264(width, height), false);
        AudioWriterInput& microphone = writer.addAudioInput({});
        AudioWriterInput& system = writer.addAudioInput({});
        writer.startWriting();
        writer.startSession(MediaTime::zero());
        std::thread audio([&] {
            constexpr int kChunk = 960;
            std::vector<float> samples(2 * kChunk);
            const auto total = std::int64_t(seconds * kAudioSampleRate);
            for (std::int64_t at = 0; at < total; at += kChunk) {
                for (AudioWriterInput* input : {&microphone, &system}) {
                    const double frequency = input == &microphone ? 440 : 1000;
                    for (int i = 0; i < kChunk; ++i) {
                        samples[2 * i] = samples[2 * i + 1] =
                            0.2f * float(std::sin(2 * std::numbers::pi * frequency *
                                                  double(at + i) / kAudioSampleRate));
                    }
                    input->append({samples.data(), kChunk}, {at, kAudioSampleRate});
                }
            }
        });
        // Like the recorder, only frames that differ from the last are written.
        const DesktopPainter painter(width, height);
        std::optional<DesktopState> last;
        for (int i = 0; i < frames; ++i) {
            const DesktopState state = stateAt(scenario, i, width, height);
            if (state != last) {
                video.append(painter.paint(state), {i, kFrameRate});
                last = state;
            }
        }
        audio.join();
        check(writer);
    }
    {
        MovieWriter writer(folder / kWebcamFileName, MovieFileType::quickTimeMovie);
        VideoWriterInput& video =
            writer.addVideoInput(VideoSettings::recordingH264(1280, 720), false);
        writer.startWriting();
        writer.startSession(MediaTime::zero());
        for (int i = 0; i < int(seconds * 30); ++i) {
            video.append(webcamPicture(i, 1280, 720), {i, 30});
        }
        check(writer);
    }
    ProjectMeta meta;
    meta.createdAt = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    meta.micIncluded = true;
    meta.systemAudioIncluded = true;
    meta.webcamFile = std::string(kWebcamFileName);
    meta.eventsFile = std::string(kEventsFileName);
    RecordedEvents events;
    for (double t = 0.5; t < seconds; t += 1.7) {
        events.clicks.push_back({t, 0.3 + 0.05 * t, 0.4});
    }
    writeEventsFile(folder, events);
    writeProjectFile(folder, meta);
}

// ---------------------------------------------------------------- running the contenders

struct Run {
    double seconds = 0;
    double peakMegabytes = 0;
    double cpuSeconds = 0;  // user + system, all threads and children
    int exitCode = -1;
};

// Runs a program with the given extra environment (its standard output going
// to `output` when given); wall time and peak memory.
Run run(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
        const fs::path& output = {}) {
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!output.empty() && !std::freopen(output.c_str(), "w", stdout)) {
            _exit(126);
        }
        for (const std::string& entry : environment) {
            putenv(const_cast<char*>(entry.c_str()));
        }
        std::vector<char*> args;
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run result;
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakMegabytes = usage.ru_maxrss / 1024.0;
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    result.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

// ffmpeg encoding the video of `input` with the export's x264 settings after
// the filter `filter` ("null" for none) into `output` ("-": nowhere).
std::vector<std::string> x264Command(const fs::path& input, const std::string& filter,
                                     const fs::path& output) {
    std::vector<std::string> command{
        "ffmpeg",       "-hide_banner", "-loglevel", "error", "-nostdin", "-y",     "-i",
        input.string(), "-map",         "0:v",       "-vf",   filter,     "-c:v",   "libx264",
        "-preset",      "medium",       "-crf",      "18",    "-pix_fmt", "yuv420p"};
    if (output == "-") {
        command.insert(command.end(), {"-f", "null", "-"});
    } else {
        command.insert(command.end(), {"-movflags", "+faststart", output.string()});
    }
    return command;
}

// The real time of ffmpeg's -benchmark line ("bench: … rtime=12.3s") in a file.
double benchmarkRealTime(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    double seconds = 0;
    while (std::getline(in, line)) {
        const auto at = line.find("rtime=");
        if (at != std::string::npos) {
            seconds = std::atof(line.c_str() + at + 6);
        }
    }
    return seconds;
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void report(const char* name, const Run& result, int frames) {
    std::printf("  %-38s %6.2f s  %6.1f fps  cpu %6.2f s  peak %5.0f MB%s\n", name, result.seconds,
                frames / result.seconds, result.cpuSeconds, result.peakMegabytes,
                result.exitCode == 0 ? "" : "  (FAILED)");
}

}  // namespace
}  // namespace zarvex

namespace zarvex {
namespace {

// Runs (a), (b) and (c) on one recording and prints their figures.
void compare(const fs::path& recording, const fs::path& work, const std::string& dataHome,
             const char* title) {
    const int frames = 10 * kFrameRate;
    std::printf("\n%s\n  load before: %s\n", title, loadAverage().c_str());
    const Run ours =
        run({ZARVEX_BINARY, "export", recording.string(), "-o", (work / "a.mp4").string()},
            {dataHome}, work / "a.txt");
    const Run floor = run(x264Command(recording / kScreenFileName,
                                      "fps=60,scale=1920:1080:flags=bicubic", work / "b.mp4"));
    Run peer =
        run({kPeerScript, (recording / kScreenFileName).string(),
             (recording / kWebcamFileName).string(), (work / "c.mp4").string(), "medium", "18"},
            {}, work / "c.txt");
    // The peer's own timing leaves out building its static layers.
    const double peerTotal = peer.seconds;
    if (const double graph = benchmarkRealTime(work / "c.txt"); graph > 0) {
        peer.seconds = graph;
    }
    // The encoder's own share: the same settings on (a)'s finished frames.
    const Run encoder = run(x264Command(work / "a.mp4", "null", "-"));
    std::printf("  load after:  %s\n", loadAverage().c_str());
    report("(a) zarvex export (styled)", ours, frames);
    report("(b) floor: ffmpeg decode+scale+x264", floor, frames);
    report("(c) peer: ffmpeg styled filter graph", peer, frames);
    std::printf("      (the peer's whole script, static layers included: %.2f s)\n", peerTotal);
    report("(d) x264 alone on (a)'s frames", encoder, frames);
    std::printf("  (a)/(b) = %.3f (target <= 1.15)\n", ours.seconds / floor.seconds);
    std::printf("  (a)/(c) = %.3f (target <= 0.75)\n", ours.seconds / peer.seconds);
    std::printf("  (a)/(d) = %.3f (what decoding and styling add to the encoder)\n",
                ours.seconds / encoder.seconds);
}

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    using namespace zarvex;
    fs::path work = "/tmp/zarvex-export-bench";
    bool with4k = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--no-4k") {
            with4k = false;
        } else {
            work = argv[i];
        }
    }
    const fs::path typical = work / "Typical 1080p";
    const fs::path scrolling = work / "Scrolling 1080p";
    const fs::path uhd = work / "Typical 2160p";
    const auto prepare = [](const fs::path& folder, Scenario scenario, int width, int height,
                            double seconds) {
        if (!fs::exists(folder / kProjectFileName)) {
            std::printf("Writing %s…\n", folder.filename().c_str());
            writeRecording(folder, scenario, width, height, seconds);
        }
    };
    prepare(typical, Scenario::typical, 1920, 1080, 10);
    prepare(scrolling, Scenario::scrolling, 1920, 1080, 10);
    if (with4k) {
        prepare(uhd, Scenario::typical, 3840, 2160, 3);
    }
    // No presets here: the export uses the default style.
    const std::string dataHome = "XDG_DATA_HOME=" + (work / "data").string();

    compare(typical, work, dataHome,
            "Typical screen recording (typing, pointer, scrolling in bursts, pauses), 10 s "
            "1920x1080, 600 frames at 60 fps, x264 medium CRF 18:");
    compare(scrolling, work, dataHome,
            "Worst case (a document scrolling in every frame), 10 s 1920x1080:");
    if (with4k) {
        const Run big =
            run({ZARVEX_BINARY, "export", uhd.string(), "-o", (work / "a4k.mp4").string()},
                {dataHome}, work / "a4k.txt");
        const Run floor4k = run(x264Command(uhd / kScreenFileName, "fps=60", work / "b4k.mp4"));
        std::printf("\n3 s of 3840x2160, H.264 native (load %s):\n", loadAverage().c_str());
        report("zarvex export", big, 3 * kFrameRate);
        report("ffmpeg decode+x264 (memory reference)", floor4k, 3 * kFrameRate);
        std::printf("  peak memory of the export %.0f MB (target <= 400 MB)\n", big.peakMegabytes);
    }
    return 0;
}
