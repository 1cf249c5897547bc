#include "media/audio_decoder.h"

#include <algorithm>
#include <cstring>

#include "media/audio_converter.h"
#include "media/track_reader.h"

namespace zarvex {
namespace {

// Decoded frames whose stated time lies further than this from where the
// previous one ended start a new run: the gap is silence, an overlap is cut.
// Smaller deviations are rounding and resampler delay and are ignored.
constexpr std::int64_t kDriftTolerance = kAudioSampleRate / 50;

// How far ahead of what was decoded a seek still decodes on instead of seeking.
constexpr std::int64_t kReadAheadLimit = kAudioSampleRate / 2;

// Seeks land this much before the requested time so the decoder has primed.
constexpr double kSeekPrerollSeconds = 0.1;

}  // namespace

std::int64_t toSampleIndex(MediaTime time) {
    if (!time.isValid()) {
        return 0;
    }
    return av_rescale_rnd(time.value, kAudioSampleRate, time.timescale, AV_ROUND_NEAR_INF);
}

struct AudioDecoder::State {
    State(const std::filesystem::path& path, int trackIndex)
        : reader(path, trackIndex, TrackKind::audio, 1) {}

    ff::TrackReader reader;
    ff::FramePtr frame = ff::makeFrame();
    ff::AudioConverter converter{AV_SAMPLE_FMT_FLT};

    std::vector<float> buffer;  // interleaved stereo, first sample at bufferStart
    std::int64_t bufferStart = 0;
    bool anchored = false;  // false until a decoded frame gives the buffer its place
    bool ended = false;
    std::int64_t position = 0;

    std::int64_t bufferEnd() const { return bufferStart + std::int64_t(buffer.size() / 2); }

    void place(const AVFrame& converted, std::int64_t start) {
        const auto* samples = reinterpret_cast<const float*>(converted.data[0]);
        std::int64_t count = converted.nb_samples;
        if (!anchored) {
            buffer.clear();
            bufferStart = start;
            anchored = true;
        } else if (start > bufferEnd() + kDriftTolerance) {
            buffer.resize(buffer.size() + 2 * std::size_t(start - bufferEnd()), 0.0f);
        } else if (start < bufferEnd() - kDriftTolerance) {
            const std::int64_t overlap = std::min(count, bufferEnd() - start);
            samples += 2 * overlap;
            count -= overlap;
        }
        buffer.insert(buffer.end(), samples, samples + 2 * count);
    }

    // Decodes until the buffer reaches `until` or the track ends.
    void fill(std::int64_t until) {
        while (!ended && (!anchored || bufferEnd() < until)) {
            const int received = avcodec_receive_frame(&reader.decoder(), frame.get());
            if (received == 0) {
                const std::int64_t pts = frame->best_effort_timestamp;
                const std::int64_t start =
                    pts == AV_NOPTS_VALUE
                        ? bufferEnd()
                        : av_rescale_q_rnd(pts, reader.stream().time_base,
                                           AVRational{1, kAudioSampleRate}, AV_ROUND_NEAR_INF);
                place(converter.convert(*frame), start);
                av_frame_unref(frame.get());
                continue;
            }
            if (received == AVERROR_EOF || (received == AVERROR(EAGAIN) && reader.inputEnded())) {
                const AVFrame& rest = converter.flush();
                if (rest.nb_samples > 0 && anchored) {
                    place(rest, bufferEnd());
                }
                ended = true;
                break;
            }
            if (received != AVERROR(EAGAIN)) {
                ff::fail("Could not decode audio", received);
            }
            reader.sendNextPacket("Could not decode audio");
        }
    }

    void seekFile(MediaTime time) {
        const MediaTime preroll =
            MediaTime::fromSeconds(std::max(0.0, time.seconds() - kSeekPrerollSeconds), 1000000);
        reader.seekBackward(ff::toTicksFloor(preroll, reader.stream().time_base));
        converter.reset();
        buffer.clear();
        anchored = false;
        ended = false;
    }
};

AudioDecoder::AudioDecoder(const std::filesystem::path& path, int trackIndex)
    : state_(std::make_unique<State>(path, trackIndex)) {}

AudioDecoder::~AudioDecoder() = default;

void AudioDecoder::seek(MediaTime time) {
    State& s = *state_;
    const std::int64_t target = toSampleIndex(time);
    const bool nothingRead =
        !s.anchored && s.reader.seekCount() == 0 && s.reader.lastDts() == AV_NOPTS_VALUE;
    const bool inReach =
        s.anchored && target >= s.bufferStart && target <= s.bufferEnd() + kReadAheadLimit;
    const bool fromStart =
        nothingRead &&
        target <= toSampleIndex(s.reader.track().contentRange.start) + kReadAheadLimit;
    if (!inReach && !fromStart && !(s.ended && target >= s.bufferEnd())) {
        s.seekFile(time);
    }
    s.position = target;
}

void AudioDecoder::read(float* out, int frameCount) {
    State& s = *state_;
    s.fill(s.position + frameCount);
    for (int i = 0; i < frameCount; ++i) {
        const std::int64_t index = s.position + i;
        if (index >= s.bufferStart && index < s.bufferEnd()) {
            const std::size_t at = 2 * std::size_t(index - s.bufferStart);
            out[2 * i] = s.buffer[at];
            out[2 * i + 1] = s.buffer[at + 1];
        } else {
            out[2 * i] = 0.0f;
            out[2 * i + 1] = 0.0f;
        }
    }
    s.position += frameCount;
    // Keep nothing before the read position.
    if (s.anchored && s.position > s.bufferStart) {
        const std::int64_t drop = std::min(s.position, s.bufferEnd()) - s.bufferStart;
        s.buffer.erase(s.buffer.begin(), s.buffer.begin() + 2 * drop);
        s.bufferStart += drop;
    }
}

std::int64_t AudioDecoder::position() const {
    return state_->position;
}
const TrackInfo& AudioDecoder::track() const {
    return state_->reader.track();
}
int AudioDecoder::seekCount() const {
    return state_->reader.seekCount();
}

struct AudioMixer::Track {
    std::unique_ptr<AudioDecoder> decoder;
    std::int64_t offset = 0;  // source sample = composition sample + offset
    std::int64_t rangeStart = 0;
    std::int64_t rangeEnd = 0;
};

AudioMixer::AudioMixer() = default;
AudioMixer::~AudioMixer() = default;
AudioMixer::AudioMixer(AudioMixer&&) noexcept = default;
AudioMixer& AudioMixer::operator=(AudioMixer&&) noexcept = default;

void AudioMixer::addTrack(std::unique_ptr<AudioDecoder> decoder, MediaTime offset,
                          TimeRange sourceRange) {
    Track track{std::move(decoder), toSampleIndex(offset), toSampleIndex(sourceRange.start),
                toSampleIndex(sourceRange.end)};
    track.decoder->seek(MediaTime{position_ + track.offset, kAudioSampleRate});
    tracks_.push_back(std::move(track));
}

std::size_t AudioMixer::trackCount() const {
    return tracks_.size();
}

void AudioMixer::seek(MediaTime compositionTime) {
    position_ = toSampleIndex(compositionTime);
    for (Track& track : tracks_) {
        track.decoder->seek(MediaTime{position_ + track.offset, kAudioSampleRate});
    }
}

void AudioMixer::read(float* out, int frameCount) {
    std::fill(out, out + 2 * std::size_t(frameCount), 0.0f);
    scratch_.resize(2 * std::size_t(frameCount));
    for (Track& track : tracks_) {
        const std::int64_t from = position_ + track.offset;
        track.decoder->read(scratch_.data(), frameCount);
        const std::int64_t first = std::clamp<std::int64_t>(track.rangeStart - from, 0, frameCount);
        const std::int64_t last = std::clamp<std::int64_t>(track.rangeEnd - from, 0, frameCount);
        for (std::int64_t i = 2 * first; i < 2 * last; ++i) {
            out[i] += scratch_[std::size_t(i)];
        }
    }
    for (std::size_t i = 0; i < 2 * std::size_t(frameCount); ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
    position_ += frameCount;
}

std::int64_t AudioMixer::position() const {
    return position_;
}

}  // namespace zarvex
