#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "media/media_error.h"
#include "media/media_time.h"
#include "media/movie_reader.h"
#include "media/video_frame.h"

namespace zarvex {

// A decoded picture and its presentation time in movie time.
struct DecodedFrame {
    VideoFrame image;
    MediaTime time;
};

// Decodes one video track at exact movie times. The picture shown at time t is
// the last frame whose presentation time is at or before t, for constant and
// variable frame rates alike.
//
// Requests that only move forward are served by decoding on from where the
// decoder stands: it seeks only when the keyframe before the requested time
// lies beyond what has been read, and never for the next frame. Requests that
// move backwards seek to the keyframe before the time and decode forward.
//
// Each decoder owns its own file handle; use one decoder per thread.
class VideoDecoder {
  public:
    // I420 frames carry the stream's colour tags (untagged: BT.601 below 720
    // lines, BT.709 from 720 up; range as stored, limited when unspecified);
    // other stored pixel formats are converted to I420. BGRA frames are opaque.
    enum class Output { i420, bgra };

    // Throws MediaError when the file cannot be opened or `trackIndex` is not
    // a video track of it.
    VideoDecoder(const std::filesystem::path& path, int trackIndex, Output output = Output::i420);
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // The frame shown at `time`; nothing before the track's first frame (or
    // for a track without frames). Past the last frame it is the last frame.
    // Throws MediaError on a decoding failure.
    std::optional<DecodedFrame> frameAt(MediaTime time);
    // The frame after the one the last call returned (the first frame before
    // any), decoding on; nothing at the end of the track. Throws MediaError on
    // a decoding failure.
    std::optional<DecodedFrame> nextFrame();

    const TrackInfo& track() const;

    // How often the decoder has seeked; for tests and diagnostics.
    int seekCount() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace zarvex
