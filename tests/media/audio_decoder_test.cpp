#include "media/audio_decoder.h"

#include <gtest/gtest.h>

#include "media/movie_reader.h"
#include "media_fixtures.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::TempDir;
using testing::tonePower;

// A recording with a 440 Hz microphone track and a 1000 Hz system-audio track, 2 s long.
class AudioDecoderTest : public ::testing::Test {
  protected:
    static const std::filesystem::path& movie() {
        static const TempDir dir;
        static const std::filesystem::path path = [] {
            testing::ScreenMovieOptions options;
            options.width = 64;
            options.height = 48;
            options.frameCount = 60;
            options.frameRate = 30;
            testing::writeScreenMovie(dir / "screen.mov", options);
            return dir / "screen.mov";
        }();
        return path;
    }

    static std::vector<float> read(AudioDecoder& decoder, int frames) {
        std::vector<float> samples(2 * std::size_t(frames));
        decoder.read(samples.data(), frames);
        return samples;
    }
};

TEST_F(AudioDecoderTest, DecodesEachTrackOnTheMovieTimelineAndMixesThemPlacedByOffsetAndRange) {
    AudioDecoder microphone(movie(), 1);
    const auto samples = read(microphone, 48000);
    EXPECT_GT(tonePower(samples, 440, 0), 100 * tonePower(samples, 1000, 0));
    EXPECT_GT(tonePower(samples, 440, 1), 100 * tonePower(samples, 1000, 1));
    EXPECT_EQ(microphone.position(), 48000);

    AudioDecoder system(movie(), 2);
    const auto other = read(system, 48000);
    EXPECT_GT(tonePower(other, 1000), 100 * tonePower(other, 440));

    AudioDecoder& decoder = microphone;
    // The fixture's tone is continuous from sample 0: a sample read after a
    // seek must match the tone at that very time.
    for (double at : {1.5, 0.25, 1.0}) {
        SCOPED_TRACE(at);
        decoder.seek(MediaTime::fromSeconds(at));
        const auto samples = read(decoder, 480);
        const auto expected = testing::toneSamples(440, 480, std::int64_t(at * kAudioSampleRate));
        double error = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            error = std::max(error, double(std::abs(samples[i] - expected[i])));
        }
        EXPECT_LT(error, 0.05);
    }
    // Past the end: silence.
    decoder.seek(MediaTime::fromSeconds(5));
    for (float sample : read(decoder, 1000)) {
        ASSERT_EQ(sample, 0.0f);
    }

    // Reading on and short seeks ahead do not touch the file.
    AudioDecoder reader(movie(), 2);
    for (int i = 0; i < 50; ++i) {
        read(reader, 800);
    }
    reader.seek(MediaTime::fromSeconds(0.9));  // a little ahead of 40 000 samples read
    read(reader, 800);
    EXPECT_EQ(reader.seekCount(), 0);
    reader.seek(MediaTime::fromSeconds(0.1));
    EXPECT_EQ(reader.seekCount(), 1);

    // Tracks mixed into one stereo stream.
    AudioMixer empty;
    std::vector<float> silence(200, 1.0f);
    empty.read(silence.data(), 100);
    EXPECT_EQ(silence, std::vector<float>(200, 0.0f));

    AudioMixer mixer;
    const MovieInfo info = readMovieInfo(movie());
    for (const TrackInfo& track : info.tracksOf(TrackKind::audio)) {
        mixer.addTrack(std::make_unique<AudioDecoder>(movie(), track.index), MediaTime::zero(),
                       track.contentRange);
    }
    ASSERT_EQ(mixer.trackCount(), 2u);
    mixer.seek(MediaTime::fromSeconds(0.5));
    std::vector<float> mixed(2 * 24000);
    mixer.read(mixed.data(), 24000);
    EXPECT_EQ(mixer.position(), 48000);
    for (int channel : {0, 1}) {
        const double low = tonePower(mixed, 440, channel);
        const double high = tonePower(mixed, 1000, channel);
        EXPECT_GT(low, 1e-3);
        EXPECT_NEAR(low / high, 1.0, 0.2);
    }

    // Placed by offset and range: composition time c plays source time
    // c + 0.5, but only source 0.5–1.0 s.
    AudioMixer placed;
    placed.addTrack(std::make_unique<AudioDecoder>(movie(), 1), MediaTime::fromSeconds(0.5),
                    {MediaTime::fromSeconds(0.5), MediaTime::fromSeconds(1.0)});
    std::vector<float> placedSamples(2 * 48000);
    placed.read(placedSamples.data(), 48000);
    auto power = [&](double from, double to) {
        std::vector<float> part(placedSamples.begin() + std::ptrdiff_t(2 * from * kAudioSampleRate),
                                placedSamples.begin() + std::ptrdiff_t(2 * to * kAudioSampleRate));
        return tonePower(part, 440);
    };
    EXPECT_GT(power(0.05, 0.45), 1e-3);
    EXPECT_LT(power(0.55, 0.95), 1e-9);
    // The first sample is the source's sample at 0.5 s.
    const auto expected = testing::toneSamples(440, 10, kAudioSampleRate / 2);
    EXPECT_NEAR(placedSamples[8], expected[8], 0.05);
}

}  // namespace
}  // namespace zarvex
