// Exported movies checked from outside: ffprobe reads what players will see,
// and the zarvex command runs as a user would run it.

#include <signal.h>

#include <cmath>

#include <gtest/gtest.h>

#include "child_process.h"
#include "document_fixtures.h"
#include "ffprobe.h"
#include "media/audio_decoder.h"
#include "media/video_decoder.h"
#include "media_fixtures.h"
#include "model/json_coding.h"
#include "model/project.h"
#include "process.h"
#include "render/frame_source.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using namespace std::chrono_literals;
using testing::exportAndWait;
using testing::loadDocument;
using testing::probeMovie;
using testing::RecordingFolderOptions;
using testing::runProcess;
using testing::ScopedEnv;
using testing::streamsOf;
using testing::TempDir;
using testing::writeRecordingFolder;

// A recording with a webcam from 0.5 s and one click on the timeline at 0.5 s.
std::filesystem::path makeRecording(const TempDir& dir, RecordingFolderOptions options = {}) {
    options.webcamStartSeconds = 0.5;
    options.clicks = {{1.0, 0.3, 0.4}};
    writeRecordingFolder(dir / "Demo", options);
    return dir / "Demo";
}

double number(const Json& value) {
    return value.is_string() ? std::stod(value.get<std::string>()) : value.get<double>();
}

// The whole first audio track, decoded.
std::vector<float> decodeAudio(const std::filesystem::path& movie) {
    const MovieInfo info = readMovieInfo(movie);
    AudioDecoder decoder(movie, info.tracksOf(TrackKind::audio).at(0).index);
    std::vector<float> samples(2 * std::size_t(std::llround(info.duration.seconds() * 48000)));
    decoder.read(samples.data(), int(samples.size() / 2));
    return samples;
}

struct PlaneDifference {
    double mean = 0;
    double farShare = 0;  // share of samples off by more than 24 levels
};

PlaneDifference compare(const VideoFrame& a, const VideoFrame& b, int plane) {
    const int width = plane == 0 ? a.width : a.width / 2;
    const int height = plane == 0 ? a.height : a.height / 2;
    double sum = 0;
    int far = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int d = std::abs(int(a.row(plane, y)[x]) - int(b.row(plane, y)[x]));
            sum += d;
            far += d > 24 ? 1 : 0;
        }
    }
    const double count = double(width) * height;
    return {sum / count, far / count};
}

// A trimmed export as players see it: its frames are the compositor's frames
// for the same time on the timeline, and both recorded tracks are mixed.
TEST(Export, TrimmedMovieHoldsTheCompositorsFramesAndBothTracksMixed) {
    TempDir dir;
    const auto open = loadDocument(makeRecording(dir));
    open->setTrimStart(0.25);
    open->setTrimEnd(1.25);
    exportAndWait(open, dir / "out.mp4");
    ASSERT_FALSE(open->errorMessage()) << *open->errorMessage();

    const Json probed = probeMovie(dir / "out.mp4");
    const auto video = streamsOf(probed, "video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0]["codec_name"], "h264");
    EXPECT_EQ(video[0]["width"], 320);
    EXPECT_EQ(video[0]["height"], 240);
    EXPECT_EQ(video[0]["avg_frame_rate"], "60/1");
    EXPECT_NEAR(number(video[0]["duration"]), 1.0, 1.0 / 60);
    const auto audio = streamsOf(probed, "audio");
    ASSERT_EQ(audio.size(), 1u);
    EXPECT_NEAR(number(audio[0]["duration"]), 1.0, 0.05);
    const std::vector<float> samples = decodeAudio(dir / "out.mp4");
    const double silence = testing::tonePower(samples, 700);
    EXPECT_GT(testing::tonePower(samples, testing::kMicrophoneTone), 100 * silence);
    EXPECT_GT(testing::tonePower(samples, testing::kSystemAudioTone), 100 * silence);

    const auto videoComposition = open->makeVideoComposition(1.0);
    CompositionFrameSource source(open->composition());
    FramePool pool(PixelFormat::i420, 320, 240);
    VideoDecoder output(dir / "out.mp4",
                        readMovieInfo(dir / "out.mp4").tracksOf(TrackKind::video)[0].index);
    // Frame 21 (0.6 s on the timeline) has the click's ripple in flight and
    // the webcam in its bubble; the trim start is frame 15 of the timeline.
    for (const int index : {0, 21, 59}) {
        const auto exported = output.frameAt({index, 60});
        ASSERT_TRUE(exported) << index;
        const CompositionResult expected =
            source.styledFrameAt(*videoComposition, {index + 15, 60}, pool);
        ASSERT_TRUE(expected.ok());
        for (int plane = 0; plane < 3; ++plane) {
            const PlaneDifference difference = compare(exported->image, expected.frame(), plane);
            EXPECT_LT(difference.mean, 1.0) << "frame " << index << " plane " << plane;
            EXPECT_LT(difference.farShare, 0.001) << "frame " << index << " plane " << plane;
        }
    }
}

// ---------------------------------------------------------------- zarvex export

class ExportCommand : public ::testing::Test {
  protected:
    TempDir dir;
    TempDir home;
    ScopedEnv homeVariable{"HOME", home.path().string()};
    ScopedEnv config{"XDG_CONFIG_HOME", (home / ".config").string()};
    ScopedEnv data{"XDG_DATA_HOME", (home / ".local" / "share").string()};

    testing::ProcessResult zarvex(std::vector<std::string> args) {
        args.insert(args.begin(), ZARVEX_BINARY);
        return runProcess(args);
    }
};

TEST_F(ExportCommand, WritesTheProposedNameOrTheChosenSizeAndCodecAndReportsFailures) {
    const auto folder = makeRecording(dir);
    const auto result = zarvex({"export", folder.string()});
    const auto expected = home / "Videos" / "Demo.mp4";
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, expected.string() + "\n");
    EXPECT_EQ(streamsOf(probeMovie(expected), "video").size(), 1u);

    // The stored pattern names the file.
    std::filesystem::create_directories(home / ".config" / "Zarvex");
    testing::writeText(home / ".config" / "Zarvex" / "Zarvex.conf",
                       "[General]\nexportFilenamePattern={{name}} take\n");
    const auto again = zarvex({"export", folder.string(), "--codec", "h264"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(std::filesystem::exists(home / "Videos" / "Demo take.mp4")) << again.out;

    // Failures exit non-zero with their message and leave no movie.
    EXPECT_EQ(zarvex({"export", dir.path().string()}).exitCode, 1);  // not a recording
    EXPECT_EQ(zarvex({"export", folder.string(), "--codec", "vp9"}).exitCode, 2);

    std::filesystem::remove(folder / "screen.mov");
    const auto broken = zarvex({"export", folder.string(), "-o", (dir / "out.mp4").string()});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.err.find("screen.mov"), std::string::npos) << broken.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp4"));

    // Scaled to the chosen resolution, in the chosen codec.
    RecordingFolderOptions options;
    options.screen.width = 1280;
    options.screen.height = 960;
    options.screen.frameCount = 30;
    options.screen.microphone = false;
    options.screen.systemAudio = false;
    writeRecordingFolder(dir / "Big", options);
    const auto small = zarvex({"export", (dir / "Big").string(), "-o", (dir / "small.mp4").string(),
                               "--resolution", "720p", "--codec", "hevc"});
    ASSERT_EQ(small.exitCode, 0) << small.err;
    const Json probed = probeMovie(dir / "small.mp4");
    const auto video = streamsOf(probed, "video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0]["codec_name"], "hevc");
    EXPECT_EQ(video[0]["width"], 960);
    EXPECT_EQ(video[0]["height"], 720);
    EXPECT_TRUE(streamsOf(probed, "audio").empty());  // nothing recorded, nothing mixed
}

// Exporting reads the recording and nothing else: a trimmed recording that has
// no style stored yet keeps every file byte for byte (its folder made
// read-only too). A name of 254 bytes, the most a file name may have after the
// extension, is written even though the export first writes under another name.
TEST_F(ExportCommand, LeavesTheRecordingUntouchedAndTakesTheLongestNames) {
    const auto folder = makeRecording(dir);
    ProjectMeta meta = readProjectFile(folder);
    meta.trimStart = 0.25;
    meta.trimEnd = 1.0;
    writeProjectFile(folder, meta);
    std::map<std::filesystem::path, std::string> before;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        before[entry.path()] = testing::readText(entry.path());
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_read);
    }
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);

    std::string name;
    for (int i = 0; i < 125; ++i) {
        name += "\u00e9";  // two bytes each
    }
    const auto output = dir / (name + ".mp4");
    const auto result = zarvex({"export", folder.string(), "-o", output.string()});
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NEAR(testing::lastFrameTime(output), 0.75 - 1.0 / 60, 0.02);
    std::map<std::filesystem::path, std::string> after;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        after[entry.path()] = testing::readText(entry.path());
    }
    EXPECT_TRUE(before == after) << "the recording folder changed";
}

bool partialMovieIn(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".part") {
            return true;
        }
    }
    return false;
}

TEST_F(ExportCommand, InterruptCancelsAndRemovesThePartialMovie) {
    RecordingFolderOptions options;
    options.screen.width = 640;
    options.screen.height = 480;
    options.screen.frameCount = 600;
    const auto folder = makeRecording(dir, options);
    const auto output = dir / "out" / "movie.mp4";
    std::filesystem::create_directory(dir / "out");
    testing::ChildProcess child({ZARVEX_BINARY, "export", folder.string(), "-o", output.string()});

    ASSERT_TRUE(testing::eventually([&] { return partialMovieIn(dir / "out"); }, 60s, 5ms))
        << "the export never started";
    ::kill(child.pid(), SIGINT);
    EXPECT_TRUE(testing::eventually([&] { return child.exited(); }, 60s, 5ms));
    EXPECT_EQ(child.stop(), 130);
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

}  // namespace
}  // namespace zarvex
