#include "editor/zoom_editor.h"

#include <algorithm>
#include <cmath>

#include "render/project_document.h"

namespace zarvex {

ZoomEditor::ZoomEditor(ProjectDocument& document, QObject* parent)
    : QObject(parent), document_(document) {
    connect(&document_, &ProjectDocument::zoomChanged, this, [this] {
        if (selected_ >= int(segments().size())) {
            select(-1);
        }
        emit zoomChanged();
    });
}

const std::vector<ZoomSegment>& ZoomEditor::segments() const {
    static const std::vector<ZoomSegment> none;
    const std::optional<ZoomSettings>& zoom = document_.zoom();
    return zoom && zoom->segments ? *zoom->segments : none;
}

bool ZoomEditor::autoZoom() const {
    return document_.zoom() && document_.zoom()->autoZoom;
}

double ZoomEditor::duration() const {
    const double seconds = document_.duration().seconds();
    return std::isfinite(seconds) ? seconds : 0;
}

const ZoomSegment* ZoomEditor::selectedSegment() const {
    return selected_ >= 0 && selected_ < int(segments().size()) ? &segments()[selected_] : nullptr;
}

void ZoomEditor::select(int index) {
    if (index < 0 || index >= int(segments().size())) {
        index = -1;
    }
    if (index >= 0 && seek && playhead) {
        const ZoomSegment& segment = segments()[std::size_t(index)];
        const double now = playhead();
        if (now < segment.start || now >= segment.end) {
            seek(segment.start + std::min(kZoomEaseSeconds, (segment.end - segment.start) / 2));
        }
    }
    if (index != selected_) {
        selected_ = index;
        centreDrag_.reset();
        emit selectionChanged();
    }
}

void ZoomEditor::apply(const ZoomSettings& zoom) {
    document_.setZoom(zoom);
}

void ZoomEditor::moveSelected(double start) {
    apply(withSegmentMoved(editableZoom(document_.zoom()), selected_, start, duration()));
}

void ZoomEditor::resizeSelected(ZoomEdge edge, double time) {
    apply(withSegmentResized(editableZoom(document_.zoom()), selected_, edge, time, duration()));
}

void ZoomEditor::removeSelected() {
    if (selected_ < 0) {
        return;
    }
    const int removed = selected_;
    select(-1);
    apply(withSegmentRemoved(editableZoom(document_.zoom()), removed));
}

bool ZoomEditor::add() {
    const std::optional<AddedZoom> added =
        withSegmentAdded(editableZoom(document_.zoom()), playhead ? playhead() : 0.0, duration());
    if (!added) {
        return false;
    }
    apply(added->zoom);
    select(added->index);
    return true;
}

void ZoomEditor::setSelectedScale(double scale) {
    apply(withSegmentScale(editableZoom(document_.zoom()), selected_, scale));
}

void ZoomEditor::setAutoZoom(bool on) {
    select(-1);
    apply(withAutoZoom(editableZoom(document_.zoom()), on, document_.clicks(), duration()));
}

void ZoomEditor::beginCentreDrag() {
    const ZoomSegment* segment = selectedSegment();
    if (segment == nullptr) {
        centreDrag_.reset();
        return;
    }
    const ZoomFocus focus = focusAt(*segment, playhead ? playhead() : segment->start);
    // From the centre as shown at the segment's scale, so a stored centre
    // beyond what can show does not swallow the first part of the drag.
    const double half = 0.5 / segment->scale;
    centreDrag_ = CentreDrag{focus.pan, std::clamp(focus.x, half, 1 - half),
                             std::clamp(focus.y, half, 1 - half), segment->scale};
}

void ZoomEditor::dragCentre(double dx, double dy) {
    if (!centreDrag_ || selectedSegment() == nullptr) {
        return;
    }
    const CentreDrag& drag = *centreDrag_;
    const double half = 0.5 / drag.scale;
    const double x = std::clamp(drag.x - dx / drag.scale, half, 1 - half);
    const double y = std::clamp(drag.y - dy / drag.scale, half, 1 - half);
    apply(withFocus(editableZoom(document_.zoom()), selected_, drag.pan, x, y));
}

}  // namespace zarvex
