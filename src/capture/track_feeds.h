#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/audio_capture.h"
#include "capture/clock.h"
#include "media/movie_writer.h"

namespace zarvex {

// One audio source feeding one audio track of a movie being recorded.
//
// A source is connected before the recording's time origin T0 is read: the
// chunks that arrive before begin() names T0 are kept (the latest second of
// them) and go into the track then; the writer cuts off what lies before T0.
// A source whose first chunk comes after T0 (a server may hold it back for a
// while) starts at that chunk's time.
//
// A source that has delivered nothing (no server, no device) gets silence
// instead, so its track covers the recording from T0 on and the movie's
// fragments never wait for it; its first real chunk ends the silence. At the
// end every track is filled with silence up to the end of the recording.
//
// Threads: chunks arrive on the source's capture thread; the other calls come
// from the recorder's threads. A lock orders them.
class AudioTrackFeed {
  public:
    explicit AudioTrackFeed(AudioWriterInput& input);
    ~AudioTrackFeed();  // stops the source
    AudioTrackFeed(const AudioTrackFeed&) = delete;
    AudioTrackFeed& operator=(const AudioTrackFeed&) = delete;

    // Starts `source` (null: the system has no such source) delivering here.
    void connect(std::unique_ptr<AudioCapture> source);
    // Waits until the source delivers (true), at most until `deadline`
    // (steady clock).
    bool waitUntilDelivering(std::chrono::steady_clock::time_point deadline);
    // T0 is known: kept chunks go into the track, later ones straight in.
    void begin(HostTime sessionStart);
    // Silence up to `time` while the source has delivered nothing.
    void fillSilenceUntil(HostTime time);
    // Stops the source; no chunk is appended after this returns.
    void stopSource();
    // At the end of the recording: silence up to `end` where the track ends earlier.
    void finish(HostTime end);

  private:
    void receive(const CapturedAudioChunk& chunk);
    void append(HostTime time, const float* samples, std::size_t frames);

    struct KeptChunk {
        HostTime time;
        std::vector<float> samples;
    };

    AudioWriterInput& input_;
    std::unique_ptr<AudioCapture> source_;
    std::mutex mutex_;
    std::optional<HostTime> sessionStart_;
    std::deque<KeptChunk> kept_;
    std::size_t keptFrames_ = 0;
    bool delivered_ = false;
};

// The screen's pictures feeding the video track of a movie being recorded.
//
// The latest picture delivered always reaches the movie: one that finds the
// encoder's queue full waits (a newer one takes its place) and goes in as soon
// as there is room, at the latest when recording stops. Before T0 is known the
// latest picture is kept as the picture at T0: the stream starts ahead of T0
// and only delivers when the screen changes. While nothing changes, the last
// picture is appended again every kRepeatInterval, so that the movie's
// fragments, which are what a crash leaves behind, always reach close to now.
//
// Threads: deliver() on the stream's capture thread, tick() on the
// recorder's housekeeping thread, the rest on the controlling thread; a lock
// orders them.
class VideoTrackFeed {
  public:
    static constexpr HostTime kRepeatInterval = std::chrono::milliseconds(250);

    explicit VideoTrackFeed(VideoWriterInput& input);

    void deliver(const VideoFrame& image, HostTime time);
    void begin(HostTime sessionStart);
    // Appends a waiting picture when there is room, or the last one again
    // when nothing was appended for kRepeatInterval. Not after stopRepeating().
    void tick(HostTime now);
    // Capture has ended by itself: the movie ends with its last picture.
    void stopRepeating();

    bool hasAppended() const;
    // At the end: appends the waiting picture (waiting up to `limit` for room
    // while `writing()` holds), then, unless repeating stopped, holds the last
    // picture until `end`.
    void finish(HostTime end, std::chrono::milliseconds limit,
                const std::function<bool()>& writing);

  private:
    bool appendLocked(const VideoFrame& image, HostTime time);
    bool appendWaitingLocked();

    VideoWriterInput& input_;
    mutable std::mutex mutex_;
    std::optional<HostTime> sessionStart_;
    VideoFrame waiting_;
    HostTime waitingTime_{};
    VideoFrame last_;
    HostTime lastTime_{};
    bool repeating_ = true;
};

}  // namespace zarvex
