#include "media/movie_writer.h"

#include <gtest/gtest.h>

#include <thread>

#include "media/audio_decoder.h"
#include "media/movie_reader.h"
#include "media/video_decoder.h"
#include "media_fixtures.h"
#include "temp_dir.h"
#include "thrown.h"

namespace zarvex {
namespace {

using testing::counterFrame;
using testing::readCounter;
using testing::TempDir;

MediaTime seconds(double value) {
    return MediaTime::fromSeconds(value, 90000);
}

void expectNear(MediaTime time, double expected, double tolerance = 0.002) {
    EXPECT_NEAR(time.seconds(), expected, tolerance);
}

TEST(MovieWriter, DropsEarlySamplesGapsAreSilenceRealTimeDropsAndFailuresLeaveNoFile) {
    TempDir dir;
    const auto path = dir / "late.mov";
    {
        MovieWriter writer(path, MovieFileType::quickTimeMovie);
        VideoWriterInput& video = writer.addVideoInput(VideoSettings::recordingH264(64, 48), false);
        AudioWriterInput& audio = writer.addAudioInput({});
        writer.startWriting();
        EXPECT_FALSE(video.append(counterFrame(99, 64, 48), seconds(100)));  // no session yet
        writer.startSession(seconds(100));
        EXPECT_FALSE(video.append(counterFrame(98, 64, 48), seconds(99.9)));
        for (int i = 0; i < 30; ++i) {
            EXPECT_TRUE(video.append(counterFrame(i, 64, 48), seconds(100 + i / 30.0)));
        }
        EXPECT_FALSE(video.append(counterFrame(500, 64, 48), seconds(100.5)));  // not later
        // A second of tone that begins half a second before T0.
        const auto tone = testing::toneSamples(440, 48000);
        EXPECT_TRUE(audio.append({tone.data(), 48000}, seconds(99.5)));
        const auto early = testing::toneSamples(440, 480);
        EXPECT_FALSE(audio.append({early.data(), 480}, seconds(98)));
        writer.finishWriting();
        ASSERT_EQ(writer.status(), MovieWriter::Status::completed);
    }
    const MovieInfo info = readMovieInfo(path);
    ASSERT_EQ(info.tracks.size(), 2u);
    expectNear(info.tracks[0].contentRange.start, 0);
    expectNear(info.tracks[0].contentRange.end, 1.0, 0.04);
    // Half a second of the tone survives, from T0 on.
    expectNear(info.tracks[1].contentRange.start, 0, 0.03);
    expectNear(info.tracks[1].contentRange.end, 0.5, 0.03);

    EXPECT_EQ(readCounter(VideoDecoder(path, 0).frameAt(MediaTime::zero()).value().image), 0);

    // Audio chunks with a gap between them leave silence.
    const auto gap = dir / "gap.mov";
    {
        MovieWriter writer(gap, MovieFileType::quickTimeMovie);
        AudioWriterInput& audio = writer.addAudioInput({});
        writer.startWriting();
        writer.startSession(MediaTime::zero());
        // 0–0.5 s tone, nothing for 0.5 s, then 0.5 s more (16-bit mono at 24 kHz).
        std::vector<std::int16_t> mono(12000);
        for (std::size_t i = 0; i < mono.size(); ++i) {
            mono[i] = std::int16_t(8000 * std::sin(2 * 3.14159265 * 440 * double(i) / 24000));
        }
        const AudioChunk chunk{mono.data(), 12000, 24000, 1, SampleFormat::s16};
        EXPECT_TRUE(audio.append(chunk, seconds(0)));
        EXPECT_TRUE(audio.append(chunk, seconds(1.0)));
        writer.finishWriting();
        ASSERT_EQ(writer.status(), MovieWriter::Status::completed);
    }
    AudioDecoder decoder(gap, 0);
    auto powerAt = [&](double from) {
        decoder.seek(seconds(from));
        std::vector<float> window(2 * 9600);
        decoder.read(window.data(), 9600);
        return testing::tonePower(window, 440);
    };
    EXPECT_GT(powerAt(0.1), 1e-3);
    EXPECT_LT(powerAt(0.6), 1e-6);
    EXPECT_GT(powerAt(1.1), 1e-3);

    // Real-time input drops frames when the encoder falls behind.
    MovieWriter writer(dir / "flood.mov", MovieFileType::quickTimeMovie);
    VideoWriterInput& video = writer.addVideoInput(VideoSettings::recordingH264(1280, 720), true);
    writer.startWriting();
    writer.startSession(MediaTime::zero());
    const VideoFrame frame = counterFrame(5, 1280, 720);
    int taken = 0;
    int dropped = 0;
    bool sawNotReady = false;
    for (int i = 0; i < 60; ++i) {
        sawNotReady = sawNotReady || !video.isReadyForMoreMediaData();
        (video.append(frame, seconds(i / 60.0)) ? taken : dropped)++;
    }
    EXPECT_GE(taken, 4);
    EXPECT_GT(dropped, 0);
    EXPECT_TRUE(sawNotReady);
    writer.finishWriting();
    EXPECT_EQ(writer.status(), MovieWriter::Status::completed);
    EXPECT_EQ(readMovieInfo(dir / "flood.mov").tracks.size(), 1u);

    // Cancelling, destruction without finishing and failures leave no file.
    for (bool cancel : {true, false}) {
        const auto removed = dir / (cancel ? "cancelled.mov" : "dropped.mov");
        {
            MovieWriter failing(removed, MovieFileType::quickTimeMovie);
            VideoWriterInput& input =
                failing.addVideoInput(VideoSettings::recordingH264(64, 48), false);
            failing.startWriting();
            failing.startSession(MediaTime::zero());
            for (int i = 0; i < 90; ++i) {
                input.append(counterFrame(i, 64, 48), seconds(i / 30.0));
            }
            EXPECT_TRUE(std::filesystem::exists(removed));
            if (cancel) {
                failing.cancelWriting();
                EXPECT_EQ(failing.status(), MovieWriter::Status::cancelled);
                EXPECT_FALSE(input.append(counterFrame(1, 64, 48), seconds(10)));
            }
        }
        EXPECT_FALSE(std::filesystem::exists(removed));
    }

    // An old file is removed; failures carry FFmpeg's text.
    testing::writeText(dir / "old.mp4", "old content");
    {
        MovieWriter failing(dir / "old.mp4", MovieFileType::mpeg4);
        EXPECT_FALSE(std::filesystem::exists(dir / "old.mp4"));
    }
    MovieWriter failing(dir / "missing" / "x.mov", MovieFileType::quickTimeMovie);
    failing.addVideoInput(VideoSettings::recordingH264(64, 48), true);
    EXPECT_NE(
        testing::thrownText([&] { failing.startWriting(); }).find("No such file or directory"),
        std::string::npos);
    EXPECT_EQ(failing.status(), MovieWriter::Status::failed);
    ASSERT_TRUE(failing.error().has_value());

    MovieWriter odd(dir / "odd.mov", MovieFileType::quickTimeMovie);
    odd.addVideoInput(VideoSettings::recordingH264(63, 48), true);
    EXPECT_THROW(odd.startWriting(), MediaError);
}

}  // namespace
}  // namespace zarvex
