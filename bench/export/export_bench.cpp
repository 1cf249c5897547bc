// Export speed and memory against ffmpeg, run by hand:
//
//   build/<dir>/bench/export/export_bench [WORK_DIR] [--no-4k] [--zoom-only]
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
//   (d) x264 alone (same settings) encoding (a)'s frames from a raw file: the
//       encoder's own time for the styled pictures, which differ from the
//       bare screen in every frame the webcam or the scaled screen moves.
// and prints frames per second, CPU time, the ratios (a)/(b) (target ≤ 1.15),
// (a)/(c) (target ≤ 0.75) and (a)/(d) (target ≤ 1.25), and the peak resident memory of a
// 3840×2160 export (target ≤ 400 MB) beside ffmpeg's own decode and x264 at
// that size. Last, the typical recording exported with zoom segments over half
// its length against the same export without (target ≤ 1.1), each twice,
// alternating, the faster run of each counted. The machine's load average is printed with the
// figures: other work on the machine skews them, so rerun when it is quiet.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/project.h"
#include "screen_like_recording.h"
#include "timed_run.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;
using bench::kFrameRate;
using bench::loadAverage;
using bench::Run;
using bench::run;
using bench::Scenario;
using bench::writeRecording;

constexpr const char* kPeerScript = "/work/shared/bench/peer-styled-export.sh";

// ---------------------------------------------------------------- running the contenders

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
    // The encoder's own share: the same settings on (a)'s finished frames,
    // read from a raw file so that nothing but x264 works.
    const fs::path raw = work / "a.y4m";
    run({"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i",
         (work / "a.mp4").string(), "-f", "yuv4mpegpipe", "-pix_fmt", "yuv420p", raw.string()});
    const Run encoder = run(x264Command(raw, "null", "-"));
    fs::remove(raw);
    std::printf("  load after:  %s\n", loadAverage().c_str());
    report("(a) zarvex export (styled)", ours, frames);
    report("(b) floor: ffmpeg decode+scale+x264", floor, frames);
    report("(c) peer: ffmpeg styled filter graph", peer, frames);
    std::printf("      (the peer's whole script, static layers included: %.2f s)\n", peerTotal);
    report("(d) x264 alone on (a)'s frames (raw)", encoder, frames);
    std::printf("  (a)/(b) = %.3f (target <= 1.15)\n", ours.seconds / floor.seconds);
    std::printf("  (a)/(c) = %.3f (target <= 0.75)\n", ours.seconds / peer.seconds);
    std::printf("  (a)/(d) = %.3f (target <= 1.25: what decoding and styling add to x264)\n",
                ours.seconds / encoder.seconds);
}

// The typical recording with and without zoom (2 × 2.5 s of its 10 s).
void compareZoom(const fs::path& recording, const fs::path& work, const std::string& dataHome) {
    const fs::path zoomed = work / "Typical 1080p zoomed";
    fs::create_directories(zoomed);
    for (const fs::directory_entry& entry : fs::directory_iterator(recording)) {
        const fs::path link = zoomed / entry.path().filename();
        if (entry.path().filename() != kProjectFileName && !fs::exists(link)) {
            fs::create_symlink(entry.path(), link);
        }
    }
    ProjectMeta meta = readProjectFile(recording);
    meta.zoom = ZoomSettings{false, std::vector<ZoomSegment>{{1.0, 3.5, 2.0, 0.3, 0.4, {}, false},
                                                             {5.5, 8.0, 2.0, 0.6, 0.6, {}, false}}};
    writeProjectFile(zoomed, meta);
    std::printf("\nZoom: the typical recording with zoom over half its length (load %s):\n",
                loadAverage().c_str());
    Run plain, magnified;
    for (int i = 0; i < 2; ++i) {
        const Run a =
            run({ZARVEX_BINARY, "export", recording.string(), "-o", (work / "z0.mp4").string()},
                {dataHome}, work / "z0.txt");
        const Run z =
            run({ZARVEX_BINARY, "export", zoomed.string(), "-o", (work / "z1.mp4").string()},
                {dataHome}, work / "z1.txt");
        if (i == 0 || a.seconds < plain.seconds) {
            plain = a;
        }
        if (i == 0 || z.seconds < magnified.seconds) {
            magnified = z;
        }
    }
    // The encoder's own share of each: x264 alone on the finished frames. A
    // zoom is motion in every frame while it moves, and that costs x264 more.
    const auto encoderAlone = [&](const char* name) {
        const fs::path raw = work / "z.y4m";
        run({"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i",
             (work / name).string(), "-f", "yuv4mpegpipe", "-pix_fmt", "yuv420p", raw.string()});
        const Run encoder = run(x264Command(raw, "null", "-"));
        fs::remove(raw);
        return encoder;
    };
    const Run plainEncoder = encoderAlone("z0.mp4");
    const Run magnifiedEncoder = encoderAlone("z1.mp4");
    report("zarvex export, no zoom", plain, 10 * kFrameRate);
    report("zarvex export, zoom over 5 s of 10", magnified, 10 * kFrameRate);
    report("x264 alone on the frames without zoom", plainEncoder, 10 * kFrameRate);
    report("x264 alone on the frames with zoom", magnifiedEncoder, 10 * kFrameRate);
    std::printf("  zoom / no zoom = %.3f (target <= 1.1)\n", magnified.seconds / plain.seconds);
    std::printf("  CPU, zoom / no zoom = %.3f\n", magnified.cpuSeconds / plain.cpuSeconds);
    std::printf(
        "  x264 alone, CPU, zoom / no zoom = %.3f (what the zoomed pictures cost the "
        "encoder)\n",
        magnifiedEncoder.cpuSeconds / plainEncoder.cpuSeconds);
    std::printf("  CPU beyond x264, zoom / no zoom = %.3f (decoding, styling, writing)\n",
                (magnified.cpuSeconds - magnifiedEncoder.cpuSeconds) /
                    (plain.cpuSeconds - plainEncoder.cpuSeconds));
}

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    using namespace zarvex;
    fs::path work = "/tmp/zarvex-export-bench";
    bool with4k = true;
    bool zoomOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--no-4k") {
            with4k = false;
        } else if (std::string(argv[i]) == "--zoom-only") {
            zoomOnly = true;
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
    // No presets here: the export uses the default style.
    const std::string dataHome = "XDG_DATA_HOME=" + (work / "data").string();
    if (zoomOnly) {
        compareZoom(typical, work, dataHome);
        return 0;
    }
    prepare(scrolling, Scenario::scrolling, 1920, 1080, 10);
    if (with4k) {
        prepare(uhd, Scenario::typical, 3840, 2160, 3);
    }
    compare(typical, work, dataHome,
            "Typical screen recording (typing, pointer, scrolling in bursts, pauses), 10 s "
            "1920x1080, 600 frames at 60 fps, x264 medium CRF 18:");
    compare(scrolling, work, dataHome,
            "Worst case (a document scrolling in every frame), 10 s 1920x1080:");
    compareZoom(typical, work, dataHome);
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
