// Movies checked by the ffmpeg and ffprobe programs, movies and pictures made
// by them read by ours, and a recording that is killed while it writes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "ffprobe.h"
#include "media/image_loader.h"
#include "media/movie_reader.h"
#include "media/movie_writer.h"
#include "media/video_decoder.h"
#include "media_fixtures.h"
#include "process.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::runProcess;
using testing::TempDir;

// Expects each key of `expected` to have its value in `stream`.
void expectEntries(const Json& stream, const Json& expected) {
    for (const auto& [key, value] : expected.items()) {
        EXPECT_EQ(stream.value(key, Json()), value) << key;
    }
}

void ffmpeg(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"ffmpeg", "-v", "error", "-y"});
    const auto result = runProcess(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

void writeExport(const std::filesystem::path& path, const VideoSettings& settings, int frames) {
    MovieWriter writer(path, MovieFileType::mpeg4);
    VideoWriterInput& video = writer.addVideoInput(settings, false);
    AudioWriterInput& audio = writer.addAudioInput({});
    writer.startWriting();
    writer.startSession(MediaTime::zero());
    for (int i = 0; i < frames; ++i) {
        ASSERT_TRUE(
            video.append(testing::counterFrame(i, settings.width, settings.height), {i, 60}));
        const auto tone = testing::toneSamples(440, 800, 800 * i);
        ASSERT_TRUE(audio.append({tone.data(), 800}, {800 * i, 48000}));
    }
    writer.finishWriting();
    ASSERT_EQ(writer.status(), MovieWriter::Status::completed)
        << (writer.error() ? writer.error()->what() : "");
}

void expectExportStream(const std::filesystem::path& path, const std::string& codec) {
    const Json probed = testing::probeMovie(path);
    expectEntries(testing::streamsOf(probed, "video").at(0), {{"codec_name", codec},
                                                              {"width", 320},
                                                              {"height", 180},
                                                              {"r_frame_rate", "60/1"},
                                                              {"avg_frame_rate", "60/1"},
                                                              {"pix_fmt", "yuv420p"},
                                                              {"color_range", "tv"},
                                                              {"color_space", "bt709"},
                                                              {"color_transfer", "bt709"},
                                                              {"color_primaries", "bt709"}});
    expectEntries(testing::streamsOf(probed, "audio").at(0),
                  {{"codec_name", "aac"}, {"sample_rate", "48000"}, {"channels", 2}});
    EXPECT_NE(probed["format"]["format_name"].get<std::string>().find("mp4"), std::string::npos);
    EXPECT_NEAR(std::stod(probed["format"]["duration"].get<std::string>()), 1.0, 0.05);

    // faststart: the index comes before the media data.
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));

    VideoDecoder decoder(path, 0);
    for (int k : {0, 17, 59}) {
        const auto frame = decoder.frameAt({k, 60});
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(testing::readCounter(frame->image), k);
    }
}

// Writes one 16×10 picture of `color` (an ffmpeg colour, e.g. "red@0.5") with the ffmpeg program.
void writeImage(const std::filesystem::path& path, const std::string& color,
                const std::string& pixelFormat) {
    ffmpeg({"-f", "lavfi", "-i", "color=c=" + color + ":s=16x10,format=" + pixelFormat, "-frames:v",
            "1", "-update", "1", path.string()});
}

struct Bgra {
    int b, g, r, a;
};

Bgra centre(const VideoFrame& image) {
    const std::uint8_t* p = image.row(0, image.height / 2) + 4 * (image.width / 2);
    return {p[0], p[1], p[2], p[3]};
}

TEST(Encoding, OursAndForeignMoviesAndPicturesReadAsTheirStreamsSay) {
    TempDir dir;
    writeExport(dir / "h264.mp4", VideoSettings::exportH264(320, 180), 60);
    expectExportStream(dir / "h264.mp4", "h264");
    writeExport(dir / "hevc.mp4", VideoSettings::exportHevc(320, 180), 60);
    expectExportStream(dir / "hevc.mp4", "hevc");
    EXPECT_EQ(testing::streamsOf(testing::probeMovie(dir / "hevc.mp4"), "video")
                  .at(0)["codec_tag_string"],
              "hvc1");

    // Recordings: High profile H.264 in QuickTime, tagged BT.709.
    testing::writeScreenMovie(dir / "screen.mov");
    testing::writeWebcamMovie(dir / "webcam.mov", 0.5);
    const Json screen = testing::probeMovie(dir / "screen.mov");
    expectEntries(testing::streamsOf(screen, "video").at(0), {{"codec_name", "h264"},
                                                              {"profile", "High"},
                                                              {"color_range", "tv"},
                                                              {"color_space", "bt709"}});
    EXPECT_EQ(screen["format"]["format_name"], "mov,mp4,m4a,3gp,3g2,mj2");
    // Another reader agrees that the webcam content starts half a second in.
    const Json webcam = testing::probeMovie(dir / "webcam.mov");
    EXPECT_NEAR(std::stod(webcam["streams"][0]["start_time"].get<std::string>()), 0.5, 0.002);

    // Foreign movies: the content range follows the edit list.
    ffmpeg({"-f", "lavfi", "-i", "testsrc=s=160x120:r=30", "-f", "lavfi", "-i",
            "sine=f=440:r=44100", "-t", "2", "-c:v", "libx264", "-preset", "ultrafast", "-c:a",
            "aac", "-output_ts_offset", "0.5", (dir / "late.mov").string()});
    const MovieInfo info = readMovieInfo(dir / "late.mov");
    ASSERT_EQ(info.tracks.size(), 2u);
    EXPECT_NEAR(info.tracks[0].contentRange.start.seconds(), 0.5, 0.001);
    EXPECT_NEAR(info.tracks[0].contentRange.end.seconds(), 2.5, 0.001);
    EXPECT_EQ(info.tracks[1].sampleRate, 44100);
    EXPECT_NEAR(info.duration.seconds(), 2.5, 0.05);

    VideoDecoder decoder(dir / "late.mov", 0);
    EXPECT_FALSE(decoder.frameAt(MediaTime::fromSeconds(0.45)).has_value());
    const auto first = decoder.frameAt(MediaTime::fromSeconds(0.5));
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->time, MediaTime::fromSeconds(0.5));
    const auto last = decoder.frameAt(MediaTime::fromSeconds(9));
    ASSERT_TRUE(last.has_value());
    EXPECT_NEAR(last->time.seconds(), 2.5 - 1 / 30.0, 0.001);

    // Colour tags follow the stream, or else the picture height.
    struct Case {
        std::string name;
        std::string size;
        std::vector<std::string> options;
        ColorTags expected;
    };
    const std::vector<Case> cases = {
        {"sd.mp4", "640x480", {}, {YuvMatrix::bt601, YuvRange::limited}},
        {"hd.mp4", "1280x720", {}, {YuvMatrix::bt709, YuvRange::limited}},
        {"tagged.mp4", "640x480", {"-colorspace", "bt709"}, {YuvMatrix::bt709, YuvRange::limited}},
        {"full.mp4", "640x480", {"-pix_fmt", "yuvj420p"}, {YuvMatrix::bt601, YuvRange::full}},
        {"444.mp4", "640x480", {"-pix_fmt", "yuv444p"}, {YuvMatrix::bt601, YuvRange::limited}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> arguments = {
            "-f",        "lavfi",    "-i",   "testsrc=s=" + c.size + ":r=10",
            "-frames:v", "3",        "-c:v", "libx264",
            "-preset",   "ultrafast"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.push_back((dir / c.name).string());
        ffmpeg(arguments);
        VideoDecoder decoder(dir / c.name, 0);
        const auto frame = decoder.frameAt(MediaTime::zero());
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(frame->image.format, PixelFormat::i420);
        EXPECT_EQ(frame->image.color, c.expected);
    }

    // Every background image format is decoded, translucent ones premultiplied.
    struct ImageCase {
        const char* name;
        const char* pixelFormat;
        int tolerance;
    };
    // Lossy formats come back within a few levels of the colour.
    for (const ImageCase& c : {ImageCase{"a.png", "rgb24", 0}, ImageCase{"a.jpg", "yuvj444p", 6},
                               ImageCase{"a.webp", "yuv420p", 12}, ImageCase{"a.tiff", "rgb24", 0},
                               ImageCase{"a.bmp", "bgr24", 0}}) {
        SCOPED_TRACE(c.name);
        writeImage(dir / c.name, "0x3080C0", c.pixelFormat);
        const auto image = loadImage(dir / c.name);
        ASSERT_TRUE(image.has_value());
        EXPECT_EQ(image->width, 16);
        EXPECT_EQ(image->height, 10);
        const Bgra p = centre(*image);
        EXPECT_NEAR(p.r, 0x30, c.tolerance);
        EXPECT_NEAR(p.g, 0x80, c.tolerance);
        EXPECT_NEAR(p.b, 0xC0, c.tolerance);
        EXPECT_EQ(p.a, 255);
    }
    // A translucent PNG comes out premultiplied.
    writeImage(dir / "half.png", "0xFF4000@0.5", "rgba");
    const auto image = loadImage(dir / "half.png");
    ASSERT_TRUE(image.has_value());
    const Bgra p = centre(*image);
    EXPECT_NEAR(p.a, 128, 1);
    EXPECT_NEAR(p.r, 128, 2);
    EXPECT_NEAR(p.g, 32, 2);
    EXPECT_EQ(p.b, 0);
}

// Records in real time, as the screen recorder does, until it is killed.
[[noreturn]] void recordUntilKilled(const std::filesystem::path& path, int readyPipe) {
    using Clock = std::chrono::steady_clock;
    MovieWriter writer(path, MovieFileType::quickTimeMovie);
    VideoWriterInput& video = writer.addVideoInput(VideoSettings::recordingH264(320, 240), true);
    AudioWriterInput& audio = writer.addAudioInput({});
    writer.startWriting();
    const auto start = Clock::now();
    auto toTime = [&](Clock::time_point at) {
        return MediaTime{std::chrono::duration_cast<std::chrono::microseconds>(at - start).count(),
                         1'000'000};
    };
    writer.startSession(MediaTime::zero());
    const char ready = 'r';
    (void)!::write(readyPipe, &ready, 1);
    for (int frame = 0;; ++frame) {
        const auto due = start + std::chrono::microseconds(frame * 1'000'000 / 30);
        std::this_thread::sleep_until(due);
        video.append(testing::counterFrame(frame, 320, 240), toTime(due));
        const auto tone = testing::toneSamples(440, 1600, 1600 * std::int64_t(frame));
        audio.append({tone.data(), 1600}, toTime(due));
    }
}

TEST(KilledRecording, StaysReadableUpToTheLastFragment) {
    TempDir dir;
    const auto path = dir / "screen.mov";
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        recordUntilKilled(path, pipeEnds[1]);
    }
    ::close(pipeEnds[1]);
    char ready = 0;
    const bool started = ::read(pipeEnds[0], &ready, 1) == 1;
    ::close(pipeEnds[0]);
    if (started) {
        std::this_thread::sleep_for(std::chrono::seconds(4));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(started);
    ASSERT_TRUE(WIFSIGNALED(status));

    // Our reader finds at least three seconds of pictures (ffprobe's view of a
    // killed recording is checked with the recorder end to end).
    const MovieInfo info = readMovieInfo(path);
    ASSERT_EQ(info.tracks.size(), 2u);
    EXPECT_GE(info.tracks[0].contentRange.end.seconds(), 3.0);
    VideoDecoder decoder(path, 0);
    const auto at3 = decoder.frameAt(MediaTime::fromSeconds(3.0));
    ASSERT_TRUE(at3.has_value());
    EXPECT_NEAR(testing::readCounter(at3->image), 90, 1);
    const auto last = decoder.frameAt(MediaTime::fromSeconds(60));
    ASSERT_TRUE(last.has_value());
    EXPECT_GE(last->time.seconds(), 3.0);
}

}  // namespace
}  // namespace zarvex
