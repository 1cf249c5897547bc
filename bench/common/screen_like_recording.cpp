#include "screen_like_recording.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <thread>
#include <vector>

#include "media/movie_writer.h"
#include "model/project.h"

namespace zarvex::bench {
namespace {

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

bool within(double t, double from, double to) {
    return t >= from && t < to;
}

DesktopState stateAt(Scenario scenario, int index, int width, int height) {
    DesktopState state;
    double pointerTime = 0;
    for (int i = 1; i <= index; ++i) {
        // The ten-second story repeats in longer recordings.
        const double t = std::fmod(i / double(kFrameRate), 10.0);
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

}  // namespace

void writeRecording(const std::filesystem::path& folder, Scenario scenario, int width, int height,
                    double seconds) {
    std::filesystem::create_directories(folder);
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

}  // namespace zarvex::bench
