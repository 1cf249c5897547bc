// Recording throughput of the movie writer: BGRA screen frames through the
// recording H.264 settings (colour conversion on the encoder thread, libx264,
// fragmented QuickTime muxing). Run by hand:
//   build/<dir>/bench/media/movie_writer_bench
// and compare frames per second against the real-time target of 60 and against
// the ffmpeg program encoding the same frames with the same settings:
//   ffmpeg -f lavfi -i testsrc2=s=1920x1080:r=60,format=bgra -frames:v 300
//     -vf format=yuv420p -c:v libx264 -preset superfast -tune zerolatency
//     -profile:v high -b:v 8294400 -f null -
// (one command line)
// Note the machine load (uptime) with every figure.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

#include "media/movie_writer.h"

namespace zarvex {
namespace {

std::vector<VideoFrame> movingFrames(int width, int height, int count) {
    std::vector<VideoFrame> frames;
    for (int i = 0; i < count; ++i) {
        VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, height);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = frame.row(0, y);
            for (int x = 0; x < width; ++x) {
                row[4 * x] = std::uint8_t(x + i * 3);
                row[4 * x + 1] = std::uint8_t(y - i * 2);
                row[4 * x + 2] = std::uint8_t((x ^ y) + i);
                row[4 * x + 3] = 255;
            }
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

void recordingEncode(benchmark::State& state) {
    const int width = int(state.range(0));
    const int height = int(state.range(1));
    constexpr int kFrames = 120;
    const auto frames = movingFrames(width, height, 8);
    const auto path = std::filesystem::temp_directory_path() / "zarvex_writer_bench.mov";
    for (auto _ : state) {
        MovieWriter writer(path, MovieFileType::quickTimeMovie);
        VideoWriterInput& video =
            writer.addVideoInput(VideoSettings::recordingH264(width, height), false);
        writer.startWriting();
        writer.startSession(MediaTime::zero());
        for (int i = 0; i < kFrames; ++i) {
            video.append(frames[std::size_t(i) % frames.size()], {i, 60});
        }
        writer.finishWriting();
        if (writer.status() != MovieWriter::Status::completed) {
            state.SkipWithError("writer failed");
        }
    }
    std::filesystem::remove(path);
    state.counters["fps"] = benchmark::Counter(double(kFrames) * double(state.iterations()),
                                               benchmark::Counter::kIsRate);
}

BENCHMARK(recordingEncode)
    ->Args({1920, 1080})
    ->Args({1280, 720})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
}  // namespace zarvex

BENCHMARK_MAIN();
