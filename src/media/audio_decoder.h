#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "media/audio_format.h"
#include "media/media_error.h"
#include "media/media_time.h"
#include "media/movie_reader.h"

namespace zarvex {

// Decodes one audio track into 48 kHz stereo float samples placed on the
// movie's timeline: the samples read at a position are those presented then,
// with silence where the track has none (before its start, in gaps, after its
// end). Reading on is sequential; seeks inside what was just decoded or a
// little ahead of it do not touch the file. One decoder per thread.
class AudioDecoder {
  public:
    // Throws MediaError when the file cannot be opened or `trackIndex` is not
    // an audio track of it.
    AudioDecoder(const std::filesystem::path& path, int trackIndex);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Moves the read position to `time` (rounded to a sample).
    void seek(MediaTime time);
    // Fills `out` with frameCount × 2 interleaved samples from the read
    // position and advances it. Throws MediaError on a decoding failure.
    void read(float* out, int frameCount);

    // The read position in samples of 48 kHz from movie time 0.
    std::int64_t position() const;
    const TrackInfo& track() const;
    int seekCount() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Mixes several audio tracks into one 48 kHz stereo stream on a common
// timeline (a composition): composition time c plays source time c + offset of
// each track, limited to the track's source range. The sum is clipped to
// [-1, 1]. One mixer per thread.
class AudioMixer {
  public:
    AudioMixer();
    ~AudioMixer();
    AudioMixer(AudioMixer&&) noexcept;
    AudioMixer& operator=(AudioMixer&&) noexcept;

    void addTrack(std::unique_ptr<AudioDecoder> decoder, MediaTime offset, TimeRange sourceRange);
    std::size_t trackCount() const;

    void seek(MediaTime compositionTime);
    // frameCount × 2 interleaved samples from the read position; advances it.
    void read(float* out, int frameCount);
    std::int64_t position() const;

  private:
    struct Track;
    std::vector<Track> tracks_;
    std::int64_t position_ = 0;
    std::vector<float> scratch_;
};

// The sample of 48 kHz that a movie time falls on (rounded to the nearest).
std::int64_t toSampleIndex(MediaTime time);

}  // namespace zarvex
