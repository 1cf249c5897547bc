#pragma once

#include <optional>
#include <vector>

#include "model/project.h"
#include "model/zoom.h"

// The rules of editing zoom segments in the editor, without widgets. Every
// edit of a segment makes it the user's (no longer automatic), keeps it inside
// the recording, at least kZoomMinSeconds long and clear of its neighbours.
namespace zarvex {

inline constexpr double kAddedZoomSeconds = 2.0;  // what "Add Zoom" adds

// The zoom as edited; a project without zoom edits as auto off, no segments.
ZoomSettings editableZoom(const std::optional<ZoomSettings>& zoom);

// Segment `index` moved to start at `start`, its length and pans kept; it
// stops at the recording's ends and at its neighbours.
ZoomSettings withSegmentMoved(ZoomSettings zoom, int index, double start, double duration);

enum class ZoomEdge { start, end };

// Segment `index` with one end dragged to `time`: at least kZoomMinSeconds
// long, not past its neighbours or the recording's ends; pans stay inside.
ZoomSettings withSegmentResized(ZoomSettings zoom, int index, ZoomEdge edge, double time,
                                double duration);

ZoomSettings withSegmentRemoved(ZoomSettings zoom, int index);

// A 2-second segment at scale 2.0 centred on the screen starting at the
// playhead, shortened to the room before the next segment or the end (and
// moved earlier when that room is under a second). Nothing when the playhead
// is inside a segment or there is no second of room.
struct AddedZoom {
    ZoomSettings zoom;
    int index = 0;
};
std::optional<AddedZoom> withSegmentAdded(ZoomSettings zoom, double playhead, double duration);

ZoomSettings withSegmentScale(ZoomSettings zoom, int index, double scale);

// The centre in effect at `t` in segment `index`: its own before its first pan,
// else the last pan started by then. `pan` is that pan's index, or −1.
struct ZoomFocus {
    int pan = -1;
    double x = 0.5;
    double y = 0.5;
};
ZoomFocus focusAt(const ZoomSegment& segment, double t);
ZoomSettings withFocus(ZoomSettings zoom, int index, int pan, double x, double y);

// The auto switch. On: segments made from the clicks replace the automatic
// ones, except where they would overlap the user's, which stay. Off: the
// automatic ones go.
ZoomSettings withAutoZoom(ZoomSettings zoom, bool on, const std::vector<RecordedClick>& clicks,
                          double duration);

}  // namespace zarvex
