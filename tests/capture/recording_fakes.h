#pragma once

// Fakes shared by the recorder, camera and session tests: a clock the test
// sets, audio sources made on demand, a movie's pixels and tones read back.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture/capture_services.h"
#include "fake_audio_capture.h"
#include "fake_screen_capture.h"
#include "media/audio_decoder.h"
#include "media/video_decoder.h"
#include "media_fixtures.h"

namespace zarvex::testing {

// Host time of the tests' T0; any value far from zero will do.
inline constexpr HostTime kT0 = std::chrono::seconds(5000);

inline HostTime afterT0(double seconds) {
    return kT0 + std::chrono::duration_cast<HostTime>(std::chrono::duration<double>(seconds));
}

class ManualClock : public Clock {
  public:
    // Set by the test, read by the recorders' threads too.
    std::atomic<HostTime> time = kT0;
    HostTime now() const override { return time; }
    void sleepUntil(HostTime deadline) const override {
        if (deadline > time.load()) {
            throw std::logic_error("a manual clock never moves by itself");
        }
    }
};

// Makes one FakeAudioCapture per source and keeps it reachable for delivery
// while the recorder owns it; `missing` sources are not made at all.
class FakeAudioSources {
  public:
    std::vector<AudioSource> missing;

    AudioCaptureFactory factory() {
        return [this](AudioSource source) -> std::unique_ptr<AudioCapture> {
            for (AudioSource absent : missing) {
                if (absent == source) {
                    return nullptr;
                }
            }
            auto capture = std::make_unique<FakeAudioCapture>(source);
            made_[source] = capture.get();
            return capture;
        };
    }

    // The source made last; throws when none was made.
    FakeAudioCapture& operator[](AudioSource source) { return *made_.at(source); }
    bool made(AudioSource source) const { return made_.count(source) != 0; }

  private:
    std::map<AudioSource, FakeAudioCapture*> made_;
};

// One 320 × 240 display (id 7, at the origin) and one window.
inline constexpr DisplayID kDisplay = 7;
inline constexpr WindowID kWindow = 0x400001;

inline FakeShareableContent oneDisplayDesktop() {
    FakeShareableContent content;
    content.current.displays = {{kDisplay, "screen", Rect{0, 0, 320, 240}, 1, true}};
    content.current.windows = {{kWindow, 4242, "Notes", "Notes", Rect{10, 20, 100, 80}}};
    return content;
}

// Pixel (x, y) (the centre when negative) of the picture shown at `seconds`
// as 0xRRGGBB; nothing before the first frame.
inline std::optional<std::uint32_t> pixelAt(const std::filesystem::path& movie, double seconds,
                                            int x = -1, int y = -1) {
    VideoDecoder decoder(movie, readMovieInfo(movie).tracksOf(TrackKind::video).at(0).index,
                         VideoDecoder::Output::bgra);
    const auto frame = decoder.frameAt(MediaTime::fromSeconds(seconds, 90000));
    if (!frame) {
        return std::nullopt;
    }
    const VideoFrame& image = frame->image;
    const std::uint8_t* pixel =
        image.row(0, y < 0 ? image.height / 2 : y) + 4 * (x < 0 ? image.width / 2 : x);
    return std::uint32_t(pixel[2]) << 16 | std::uint32_t(pixel[1]) << 8 | pixel[0];
}

// pixelAt() with each channel read as 0x00 or 0xff: coding shifts colours a
// little, and the tests draw with pure ones.
inline std::optional<std::uint32_t> colourAt(const std::filesystem::path& movie, double seconds,
                                             int x = -1, int y = -1) {
    const auto pixel = pixelAt(movie, seconds, x, y);
    if (!pixel) {
        return std::nullopt;
    }
    std::uint32_t colour = 0;
    for (int shift : {0, 8, 16}) {
        colour |= ((*pixel >> shift & 0xff) > 128 ? 0xffu : 0u) << shift;
    }
    return colour;
}

// Presentation times (seconds) of every frame of a movie's first video track.
inline std::vector<double> frameTimes(const std::filesystem::path& movie) {
    VideoDecoder decoder(movie, readMovieInfo(movie).tracksOf(TrackKind::video).at(0).index);
    std::vector<double> times;
    while (const auto frame = decoder.nextFrame()) {
        times.push_back(frame->time.seconds());
    }
    return times;
}

// The track of a movie that must hold one H.264 track of `width` × `height`
// and nothing else (checked); an empty track when it does not.
inline TrackInfo onlyH264Track(const std::filesystem::path& movie, int width, int height) {
    const MovieInfo info = readMovieInfo(movie);
    EXPECT_EQ(info.tracks.size(), 1u);
    if (info.tracks.empty()) {
        return {};
    }
    const TrackInfo& track = info.tracks[0];
    EXPECT_EQ(track.kind, TrackKind::video);
    EXPECT_EQ(track.codec, "h264");
    EXPECT_EQ(track.width, width);
    EXPECT_EQ(track.height, height);
    return track;
}

// `seconds` of one audio track from movie time `from`, interleaved stereo.
inline std::vector<float> trackSamples(const std::filesystem::path& movie, int trackIndex,
                                       double from, double seconds) {
    AudioDecoder decoder(movie, trackIndex);
    decoder.seek(MediaTime::fromSeconds(from, kAudioSampleRate));
    std::vector<float> samples(std::size_t(seconds * kAudioSampleRate) * 2);
    decoder.read(samples.data(), static_cast<int>(samples.size() / 2));
    return samples;
}

}  // namespace zarvex::testing
