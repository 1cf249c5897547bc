#include "editor/zoom_lane.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>

#include "editor/chrome.h"
#include "editor/timeline.h"
#include "editor/transport_rules.h"
#include "editor/zoom_editor.h"
#include "ui/application_theme.h"
#include "ui/look.h"

namespace zarvex {
namespace {

constexpr int kLaneHeight = 14;
constexpr double kBarHeight = 10;
constexpr double kEdgeReach = 5;  // points either side of a bar's end that resize it
constexpr double kDragStart = 3;  // points the pointer travels before a press becomes a drag

}  // namespace

ZoomLane::ZoomLane(ZoomEditor& editor, QWidget* parent) : QWidget(parent), editor_(editor) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(QStringLiteral("Zoom"));
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, &editor_, &ZoomEditor::removeSelected);
    }
    connect(&editor_, &ZoomEditor::zoomChanged, this, qOverload<>(&QWidget::update));
    connect(&editor_, &ZoomEditor::selectionChanged, this, qOverload<>(&QWidget::update));
}

double ZoomLane::maximum() const {
    return scrubberMaximum(editor_.duration());
}

double ZoomLane::positionOf(double seconds) const {
    return trackPosition(seconds, maximum(), kTrackInset, std::max(0.0, width() - 2 * kTrackInset));
}

double ZoomLane::timeAt(double x) const {
    return trackTime(x, maximum(), kTrackInset, std::max(0.0, width() - 2 * kTrackInset));
}

QRectF ZoomLane::barRect(int index) const {
    const ZoomSegment& segment = editor_.segments()[std::size_t(index)];
    const double left = positionOf(segment.start);
    return {left, (height() - kBarHeight) / 2, positionOf(segment.end) - left, kBarHeight};
}

QSize ZoomLane::sizeHint() const {
    return {240, kLaneHeight};
}

QSize ZoomLane::minimumSizeHint() const {
    return {60, kLaneHeight};
}

ZoomLane::Hit ZoomLane::hitAt(QPointF point) const {
    // The selected bar first: its ends win where bars meet.
    const int count = int(editor_.segments().size());
    const int selected = editor_.selected();
    for (int n = -1; n < count; ++n) {
        const int index = n < 0 ? selected : n;
        if (index < 0 || (n >= 0 && index == selected)) {
            continue;
        }
        const QRectF bar = barRect(index);
        if (point.y() < 0 || point.y() > height() || point.x() < bar.left() - kEdgeReach ||
            point.x() > bar.right() + kEdgeReach) {
            continue;
        }
        // A narrow bar keeps a middle to grab.
        const double reach = std::min(kEdgeReach, bar.width() / 3);
        if (std::abs(point.x() - bar.left()) <= reach) {
            return {index, Part::start};
        }
        if (std::abs(point.x() - bar.right()) <= reach) {
            return {index, Part::end};
        }
        if (bar.left() <= point.x() && point.x() <= bar.right()) {
            return {index, Part::body};
        }
    }
    return {};
}

void ZoomLane::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double y = height() / 2.0;
    // A faint groove, so the lane reads as a track even when empty.
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackGrooveColor(theme));
    painter.drawRoundedRect(QRectF(kTrackInset, y - 1, std::max(0.0, width() - 2 * kTrackInset), 2),
                            1, 1);
    const QColor accent = themeAccent(theme);
    const bool retro = theme.panelColor.has_value();
    const QColor ink = themeOutline(theme);
    for (int i = 0; i < int(editor_.segments().size()); ++i) {
        const QRectF bar = barRect(i);
        const bool selected = i == editor_.selected();
        QColor fill = accent;
        fill.setAlphaF(selected ? 1.0f : 0.55f);
        QPainterPath shape;
        shape.addRoundedRect(bar, 3, 3);
        painter.fillPath(shape, fill);
        if (retro) {
            painter.strokePath(shape, QPen(ink, selected ? 1.5 : 1));
        } else if (selected) {
            painter.strokePath(shape, QPen(QColor(255, 255, 255, 220), 1.5));
        }
        if (selected && bar.width() > 16) {
            // Grips at both ends: they resize.
            painter.setPen(
                QPen(retro ? ink : QColor(255, 255, 255, 230), 1.5, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(QPointF(bar.left() + 4, y - 2.5), QPointF(bar.left() + 4, y + 2.5));
            painter.drawLine(QPointF(bar.right() - 4, y - 2.5), QPointF(bar.right() - 4, y + 2.5));
        }
    }
}

void ZoomLane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const Hit hit = hitAt(event->position());
    editor_.select(hit.index);
    dragged_ = hit.part;
    pressX_ = event->position().x();
    moved_ = false;
    if (hit.index >= 0) {
        const ZoomSegment& segment = editor_.segments()[std::size_t(hit.index)];
        const double grabbed = hit.part == Part::end ? segment.end : segment.start;
        grabOffset_ = timeAt(event->position().x()) - grabbed;
    }
}

void ZoomLane::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    if (dragged_ == Part::none) {
        const Part part = hitAt(p).part;
        setCursor(part == Part::start || part == Part::end ? Qt::SizeHorCursor
                  : part == Part::body                     ? Qt::OpenHandCursor
                                                           : Qt::ArrowCursor);
        return;
    }
    moved_ = moved_ || std::abs(p.x() - pressX_) >= kDragStart;
    if (!moved_) {
        return;
    }
    const double time = timeAt(p.x()) - grabOffset_;
    switch (dragged_) {
        case Part::body:
            setCursor(Qt::ClosedHandCursor);
            editor_.moveSelected(time);
            break;
        case Part::start:
            editor_.resizeSelected(ZoomEdge::start, time);
            break;
        case Part::end:
            editor_.resizeSelected(ZoomEdge::end, time);
            break;
        case Part::none:
            break;
    }
}

void ZoomLane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragged_ != Part::none) {
        if (dragged_ == Part::body) {
            setCursor(Qt::OpenHandCursor);
        }
        dragged_ = Part::none;
    }
}

}  // namespace zarvex
