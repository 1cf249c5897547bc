#include "model/zoom.h"

#include <algorithm>
#include <cmath>

#include "model/project.h"

namespace zarvex {
namespace {

double fraction(double value) {
    return std::clamp(value, 0.0, 1.0);
}

// A finite number under `key`, or nothing.
std::optional<double> finiteNumber(const Json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number()) {
        return std::nullopt;
    }
    const double value = it->get<double>();
    return std::isfinite(value) ? std::optional(value) : std::nullopt;
}

std::optional<ZoomSegment> decodeSegment(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    const std::optional<double> start = finiteNumber(json, "start");
    const std::optional<double> end = finiteNumber(json, "end");
    if (!start || !end) {
        return std::nullopt;
    }
    ZoomSegment segment;
    segment.start = *start;
    segment.end = *end;
    segment.scale = finiteNumber(json, "scale").value_or(kZoomClickScale);
    segment.x = finiteNumber(json, "x").value_or(0.5);
    segment.y = finiteNumber(json, "y").value_or(0.5);
    const auto automatic = json.find("auto");
    segment.automatic =
        automatic != json.end() && automatic->is_boolean() && automatic->get<bool>();
    const auto pans = json.find("pans");
    if (pans != json.end() && pans->is_array()) {
        for (const Json& item : *pans) {
            if (!item.is_object()) {
                continue;
            }
            const auto t = finiteNumber(item, "t");
            const auto x = finiteNumber(item, "x");
            const auto y = finiteNumber(item, "y");
            if (t && x && y) {
                segment.pans.push_back({*t, *x, *y});
            }
        }
    }
    return segment;
}

// `later` folded into `earlier`, which it overlaps or follows closely: the
// earlier one's scale stays, the later one's places become pans.
void merge(ZoomSegment& earlier, const ZoomSegment& later) {
    const ZoomPan lastPlace =
        earlier.pans.empty() ? ZoomPan{0, earlier.x, earlier.y} : earlier.pans.back();
    if (later.x != lastPlace.x || later.y != lastPlace.y) {
        earlier.pans.push_back({later.start, later.x, later.y});
    }
    earlier.pans.insert(earlier.pans.end(), later.pans.begin(), later.pans.end());
    earlier.end = std::max(earlier.end, later.end);
    earlier.automatic = earlier.automatic && later.automatic;
}

// Lengthens a segment to the shortest allowed, later first, then earlier.
void lengthen(ZoomSegment& segment, double duration) {
    if (segment.end - segment.start >= kZoomMinSeconds) {
        return;
    }
    segment.end = std::min(duration, segment.start + kZoomMinSeconds);
    segment.start = std::max(0.0, segment.end - kZoomMinSeconds);
}

void tidyPans(ZoomSegment& segment) {
    for (ZoomPan& pan : segment.pans) {
        pan.t = std::clamp(pan.t, segment.start, segment.end);
        pan.x = fraction(pan.x);
        pan.y = fraction(pan.y);
    }
    std::stable_sort(segment.pans.begin(), segment.pans.end(),
                     [](const ZoomPan& a, const ZoomPan& b) { return a.t < b.t; });
}

// Sorted segments with any closer than `gap` (or overlapping) merged.
std::vector<ZoomSegment> mergedWithin(std::vector<ZoomSegment> segments, double gap) {
    std::stable_sort(segments.begin(), segments.end(),
                     [](const ZoomSegment& a, const ZoomSegment& b) { return a.start < b.start; });
    std::vector<ZoomSegment> merged;
    for (ZoomSegment& segment : segments) {
        if (!merged.empty() && segment.start - merged.back().end < gap) {
            merge(merged.back(), segment);
        } else {
            merged.push_back(std::move(segment));
        }
    }
    return merged;
}

}  // namespace

Json toJson(const ZoomSettings& zoom) {
    Json object{{"auto", zoom.autoZoom}};
    if (zoom.segments) {
        Json segments = Json::array();
        for (const ZoomSegment& segment : *zoom.segments) {
            Json item{{"start", jsonNumber(segment.start, "zoom start")},
                      {"end", jsonNumber(segment.end, "zoom end")},
                      {"scale", jsonNumber(segment.scale, "zoom scale")},
                      {"x", jsonNumber(segment.x, "zoom x")},
                      {"y", jsonNumber(segment.y, "zoom y")}};
            if (!segment.pans.empty()) {
                Json pans = Json::array();
                for (const ZoomPan& pan : segment.pans) {
                    pans.push_back(Json{{"t", jsonNumber(pan.t, "zoom pan t")},
                                        {"x", jsonNumber(pan.x, "zoom pan x")},
                                        {"y", jsonNumber(pan.y, "zoom pan y")}});
                }
                item["pans"] = std::move(pans);
            }
            if (segment.automatic) {
                item["auto"] = true;
            }
            segments.push_back(std::move(item));
        }
        object["segments"] = std::move(segments);
    }
    return object;
}

std::optional<ZoomSettings> decodeZoom(const Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    ZoomSettings zoom;
    const auto automatic = json.find("auto");
    zoom.autoZoom = automatic != json.end() && automatic->is_boolean() && automatic->get<bool>();
    const auto segments = json.find("segments");
    if (segments != json.end() && segments->is_array()) {
        std::vector<ZoomSegment> decoded;
        for (const Json& item : *segments) {
            if (std::optional<ZoomSegment> segment = decodeSegment(item)) {
                decoded.push_back(std::move(*segment));
            }
        }
        zoom.segments = mendedSegments(std::move(decoded));
    }
    return zoom;
}

std::vector<ZoomSegment> mendedSegments(std::vector<ZoomSegment> segments, double duration) {
    if (!(duration >= 0)) {
        duration = 0;
    }
    std::vector<ZoomSegment> kept;
    for (ZoomSegment& segment : segments) {
        if (!std::isfinite(segment.start) || !std::isfinite(segment.end)) {
            continue;
        }
        if (segment.start > segment.end) {
            std::swap(segment.start, segment.end);
        }
        segment.start = std::max(segment.start, 0.0);
        segment.end = std::min(segment.end, duration);
        if (segment.end <= segment.start) {
            continue;  // nothing of it lies inside the recording
        }
        lengthen(segment, duration);
        segment.scale = std::isfinite(segment.scale)
                            ? std::clamp(segment.scale, kZoomMinScale, kZoomMaxScale)
                            : kZoomClickScale;
        segment.x = std::isfinite(segment.x) ? fraction(segment.x) : 0.5;
        segment.y = std::isfinite(segment.y) ? fraction(segment.y) : 0.5;
        std::erase_if(segment.pans, [](const ZoomPan& pan) {
            return !std::isfinite(pan.t) || !std::isfinite(pan.x) || !std::isfinite(pan.y);
        });
        kept.push_back(std::move(segment));
    }
    std::vector<ZoomSegment> merged = mergedWithin(std::move(kept), 0);
    for (ZoomSegment& segment : merged) {
        tidyPans(segment);
    }
    return merged;
}

std::vector<ZoomSegment> segmentsFromClicks(const std::vector<RecordedClick>& clicks,
                                            double duration) {
    if (!(duration >= kZoomMinSeconds)) {
        return {};
    }
    std::vector<RecordedClick> inside;
    for (const RecordedClick& click : clicks) {
        if (click.t >= 0 && click.t < duration && std::isfinite(click.x) &&
            std::isfinite(click.y)) {
            inside.push_back(click);
        }
    }
    std::stable_sort(inside.begin(), inside.end(),
                     [](const RecordedClick& a, const RecordedClick& b) { return a.t < b.t; });
    std::vector<ZoomSegment> segments;
    for (std::size_t i = 0; i < inside.size(); ++i) {
        const RecordedClick& click = inside[i];
        const double x = fraction(click.x);
        const double y = fraction(click.y);
        if (i > 0 && click.t - inside[i - 1].t < kZoomShareSeconds) {
            ZoomSegment& segment = segments.back();
            const ZoomPan last =
                segment.pans.empty() ? ZoomPan{0, segment.x, segment.y} : segment.pans.back();
            if (x != last.x || y != last.y) {
                segment.pans.push_back(
                    {std::max(inside[i - 1].t, click.t - kZoomEaseSeconds), x, y});
            }
            segment.end = click.t + kZoomTailSeconds;
            continue;
        }
        ZoomSegment segment;
        segment.start = click.t - kZoomLeadSeconds;
        segment.end = click.t + kZoomTailSeconds;
        segment.scale = kZoomClickScale;
        segment.x = x;
        segment.y = y;
        segment.automatic = true;
        segments.push_back(std::move(segment));
    }
    for (ZoomSegment& segment : segments) {
        segment.start = std::max(segment.start, 0.0);
        segment.end = std::min(segment.end, duration);
        lengthen(segment, duration);
    }
    std::vector<ZoomSegment> merged = mergedWithin(std::move(segments), kZoomMergeSeconds);
    for (ZoomSegment& segment : merged) {
        tidyPans(segment);
    }
    return merged;
}

double zoomEasing(double p) {
    p = std::clamp(p, 0.0, 1.0);
    return p * p * (3 - 2 * p);
}

int segmentIndexAt(const std::vector<ZoomSegment>& segments, double t) {
    const auto after = std::upper_bound(
        segments.begin(), segments.end(), t,
        [](double time, const ZoomSegment& segment) { return time < segment.start; });
    if (after == segments.begin()) {
        return -1;
    }
    const auto index = std::distance(segments.begin(), after) - 1;
    return t < segments[std::size_t(index)].end ? int(index) : -1;
}

ZoomView zoomAt(const std::vector<ZoomSegment>& segments, double t) {
    const int index = segmentIndexAt(segments, t);
    if (index < 0) {
        return {};
    }
    const ZoomSegment& segment = segments[std::size_t(index)];
    const double ramp = std::min(zoomEasing((t - segment.start) / kZoomEaseSeconds),
                                 zoomEasing((segment.end - t) / kZoomEaseSeconds));
    ZoomView view;
    view.scale = 1 + (segment.scale - 1) * ramp;
    // The centre eases from where it is when a pan starts to the pan's place.
    double fromX = segment.x, fromY = segment.y, toX = segment.x, toY = segment.y;
    double since = segment.start;
    for (const ZoomPan& pan : segment.pans) {
        if (pan.t > t) {
            break;
        }
        const double e = zoomEasing((pan.t - since) / kZoomEaseSeconds);
        fromX += (toX - fromX) * e;
        fromY += (toY - fromY) * e;
        toX = pan.x;
        toY = pan.y;
        since = pan.t;
    }
    const double e = zoomEasing((t - since) / kZoomEaseSeconds);
    const double half = 0.5 / view.scale;
    view.x = std::clamp(fromX + (toX - fromX) * e, half, 1 - half);
    view.y = std::clamp(fromY + (toY - fromY) * e, half, 1 - half);
    return view;
}

}  // namespace zarvex
