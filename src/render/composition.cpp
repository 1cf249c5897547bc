#include "render/composition.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "media/recorder_error.h"

namespace zarvex {
namespace {

constexpr std::int32_t kFallbackTimescale = 1'000'000'000;

// a ± b exactly when the common timescale fits, else in nanoseconds.
MediaTime combine(MediaTime a, MediaTime b, int sign) {
    if (!a.isValid() || !b.isValid()) {
        return MediaTime::invalid();
    }
    const std::int64_t scale = std::lcm<std::int64_t>(a.timescale, b.timescale);
    if (scale <= std::numeric_limits<std::int32_t>::max()) {
        const __int128 value = static_cast<__int128>(a.value) * (scale / a.timescale) +
                               sign * static_cast<__int128>(b.value) * (scale / b.timescale);
        if (value >= std::numeric_limits<std::int64_t>::min() &&
            value <= std::numeric_limits<std::int64_t>::max()) {
            return {static_cast<std::int64_t>(value), static_cast<std::int32_t>(scale)};
        }
    }
    return MediaTime::fromSeconds(a.seconds() + sign * b.seconds(), kFallbackTimescale);
}

std::optional<TrackInfo> firstTrack(const MovieInfo& movie, TrackKind kind) {
    for (const TrackInfo& track : movie.tracks) {
        if (track.kind == kind) {
            return track;
        }
    }
    return std::nullopt;
}

}  // namespace

MediaTime addTimes(MediaTime a, MediaTime b) {
    return combine(a, b, 1);
}

MediaTime subtractTimes(MediaTime a, MediaTime b) {
    return combine(a, b, -1);
}

TimeRange CompositionTrack::timeRange() const {
    return {insertTime, addTimes(insertTime, sourceRange.duration())};
}

MediaTime CompositionTrack::sourceTime(MediaTime compositionTime) const {
    return addTimes(subtractTimes(compositionTime, insertTime), sourceRange.start);
}

TrackID Composition::addTrack(TrackKind mediaType, std::filesystem::path sourceFile,
                              int sourceTrackIndex, TimeRange sourceRange, MediaTime insertTime) {
    const TrackID id = static_cast<TrackID>(tracks_.size() + 1);
    tracks_.push_back(
        {id, mediaType, std::move(sourceFile), sourceTrackIndex, sourceRange, insertTime});
    return id;
}

std::vector<CompositionTrack> Composition::tracksOf(TrackKind mediaType) const {
    std::vector<CompositionTrack> result;
    std::copy_if(tracks_.begin(), tracks_.end(), std::back_inserter(result),
                 [&](const CompositionTrack& track) { return track.mediaType == mediaType; });
    return result;
}

const CompositionTrack* Composition::track(TrackID trackID) const {
    for (const CompositionTrack& track : tracks_) {
        if (track.trackID == trackID) {
            return &track;
        }
    }
    return nullptr;
}

MediaTime Composition::duration() const {
    MediaTime end = MediaTime::zero();
    for (const CompositionTrack& track : tracks_) {
        end = std::max(end, track.timeRange().end);
    }
    return end;
}

ProjectTimeline buildProjectTimeline(const std::filesystem::path& folder, const ProjectMeta& meta) {
    const MovieInfo screen = readMovieInfo(screenMoviePath(folder, meta));
    const std::optional<TrackInfo> screenVideo = firstTrack(screen, TrackKind::video);
    if (!screenVideo) {
        throw RecorderError::writerFailed("screen.mov has no video track.");
    }
    ProjectTimeline timeline;
    timeline.screenSize = {double(screenVideo->width), double(screenVideo->height)};
    const MediaTime screenStart = screenVideo->contentRange.start;

    std::optional<MovieInfo> webcam;
    std::optional<TrackInfo> webcamVideo;
    if (const auto path = webcamMoviePath(folder, meta)) {
        webcam = readMovieInfo(*path);
        webcamVideo = firstTrack(*webcam, TrackKind::video);
    }

    const MediaTime t0 = webcamVideo && webcamVideo->contentRange.start >= screenStart
                             ? webcamVideo->contentRange.start
                             : screenStart;
    timeline.origin = t0;
    const TimeRange base{t0, std::max(t0, screen.duration)};

    Composition& composition = timeline.composition;
    const auto insert = [&](const MovieInfo& movie,
                            const TrackInfo& track) -> std::optional<TrackID> {
        const TimeRange r = base.intersection(track.contentRange);
        if (r.duration() <= MediaTime::zero()) {
            return std::nullopt;
        }
        return composition.addTrack(track.kind, movie.path, track.index, r,
                                    subtractTimes(r.start, t0));
    };

    timeline.screenTrackID = insert(screen, *screenVideo).value_or(kInvalidTrackID);
    for (const TrackInfo& audio : screen.tracksOf(TrackKind::audio)) {
        insert(screen, audio);
    }
    if (webcamVideo) {
        timeline.webcamTrackID = insert(*webcam, *webcamVideo);
    }
    timeline.duration = composition.duration();

    const double origin = t0.seconds();
    for (const RecordedClick& click : loadClicks(folder, meta)) {
        const double t = click.t - origin;
        if (t >= 0) {
            timeline.clicks.push_back({t, click.x, click.y});
        }
    }
    return timeline;
}

}  // namespace zarvex
