#include "av_sync.h"

#include <cmath>

#include "media/audio_decoder.h"
#include "media/video_decoder.h"

namespace zarvex::testing {

std::vector<double> flashTimes(const std::filesystem::path& movie, int x, int y) {
    VideoDecoder decoder(movie, readMovieInfo(movie).tracksOf(TrackKind::video).at(0).index,
                         VideoDecoder::Output::bgra);
    std::vector<double> times;
    bool light = false;
    while (const auto frame = decoder.nextFrame()) {
        const VideoFrame& image = frame->image;
        const int column = x < 0 ? image.width / 2 : x;
        const int green = image.row(0, y < 0 ? image.height / 2 : y)[4 * column + 1];
        if (!light && green > 192) {
            times.push_back(frame->time.seconds());
        }
        light = green > 128;
    }
    return times;
}

std::vector<double> soundOnsets(const std::filesystem::path& movie, int trackIndex) {
    AudioDecoder decoder(movie, trackIndex);
    const double seconds = readMovieInfo(movie).duration.seconds();
    std::vector<float> samples(std::size_t(seconds * kAudioSampleRate) * 2);
    decoder.read(samples.data(), int(samples.size() / 2));
    std::vector<double> onsets;
    std::int64_t quietSince = -kAudioSampleRate;
    for (std::size_t frame = 0; frame < samples.size() / 2; ++frame) {
        if (std::abs(samples[frame * 2]) < 0.2f) {
            continue;
        }
        if (std::int64_t(frame) - quietSince > kAudioSampleRate / 5) {
            onsets.push_back(double(frame) / kAudioSampleRate);
        }
        quietSince = std::int64_t(frame);
    }
    return onsets;
}

std::vector<double> offsets(const std::vector<double>& flashes, const std::vector<double>& onsets) {
    std::vector<double> result;
    for (const double flash : flashes) {
        double best = 1e9;
        for (const double onset : onsets) {
            if (std::abs(onset - flash) < std::abs(best)) {
                best = onset - flash;
            }
        }
        result.push_back(best);
    }
    return result;
}

}  // namespace zarvex::testing
