#include "editor/trim_range_slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "editor/chrome.h"
#include "editor/transport_rules.h"
#include "editor/trim_rules.h"
#include "ui/application_theme.h"
#include "ui/look.h"

namespace zarvex {
namespace {

constexpr int kHeight = 22;
constexpr double kBandHeight = 8;

}  // namespace

TrimRangeSlider::TrimRangeSlider(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Trim range"));
}

void TrimRangeSlider::setDuration(double seconds) {
    duration_ = seconds;
    update();
}

void TrimRangeSlider::setRange(double start, double end) {
    start_ = start;
    end_ = end;
    update();
}

double TrimRangeSlider::trackLength() const {
    return std::max(0.0, width() - 2 * kTrimHandleSize);
}

double TrimRangeSlider::positionOf(double seconds) const {
    return trackPosition(seconds, scrubberMaximum(duration_), kTrimHandleSize, trackLength());
}

double TrimRangeSlider::timeAt(double x) const {
    return trackTime(x, scrubberMaximum(duration_), kTrimHandleSize, trackLength());
}

QRectF TrimRangeSlider::startHandleRect() const {
    return {positionOf(start_) - kTrimHandleSize, 0, kTrimHandleSize, double(height())};
}

QRectF TrimRangeSlider::endHandleRect() const {
    return {positionOf(end_), 0, kTrimHandleSize, double(height())};
}

QSize TrimRangeSlider::sizeHint() const {
    return {240, kHeight};
}

QSize TrimRangeSlider::minimumSizeHint() const {
    return {int(4 * kTrimHandleSize), kHeight};
}

void TrimRangeSlider::paintEvent(QPaintEvent*) {
    const Theme& theme = ApplicationTheme::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double y = height() / 2.0;
    const QRectF track(kTrimHandleSize, y - kBandHeight / 2, trackLength(), kBandHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackGrooveColor(theme));
    painter.drawRoundedRect(track, 2, 2);

    const QColor accent = themeAccent(theme);
    const bool solid = theme.panelColor.has_value();
    const QColor ink = themeOutline(theme);
    const QRectF kept(positionOf(start_), track.top(), positionOf(end_) - positionOf(start_),
                      kBandHeight);
    QColor band = accent;
    band.setAlphaF(0.45f);
    painter.fillRect(kept, band);

    // The handles and the frame joining them, like a bracket around the range.
    const QRectF frame =
        startHandleRect().united(endHandleRect()).adjusted(0.75, 0.75, -0.75, -0.75);
    QPainterPath outline;
    outline.addRoundedRect(frame, 4, 4);
    QPainterPath inner;
    inner.addRect(QRectF(positionOf(start_), frame.top() + 2, kept.width(), frame.height() - 4));
    const QPainterPath bracket = outline.subtracted(inner);
    if (solid) {
        painter.fillPath(bracket.translated(2, 2), ink);
    }
    painter.fillPath(bracket, accent);
    if (solid) {
        painter.strokePath(bracket, QPen(ink, 1.5));
    }
    // A grip line in each handle.
    painter.setPen(QPen(QColor(255, 255, 255, 230), 1.5, Qt::SolidLine, Qt::RoundCap));
    for (const QRectF& handle : {startHandleRect(), endHandleRect()}) {
        const double cx = handle.center().x();
        painter.drawLine(QPointF(cx, y - 4), QPointF(cx, y + 4));
    }
}

void TrimRangeSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPointF p = event->position();
    if (startHandleRect().adjusted(-3, 0, 3, 0).contains(p)) {
        dragged_ = Handle::start;
        grabOffset_ = p.x() - startHandleRect().right();
    } else if (endHandleRect().adjusted(-3, 0, 3, 0).contains(p)) {
        dragged_ = Handle::end;
        grabOffset_ = p.x() - endHandleRect().left();
    }
}

void TrimRangeSlider::mouseMoveEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    if (dragged_ == Handle::none) {
        const bool overHandle = startHandleRect().contains(p) || endHandleRect().contains(p);
        setCursor(overHandle ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    const double seconds = timeAt(p.x() - grabOffset_);
    if (dragged_ == Handle::start && onStartDragged) {
        onStartDragged(seconds);
    } else if (dragged_ == Handle::end && onEndDragged) {
        onEndDragged(seconds);
    }
}

void TrimRangeSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragged_ = Handle::none;
    }
}

}  // namespace zarvex
