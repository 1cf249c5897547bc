#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/audio_format.h"
#include "media/media_error.h"
#include "media/media_time.h"
#include "media/video_frame.h"

namespace zarvex {

enum class MovieFileType {
    // QuickTime movie (.mov), written as fragments of half a second each
    // (the header and the first fragment go out together), so a crash or kill
    // keeps everything up to the last fragment. For recordings.
    quickTimeMovie,
    // MPEG-4 (.mp4) with the index moved to the front when finished. For exports.
    mpeg4,
};

enum class VideoCodec { h264, hevc };

// How a video track is encoded. Every track is 8-bit 4:2:0 tagged BT.709
// (primaries, transfer, matrix) limited range; input frames are converted to that.
struct VideoSettings {
    VideoCodec codec = VideoCodec::h264;
    int width = 0;
    int height = 0;
    int crf = -1;              // constant quality when ≥ 0 …
    std::int64_t bitRate = 0;  // … otherwise this average bit rate
    std::string preset = "medium";
    std::string tune;     // empty: none
    std::string profile;  // empty: the encoder's choice
    int expectedFrameRate = 60;
    int keyframeInterval = 0;  // frames; 0: the encoder's default
    // Valid: constant frame rate, every frame lasts this long and is placed on
    // its grid. Invalid: variable frame rate, frames keep their own times.
    MediaTime frameDuration = MediaTime::invalid();
    // Encoder threads; 0 lets the encoder use every core (x264's frame threads).
    int threadCount = 1;

    // Export: H.264 (libx264) CRF 18 preset medium, 60 frames per second, on
    // every core.
    static VideoSettings exportH264(int width, int height);
    // Export: HEVC (libx265) CRF 20 preset medium, 60 frames per second.
    static VideoSettings exportHevc(int width, int height);
    // Screen and webcam recording: H.264 High profile at max(8 000 000,
    // w × h × 4) bit/s, variable frame rate around 60 fps. Preset "superfast"
    // with zero-latency tuning: the fastest preset that still codes High
    // profile (8×8 transforms) and keeps 1080p60 real time on two cores;
    // zero latency means no frame waits in a look-ahead, so fragments hold
    // everything captured up to them.
    static VideoSettings recordingH264(int width, int height);
};

// AAC (FFmpeg's native encoder).
struct AudioSettings {
    int sampleRate = kAudioSampleRate;
    int channels = kAudioChannels;
    std::int64_t bitRate = 192000;
};

class MovieWriter;

// A video track being written. Fed by one thread; inputs of one writer may be
// fed from different threads at once.
class VideoWriterInput {
  public:
    // True while an append would be taken without waiting.
    bool isReadyForMoreMediaData() const;
    // Appends a frame (BGRA sRGB or I420, any size: it is scaled) shown from
    // source time `time` on. Returns false when the frame is dropped: not
    // writing, before the session start, not later than the previous frame,
    // or (for a real-time input) the encoder queue is full. A non-real-time
    // input waits for room instead. The frame's pixels must stay unchanged
    // until it is encoded (it shares them, it does not copy).
    bool append(const VideoFrame& frame, MediaTime time);
    // No more frames: the encoder is flushed.
    void markAsFinished();

  private:
    friend class MovieWriter;
    struct Impl;
    explicit VideoWriterInput(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;

  public:
    ~VideoWriterInput();
};

// An audio track being written. Chunks of any rate and channel count are
// resampled to the track's form. Fed by one thread.
class AudioWriterInput {
  public:
    bool isReadyForMoreMediaData() const;
    // Appends a chunk whose first sample plays at source time `time`. Samples
    // before the session start are cut off; a chunk that starts after the end
    // of the previous one leaves silence in between, one that overlaps it loses
    // the overlap. Returns false when nothing of it was taken.
    bool append(const AudioChunk& chunk, MediaTime time);
    // Extends the track with silence up to source time `end`, from the session
    // start when nothing was appended yet: a track whose source is silent (or
    // absent) still covers the recording. Samples appended later that overlap
    // the silence lose the overlap. Returns false when nothing was added.
    bool appendSilence(MediaTime end);
    void markAsFinished();

  private:
    friend class MovieWriter;
    struct Impl;
    explicit AudioWriterInput(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;

  public:
    ~AudioWriterInput();
};

// Writes a movie in the manner of an asset writer: create, add inputs (tracks
// in the order added), startWriting, startSession at T0, append from the
// capture or export threads, mark inputs finished, finishWriting (or
// cancelWriting). Times in the file are source times minus T0; nothing before
// T0 is written. Video is encoded on one thread per video input behind a small
// queue, so a real-time producer never waits on the encoder.
class MovieWriter {
  public:
    enum class Status { unknown, writing, completed, failed, cancelled };

    // Removes any file at `path` (a failure to remove is ignored here; writing
    // then reports it).
    MovieWriter(std::filesystem::path path, MovieFileType type);
    // Cancels (removes) a movie still being written. A movie that failed keeps
    // what reached the file: the whole fragments of a recording stay playable.
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // Before startWriting only. A real-time video input drops frames when its
    // queue is full rather than making the caller wait.
    VideoWriterInput& addVideoInput(const VideoSettings& settings, bool realTime);
    AudioWriterInput& addAudioInput(const AudioSettings& settings);

    // Opens the encoders and the file. Throws MediaError (FFmpeg's text) and
    // leaves the writer failed, with no file, when that is not possible.
    void startWriting();
    // T0: source time that becomes time 0 of the movie. Appends before it are dropped.
    void startSession(MediaTime sourceTime);

    // Marks every input finished, waits for the encoders and writes the index.
    // The result is in status() and error(); it never throws.
    void finishWriting();
    // Stops writing and removes the file.
    void cancelWriting();

    Status status() const;
    std::optional<MediaError> error() const;
    const std::filesystem::path& path() const;

    struct Core;

  private:
    std::shared_ptr<Core> core_;
    std::vector<std::unique_ptr<VideoWriterInput>> videoInputs_;
    std::vector<std::unique_ptr<AudioWriterInput>> audioInputs_;
};

}  // namespace zarvex
