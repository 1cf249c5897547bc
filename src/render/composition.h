#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "media/media_time.h"
#include "media/movie_reader.h"
#include "model/geometry.h"
#include "model/project.h"
#include "render/style_instruction.h"

namespace zarvex {

// Exact sum and difference of media times (over a common timescale when one
// fits, else at nanosecond precision). Invalid when either side is invalid.
MediaTime addTimes(MediaTime a, MediaTime b);
MediaTime subtractTimes(MediaTime a, MediaTime b);

// One track of a composition: a span of one source movie track placed on the
// composition's timeline.
struct CompositionTrack {
    TrackID trackID = kInvalidTrackID;
    TrackKind mediaType = TrackKind::video;
    std::filesystem::path sourceFile;
    int sourceTrackIndex = -1;  // the stream index in the source file
    TimeRange sourceRange;      // the span of the source track that is used
    MediaTime insertTime;       // where sourceRange.start lands on the timeline

    // The span of the timeline this track covers.
    TimeRange timeRange() const;
    // The source time shown at a composition time (meaningful inside timeRange()).
    MediaTime sourceTime(MediaTime compositionTime) const;
};

// Source tracks arranged on one timeline. Built once, then shared read-only by
// the player and the export (any thread).
class Composition {
  public:
    // Adds a track holding `sourceRange` of a source track at `insertTime` and
    // returns its identifier; identifiers count up from 1 in the order added.
    TrackID addTrack(TrackKind mediaType, std::filesystem::path sourceFile, int sourceTrackIndex,
                     TimeRange sourceRange, MediaTime insertTime);

    const std::vector<CompositionTrack>& tracks() const { return tracks_; }
    std::vector<CompositionTrack> tracksOf(TrackKind mediaType) const;
    const CompositionTrack* track(TrackID trackID) const;
    // The latest end of any track; zero when empty.
    MediaTime duration() const;

  private:
    std::vector<CompositionTrack> tracks_;
};

// A recording folder laid out on one timeline, and what the document keeps of it.
struct ProjectTimeline {
    Composition composition;
    TrackID screenTrackID = kInvalidTrackID;  // 0 when the screen was not inserted
    std::optional<TrackID> webcamTrackID;
    Size screenSize;                       // natural size of the screen video
    MediaTime origin = MediaTime::zero();  // t0: source time of composition time 0
    MediaTime duration = MediaTime::zero();
    std::vector<RecordedClick> clicks;  // moved onto the timeline, earlier ones dropped
};

// Builds the timeline of a recording:
//  - t0 is the screen video's content start, or the webcam's when that is
//    later; the composition covers the screen movie from t0 to its end;
//  - every track (screen video, each audio track of the screen movie in file
//    order, webcam video) contributes the part of its content inside that
//    range, placed at (its start − t0); the webcam movie's audio is never used;
//  - clicks move by −t0 and those before 0 are dropped.
// Throws RecorderError ("screen.mov has no video track.") and MediaError for
// movies that cannot be read. A missing or broken events file gives no clicks.
ProjectTimeline buildProjectTimeline(const std::filesystem::path& folder, const ProjectMeta& meta);

}  // namespace zarvex
