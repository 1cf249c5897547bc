#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "media/media_error.h"
#include "media/media_time.h"

namespace zarvex {

// A half-open span of movie time [start, end).
struct TimeRange {
    MediaTime start = MediaTime::zero();
    MediaTime end = MediaTime::zero();

    MediaTime duration() const;
    bool contains(MediaTime time) const { return start <= time && time < end; }
    // The overlap of two ranges; an empty range (start == end) when they do not meet.
    TimeRange intersection(const TimeRange& other) const;
    bool operator==(const TimeRange&) const = default;
};

enum class TrackKind { video, audio };

// One video or audio track of a movie as the demuxer sees it, edit lists applied.
struct TrackInfo {
    int index = -1;  // the stream index in the file; decoders take it
    TrackKind kind = TrackKind::video;
    std::string codec;  // FFmpeg's codec name: "h264", "hevc", "aac", …
    // Video: the coded picture size in pixels. Audio: 0 × 0.
    int width = 0;
    int height = 0;
    // Video: the average frame rate the file states (0 when unknown).
    double frameRate = 0;
    // Audio: the stored sample rate and channel count.
    int sampleRate = 0;
    int channels = 0;
    // From the first presentation time to the end of the last sample.
    TimeRange contentRange;
};

// What a movie file holds: its tracks in file order and its duration (the
// latest end of any track's content).
struct MovieInfo {
    std::filesystem::path path;
    std::vector<TrackInfo> tracks;
    MediaTime duration = MediaTime::zero();

    std::vector<TrackInfo> tracksOf(TrackKind kind) const;
};

// Opens a movie and lists its video and audio tracks. Throws MediaError with
// FFmpeg's text when the file cannot be opened or read.
MovieInfo readMovieInfo(const std::filesystem::path& path);

}  // namespace zarvex
