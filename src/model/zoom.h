#pragma once

#include <limits>
#include <optional>
#include <vector>

#include "model/json_coding.h"

// Zoom on clicks: stretches of a recording in which the screen picture is
// magnified about a centre that follows what the user clicks. Times are
// seconds on the recording's timeline; centres are fractions of the screen
// recording from its top-left corner, like the clicks.
namespace zarvex {

struct RecordedClick;

inline constexpr double kZoomMinScale = 1.25;
inline constexpr double kZoomMaxScale = 3.0;
inline constexpr double kZoomClickScale = 2.0;    // of segments made from clicks
inline constexpr double kZoomEaseSeconds = 0.6;   // zooming in, out, and each pan
inline constexpr double kZoomLeadSeconds = 0.4;   // a segment opens before its first click
inline constexpr double kZoomTailSeconds = 1.5;   // and ends after its last
inline constexpr double kZoomShareSeconds = 3.0;  // clicks closer than this share a segment
inline constexpr double kZoomMergeSeconds = 1.0;  // segments closer than this merge
inline constexpr double kZoomMinSeconds = 1.0;    // the shortest segment

// From `t` on, the centre eases (over kZoomEaseSeconds) to (x, y).
struct ZoomPan {
    double t = 0;
    double x = 0.5;
    double y = 0.5;
    bool operator==(const ZoomPan&) const = default;
};

// One magnified stretch [start, end): `scale` at its fullest, centred on
// (x, y) and then on each pan's place in turn.
struct ZoomSegment {
    double start = 0;
    double end = 0;
    double scale = kZoomClickScale;
    double x = 0.5;
    double y = 0.5;
    std::vector<ZoomPan> pans;  // by time, inside [start, end]
    // Made from the clicks (and not changed by the user since): the auto
    // switch replaces or removes it.
    bool automatic = false;
    bool operator==(const ZoomSegment&) const = default;
};

// The "zoom" value of project.json.
struct ZoomSettings {
    bool autoZoom = false;  // "auto"
    // Absent with auto on: made from the clicks when the recording is opened.
    std::optional<std::vector<ZoomSegment>> segments;
    bool operator==(const ZoomSettings&) const = default;
};

// {"auto": …, "segments": [{"start", "end", "scale", "x", "y"[, "pans"][, "auto"]}]};
// throws EncodeError for numbers that are not finite.
Json toJson(const ZoomSettings& zoom);

// Reads a "zoom" value, mending what it can: a segment without a finite start
// or end, or a pan without a finite t, x or y, is dropped; a missing or broken
// scale is 2.0, a missing centre the middle; the rest is put right by
// mendedSegments. Nothing (no zoom) when the value is not an object. Never throws.
std::optional<ZoomSettings> decodeZoom(const Json& json);

// Segments made consistent: start and end in order, clamped to [0, duration]
// (those left outside dropped), at least kZoomMinSeconds long where the
// recording allows, sorted, overlapping ones merged (the later one's centre
// becomes a pan of the earlier); scale clamped to 1.25–3.0, centres to 0…1,
// pans sorted and kept inside their segment.
std::vector<ZoomSegment> mendedSegments(std::vector<ZoomSegment> segments,
                                        double duration = std::numeric_limits<double>::infinity());

// Automatic segments for a list of clicks: each opens 0.4 s before its first
// click at scale 2.0 centred on it; clicks less than 3 s apart share a
// segment, which pans to each one, ending 1.5 s after the last; segments
// closer than 1 s merge, none is shorter than 1 s, all lie inside
// [0, duration]. A pan starts 0.6 s before its click, but not before the
// click before it. Clicks outside the recording are left out.
std::vector<ZoomSegment> segmentsFromClicks(const std::vector<RecordedClick>& clicks,
                                            double duration);

// The ease of zooming and panning over p = 0…1 (clamped): smoothstep,
// 3p² − 2p³; 0 at 0, 0.5 at 0.5, 1 at 1, flat at both ends.
double zoomEasing(double p);

// The magnification at one moment: 1 means none. The centre is already
// clamped so the magnified picture never shows beyond the recording's edges.
struct ZoomView {
    double scale = 1;
    double x = 0.5;
    double y = 0.5;
    bool operator==(const ZoomView&) const = default;
};

// The view at `t` for segments as mendedSegments leaves them: the scale eases
// from 1 over the first and last 0.6 s of the segment, the centre pans.
ZoomView zoomAt(const std::vector<ZoomSegment>& segments, double t);

// The segment holding `t` (start ≤ t < end); negative when none.
int segmentIndexAt(const std::vector<ZoomSegment>& segments, double t);

}  // namespace zarvex
