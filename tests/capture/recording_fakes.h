#pragma once

// Fakes shared by the recorder, camera and session tests: a clock the test
// sets, audio sources made on demand, a movie's pixels and tones read back.

#include <functional>
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
    HostTime time = kT0;
    HostTime now() const override { return time; }
    void sleepUntil(HostTime deadline) const override {
        if (deadline > time) {
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

// The colour at the centre of the picture shown at `seconds`, each channel
// read as 0x00 or 0xff (coding shifts colours a little), as 0xRRGGBB;
// nothing before the first frame.
inline std::optional<std::uint32_t> colourAt(const std::filesystem::path& movie, double seconds) {
    VideoDecoder decoder(movie, readMovieInfo(movie).tracksOf(TrackKind::video).at(0).index,
                         VideoDecoder::Output::bgra);
    const auto frame = decoder.frameAt(MediaTime::fromSeconds(seconds, 90000));
    if (!frame) {
        return std::nullopt;
    }
    const std::uint8_t* pixel =
        frame->image.row(0, frame->image.height / 2) + 4 * (frame->image.width / 2);
    auto level = [](std::uint8_t value) { return value > 128 ? 0xffu : 0u; };
    return level(pixel[2]) << 16 | level(pixel[1]) << 8 | level(pixel[0]);
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
