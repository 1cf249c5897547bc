#include "editor/zoom_rules.h"

#include <algorithm>

namespace zarvex {
namespace {

std::vector<ZoomSegment>& segmentsOf(ZoomSettings& zoom) {
    if (!zoom.segments) {
        zoom.segments.emplace();
    }
    return *zoom.segments;
}

bool valid(const ZoomSettings& zoom, int index) {
    return zoom.segments && index >= 0 && std::size_t(index) < zoom.segments->size();
}

// The room segment `index` may take: from its predecessor's end to its
// successor's start, within the recording.
std::pair<double, double> roomOf(const std::vector<ZoomSegment>& segments, int index,
                                 double duration) {
    const auto i = std::size_t(index);
    const double low = i > 0 ? segments[i - 1].end : 0.0;
    const double high = i + 1 < segments.size() ? segments[i + 1].start : duration;
    return {low, high};
}

void keepPansInside(ZoomSegment& segment) {
    for (ZoomPan& pan : segment.pans) {
        pan.t = std::clamp(pan.t, segment.start, segment.end);
    }
}

}  // namespace

ZoomSettings editableZoom(const std::optional<ZoomSettings>& zoom) {
    ZoomSettings editable = zoom.value_or(ZoomSettings{});
    segmentsOf(editable);
    return editable;
}

ZoomSettings withSegmentMoved(ZoomSettings zoom, int index, double start, double duration) {
    if (!valid(zoom, index)) {
        return zoom;
    }
    std::vector<ZoomSegment>& segments = *zoom.segments;
    ZoomSegment& segment = segments[std::size_t(index)];
    const auto [low, high] = roomOf(segments, index, duration);
    const double length = segment.end - segment.start;
    const double moved = std::max(low, std::min(start, high - length));
    const double delta = moved - segment.start;
    segment.start = moved;
    segment.end = moved + length;
    for (ZoomPan& pan : segment.pans) {
        pan.t += delta;
    }
    segment.automatic = false;
    return zoom;
}

ZoomSettings withSegmentResized(ZoomSettings zoom, int index, ZoomEdge edge, double time,
                                double duration) {
    if (!valid(zoom, index)) {
        return zoom;
    }
    std::vector<ZoomSegment>& segments = *zoom.segments;
    ZoomSegment& segment = segments[std::size_t(index)];
    const auto [low, high] = roomOf(segments, index, duration);
    if (edge == ZoomEdge::start) {
        segment.start = std::max(low, std::min(time, segment.end - kZoomMinSeconds));
    } else {
        segment.end = std::min(high, std::max(time, segment.start + kZoomMinSeconds));
    }
    keepPansInside(segment);
    segment.automatic = false;
    return zoom;
}

ZoomSettings withSegmentRemoved(ZoomSettings zoom, int index) {
    if (valid(zoom, index)) {
        zoom.segments->erase(zoom.segments->begin() + index);
    }
    return zoom;
}

std::optional<AddedZoom> withSegmentAdded(ZoomSettings zoom, double playhead, double duration) {
    std::vector<ZoomSegment>& segments = segmentsOf(zoom);
    if (segmentIndexAt(segments, playhead) >= 0) {
        return std::nullopt;
    }
    const auto next =
        std::upper_bound(segments.begin(), segments.end(), playhead,
                         [](double t, const ZoomSegment& segment) { return t < segment.start; });
    const double low = next == segments.begin() ? 0.0 : std::prev(next)->end;
    const double high = next == segments.end() ? duration : next->start;
    ZoomSegment added;
    added.start = std::max(low, playhead);
    added.end = std::min(high, added.start + kAddedZoomSeconds);
    if (added.end - added.start < kZoomMinSeconds) {
        added.start = std::max(low, added.end - kZoomMinSeconds);
    }
    if (added.end - added.start < kZoomMinSeconds) {
        return std::nullopt;
    }
    const auto at = segments.insert(next, added);
    const int index = int(at - segments.begin());
    return AddedZoom{std::move(zoom), index};
}

ZoomSettings withSegmentScale(ZoomSettings zoom, int index, double scale) {
    if (valid(zoom, index)) {
        ZoomSegment& segment = (*zoom.segments)[std::size_t(index)];
        segment.scale = std::clamp(scale, kZoomMinScale, kZoomMaxScale);
        segment.automatic = false;
    }
    return zoom;
}

ZoomFocus focusAt(const ZoomSegment& segment, double t) {
    ZoomFocus focus{-1, segment.x, segment.y};
    for (std::size_t i = 0; i < segment.pans.size() && segment.pans[i].t <= t; ++i) {
        focus = {int(i), segment.pans[i].x, segment.pans[i].y};
    }
    return focus;
}

ZoomSettings withFocus(ZoomSettings zoom, int index, int pan, double x, double y) {
    if (!valid(zoom, index)) {
        return zoom;
    }
    ZoomSegment& segment = (*zoom.segments)[std::size_t(index)];
    x = std::clamp(x, 0.0, 1.0);
    y = std::clamp(y, 0.0, 1.0);
    if (pan >= 0 && std::size_t(pan) < segment.pans.size()) {
        segment.pans[std::size_t(pan)].x = x;
        segment.pans[std::size_t(pan)].y = y;
    } else {
        segment.x = x;
        segment.y = y;
    }
    segment.automatic = false;
    return zoom;
}

ZoomSettings withAutoZoom(ZoomSettings zoom, bool on, const std::vector<RecordedClick>& clicks,
                          double duration) {
    std::vector<ZoomSegment>& segments = segmentsOf(zoom);
    std::erase_if(segments, [](const ZoomSegment& segment) { return segment.automatic; });
    zoom.autoZoom = on;
    if (!on) {
        return zoom;
    }
    const std::vector<ZoomSegment> users = segments;
    for (ZoomSegment& made : segmentsFromClicks(clicks, duration)) {
        const bool overlaps = std::any_of(users.begin(), users.end(), [&](const ZoomSegment& s) {
            return made.start < s.end && s.start < made.end;
        });
        if (!overlaps) {
            segments.push_back(std::move(made));
        }
    }
    std::stable_sort(segments.begin(), segments.end(),
                     [](const ZoomSegment& a, const ZoomSegment& b) { return a.start < b.start; });
    return zoom;
}

}  // namespace zarvex
