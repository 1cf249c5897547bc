#include "media_fixtures.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <stdexcept>
#include <thread>

#include "media/movie_writer.h"

namespace zarvex::testing {
namespace {

// Luma of the stripe centres: a stripe reads as 1 above, 0 below these.
constexpr int kLight = 160;
constexpr int kDark = 96;

int brightness(const VideoFrame& frame, int x, int y) {
    if (frame.format == PixelFormat::i420) {
        return frame.row(0, y)[x];
    }
    const std::uint8_t* p = frame.row(0, y) + 4 * x;
    return (p[0] + 2 * p[1] + p[2]) / 4;
}

void check(bool condition, const char* what) {
    if (!condition) {
        throw std::runtime_error(what);
    }
}

void finishOrThrow(MovieWriter& writer) {
    writer.finishWriting();
    if (writer.status() != MovieWriter::Status::completed) {
        throw std::runtime_error("fixture movie failed: " +
                                 std::string(writer.error() ? writer.error()->what() : "?"));
    }
}

}  // namespace

VideoFrame counterFrame(int index, int width, int height) {
    VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = frame.row(0, y);
        for (int x = 0; x < width; ++x) {
            const int bit = kCounterBits - 1 - x * kCounterBits / width;
            const std::uint8_t level = (index >> bit) & 1 ? 235 : 20;
            row[4 * x] = level;
            row[4 * x + 1] = level;
            row[4 * x + 2] = level;
            row[4 * x + 3] = 255;
        }
    }
    return frame;
}

int readCounter(const VideoFrame& frame) {
    int index = 0;
    for (int bit = 0; bit < kCounterBits; ++bit) {
        const int x = (2 * bit + 1) * frame.width / (2 * kCounterBits);
        const int level = brightness(frame, x, frame.height / 2);
        if (level > kLight) {
            index |= 1 << (kCounterBits - 1 - bit);
        } else if (level >= kDark) {
            return -1;
        }
    }
    return index;
}

std::string bmpFile(int width, int height, const std::function<std::uint32_t(int, int)>& rgbAt) {
    const int rowBytes = (3 * width + 3) / 4 * 4;
    std::string bytes(54, '\0');
    const auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            bytes[at + i] = char(value >> (8 * i) & 0xFF);
        }
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, std::uint32_t(54 + rowBytes * height));  // file size
    put32(10, 54);                                    // where the pixels start
    put32(14, 40);                                    // header size
    put32(18, std::uint32_t(width));
    put32(22, std::uint32_t(height));
    bytes[26] = 1;                           // planes
    bytes[28] = 24;                          // bits per pixel
    for (int y = height - 1; y >= 0; --y) {  // bottom row first
        std::string row(std::size_t(rowBytes), '\0');
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = rgbAt(x, y);
            row[3 * x] = char(rgb & 0xFF);
            row[3 * x + 1] = char(rgb >> 8 & 0xFF);
            row[3 * x + 2] = char(rgb >> 16 & 0xFF);
        }
        bytes += row;
    }
    return bytes;
}

std::vector<float> toneSamples(double frequency, int frameCount, std::int64_t firstSample,
                               float amplitude) {
    std::vector<float> samples(2 * std::size_t(frameCount));
    for (int i = 0; i < frameCount; ++i) {
        const double phase =
            2 * std::numbers::pi * frequency * double(firstSample + i) / kAudioSampleRate;
        samples[2 * i] = samples[2 * i + 1] = amplitude * float(std::sin(phase));
    }
    return samples;
}

double tonePower(const std::vector<float>& interleaved, double frequency, int channel) {
    const std::size_t count = interleaved.size() / 2;
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / kAudioSampleRate);
    double previous = 0;
    double beforePrevious = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double current =
            interleaved[2 * i + channel] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    return count == 0 ? 0 : power / (double(count) * double(count));
}

void writeScreenMovie(const std::filesystem::path& path, const ScreenMovieOptions& options) {
    std::vector<double> times = options.frameTimes;
    if (times.empty()) {
        for (int i = 0; i < options.frameCount; ++i) {
            times.push_back(options.startSeconds + i / options.frameRate);
        }
    }
    check(!times.empty(), "a screen movie needs frames");
    const double end = times.back() + 1 / options.frameRate;

    MovieWriter writer(path, MovieFileType::quickTimeMovie);
    VideoWriterInput& video =
        writer.addVideoInput(VideoSettings::recordingH264(options.width, options.height), false);
    AudioWriterInput* microphone = options.microphone ? &writer.addAudioInput({}) : nullptr;
    AudioWriterInput* system = options.systemAudio ? &writer.addAudioInput({}) : nullptr;
    writer.startWriting();
    writer.startSession(MediaTime::zero());

    // Video and audio come from their own threads, as in a recording.
    std::thread audio([&] {
        constexpr int kChunk = 960;
        const std::int64_t first = std::llround(times.front() * kAudioSampleRate);
        const std::int64_t last = std::llround(end * kAudioSampleRate);
        for (std::int64_t sample = first; sample < last; sample += kChunk) {
            const int count = int(std::min<std::int64_t>(kChunk, last - sample));
            const MediaTime at{sample, kAudioSampleRate};
            if (microphone) {
                const auto tone = toneSamples(kMicrophoneTone, count, sample);
                microphone->append({tone.data(), count}, at);
            }
            if (system) {
                const auto tone = toneSamples(kSystemAudioTone, count, sample);
                system->append({tone.data(), count}, at);
            }
        }
    });
    for (std::size_t i = 0; i < times.size(); ++i) {
        video.append(counterFrame(int(i), options.width, options.height),
                     MediaTime::fromSeconds(times[i], 90000));
    }
    audio.join();
    finishOrThrow(writer);
}

void writeWebcamMovie(const std::filesystem::path& path, double startSeconds, int frameCount,
                      double frameRate, int width, int height) {
    // A screen movie without audio is what a webcam movie is.
    ScreenMovieOptions options;
    options.width = width;
    options.height = height;
    options.frameCount = frameCount;
    options.frameRate = frameRate;
    options.startSeconds = startSeconds;
    options.microphone = options.systemAudio = false;
    writeScreenMovie(path, options);
}

void writeRecordingFolder(const std::filesystem::path& folder,
                          const RecordingFolderOptions& options) {
    std::filesystem::create_directories(folder);
    writeScreenMovie(folder / kScreenFileName, options.screen);
    ProjectMeta meta;
    meta.createdAt = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    meta.micIncluded = options.screen.microphone;
    meta.systemAudioIncluded = options.screen.systemAudio;
    if (options.webcamStartSeconds) {
        writeWebcamMovie(folder / kWebcamFileName, *options.webcamStartSeconds);
        meta.webcamFile = std::string(kWebcamFileName);
    }
    writeEventsFile(folder, RecordedEvents{1, options.clicks});
    meta.eventsFile = std::string(kEventsFileName);
    writeProjectFile(folder, meta);
}

}  // namespace zarvex::testing
