// Per-frame cost of the style compositor, single-threaded, run by hand:
//
//   build/<dir>/bench/render/render_bench
//
// Scenes at 1920×1080 and 3840×2160: screen of the canvas size, default style
// (gradient, padding, corners, shadow), two ripples in flight, a 1280×720
// webcam in the bubble.
//   Compose/BGRA       the compositor alone, BGRA sources and output
//   ExportPath         decoded yuv420p screen and webcam → styled frame →
//                      yuv420p for the encoder, as the export runs it
//   ExportPath/Zoomed  the same inside a zoom segment at 2× (the screen drawn
//                      from a quarter of the source)
//   BuildInstruction   one StyleInstruction from a cached background
//   BuildBackground    the default gradient background itself
//   Baseline/Swscale   swscale converting one 1920×1080 BGRA frame to yuv420p
// The last lines print each ExportPath time as a ratio of the baseline (the
// target is at most 1.0 at 1920×1080). Note the machine's load with any figure.

extern "C" {
#include <libswscale/swscale.h>
}

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "media/yuv.h"
#include "render/background.h"
#include "render/style_compositor.h"

namespace zarvex {
namespace {

constexpr TrackID kScreen = 1;
constexpr TrackID kWebcam = 2;

VideoFrame picture(PixelFormat format, int width, int height) {
    VideoFrame bgra = VideoFrame::allocate(PixelFormat::bgra, width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bgra.row(0, y);
        for (int x = 0; x < width; ++x) {
            // Something like a desktop: flat areas with fine detail.
            const bool detail = (x / 7 + y / 9) % 5 == 0;
            row[4 * x] = std::uint8_t(detail ? 30 : 200 + x % 50);
            row[4 * x + 1] = std::uint8_t(detail ? 40 : 210 - y % 40);
            row[4 * x + 2] = std::uint8_t(detail ? 50 : 220);
            row[4 * x + 3] = 255;
        }
    }
    if (format == PixelFormat::bgra) {
        return bgra;
    }
    VideoFrame i420 = VideoFrame::allocate(PixelFormat::i420, width, height);
    convertToI420(bgra, i420);
    return i420;
}

Size canvasFor(int height) {
    return {height * 16.0 / 9.0, double(height)};
}

StyleInstruction::Parameters scene(Size canvas, const Image& background) {
    StyleInstruction::Parameters parameters;
    parameters.timeRange = {MediaTime::zero(), MediaTime{600, 60}};
    parameters.screenTrackID = kScreen;
    parameters.webcamTrackID = kWebcam;
    parameters.canvas = canvas;
    parameters.background = background;
    parameters.clicks = {{1.0, 0.3, 0.4}, {1.1, 0.62, 0.55}};
    parameters.screenSize = canvas;
    return parameters;
}

void compose(benchmark::State& state, PixelFormat sources, PixelFormat output,
             bool zoomed = false) {
    const Size canvas = canvasFor(int(state.range(0)));
    StyleInstruction::Parameters parameters =
        scene(canvas, makeBackground(StyleSettings().background, canvas));
    if (zoomed) {
        parameters.zoom = {{0, 3, 2.0, 0.4, 0.45, {}, false}};
    }
    const StyleInstruction instruction(std::move(parameters));
    const std::vector<SourceFrame> frames{
        {kScreen, picture(sources, int(canvas.width), int(canvas.height))},
        {kWebcam, picture(sources, 1280, 720)}};
    FramePool pool(output, int(canvas.width), int(canvas.height));
    CompositionRequest request;
    request.videoCompositionInstruction = &instruction;
    request.compositionTime = {72, 60};  // 1.2 s: both ripples drawn
    request.sourceFrames = frames;
    request.renderContext = &pool;
    const StyleCompositor compositor;
    for (auto _ : state) {
        CompositionResult result = compositor.startVideoCompositionRequest(request);
        if (!result.ok()) {
            state.SkipWithError(result.error().message.c_str());
            break;
        }
        benchmark::DoNotOptimize(result.frame().data[0]);
    }
}

// Both canvas heights, timed in milliseconds.
void canvases(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);
}

void composeBgra(benchmark::State& state) {
    compose(state, PixelFormat::bgra, PixelFormat::bgra);
}
BENCHMARK(composeBgra)->Name("Compose/BGRA")->Apply(canvases);

void exportPath(benchmark::State& state) {
    compose(state, PixelFormat::i420, PixelFormat::i420);
}
BENCHMARK(exportPath)->Name("ExportPath")->Apply(canvases);

void exportPathZoomed(benchmark::State& state) {
    compose(state, PixelFormat::i420, PixelFormat::i420, true);
}
BENCHMARK(exportPathZoomed)->Name("ExportPath/Zoomed")->Apply(canvases);

void buildInstruction(benchmark::State& state) {
    const Size canvas = canvasFor(int(state.range(0)));
    const Image background = makeBackground(StyleSettings().background, canvas);
    for (auto _ : state) {
        const StyleInstruction instruction(scene(canvas, background));
        benchmark::DoNotOptimize(&instruction);
    }
}
BENCHMARK(buildInstruction)->Name("BuildInstruction")->Apply(canvases);

void buildBackground(benchmark::State& state) {
    const Size canvas = canvasFor(int(state.range(0)));
    for (auto _ : state) {
        const Image background = makeBackground(StyleSettings().background, canvas);
        benchmark::DoNotOptimize(&background);
    }
}
BENCHMARK(buildBackground)->Name("BuildBackground")->Apply(canvases);

struct SwsFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

void swscaleBaseline(benchmark::State& state) {
    const int width = 1920;
    const int height = 1080;
    const VideoFrame bgra = picture(PixelFormat::bgra, width, height);
    VideoFrame i420 = VideoFrame::allocate(PixelFormat::i420, width, height);
    const std::unique_ptr<SwsContext, SwsFree> context(
        sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, AV_PIX_FMT_YUV420P,
                       SWS_BILINEAR, nullptr, nullptr, nullptr));
    const std::uint8_t* const source[4] = {bgra.data[0], nullptr, nullptr, nullptr};
    const int sourceStride[4] = {bgra.stride[0], 0, 0, 0};
    std::uint8_t* const target[4] = {i420.data[0], i420.data[1], i420.data[2], nullptr};
    const int targetStride[4] = {i420.stride[0], i420.stride[1], i420.stride[2], 0};
    for (auto _ : state) {
        sws_scale(context.get(), source, sourceStride, 0, height, target, targetStride);
        benchmark::DoNotOptimize(i420.data[0]);
    }
}
BENCHMARK(swscaleBaseline)->Name("Baseline/Swscale")->Unit(benchmark::kMillisecond);

// The console table, then every run's time as a ratio of the baseline.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto baseline = times_.find("Baseline/Swscale");
        if (baseline == times_.end()) {
            return;
        }
        for (const auto& [name, time] : times_) {
            if (name != baseline->first) {
                std::printf("%-28s %6.2f × baseline\n", name.c_str(), time / baseline->second);
            }
        }
    }

  private:
    std::map<std::string, double> times_;
};

}  // namespace
}  // namespace zarvex

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    zarvex::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
